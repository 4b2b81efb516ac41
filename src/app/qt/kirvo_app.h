#pragma once
#include <QApplication>
#include <QStringList>
#include <memory>
#include <optional>

#include "view/command_id.h"

namespace kirvo {

class CMainFrame;
class ProfileStore;

// The application: sets the settings home ("Orvane"/"Kirvo"), creates the
// main frame with its view, takes the two paths from the command line, and
// shuts down in order: the frame's close writes the window size, then the
// frame and the view are destroyed (histories, options) before the store.
class CKirvoApp : public QApplication {
    Q_OBJECT
public:
    // What needs no window: --help and --version are answered, and a missing
    // display is reported in one German line. Returns the exit status when
    // the program should end before the window system is touched.
    static std::optional<int> HandleWithoutWindow(int argc, char** argv);

    CKirvoApp(int& argc, char** argv);
    ~CKirvoApp() override;

    // Parses the command line and shows the main window. False when the
    // program is to end at once; exitCode() says with which status.
    bool InitInstance();
    // InitInstance, the event loop, then the orderly tear-down.
    int Run();
    int exitCode() const { return exitCode_; }

    CMainFrame* mainFrame() const { return frame_.get(); }
    // Registers the icon bundle of the static GUI library; idempotent.
    static void InitResources();

public slots:
    // Command 57664: the about box, modal.
    void OnAppAbout();

private:
    void OnUnhandledCommand(kirvo::CommandId id);

    std::unique_ptr<ProfileStore> store_;
    std::unique_ptr<CMainFrame> frame_;
    QStringList paths_;
    int exitCode_ = 0;
};

}  // namespace kirvo
