#include "app/qt/kirvo_app.h"
#include "platform/process_limits.h"
#include "platform/translation.h"

int main(int argc, char** argv) {
    kirvo::InitTranslation();
    if (const auto status = kirvo::CKirvoApp::HandleWithoutWindow(argc, argv)) return *status;
    kirvo::RaiseOpenFileLimit();  // big copies keep many files open at once
    kirvo::CKirvoApp app(argc, argv);
    return app.Run();
}
