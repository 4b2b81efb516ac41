#include "app/qt/kirvo_app.h"

int main(int argc, char** argv) {
    if (const auto status = kirvo::CKirvoApp::HandleWithoutWindow(argc, argv)) return *status;
    kirvo::CKirvoApp app(argc, argv);
    return app.Run();
}
