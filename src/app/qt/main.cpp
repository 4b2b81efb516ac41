#include "app/qt/kirvo_app.h"

int main(int argc, char** argv) {
    kirvo::CKirvoApp app(argc, argv);
    return app.Run();
}
