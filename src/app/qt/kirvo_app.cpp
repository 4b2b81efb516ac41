#include "app/qt/kirvo_app.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>

#include "app/qt/about_dlg.h"
#include "app/qt/main_frame.h"
#include "app/qt/path_bar.h"
#include "app/qt/qsettings_profile_store.h"
#include "view/qt/kirvo_view.h"

// Outside the namespace: the resource initialiser is a global function.
static void InitKirvoResources() { Q_INIT_RESOURCE(kirvo); }

namespace kirvo {
namespace {

// A path from the command line as the fields should show it: absolute, so
// the history stays meaningful after the working folder changes.
QString FieldPath(const QString& argument) {
    if (argument.isEmpty()) return argument;
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(argument).absoluteFilePath()));
}

}  // namespace

void CKirvoApp::InitResources() {
    static const bool done = (InitKirvoResources(), true);
    (void)done;
}

CKirvoApp::CKirvoApp(int& argc, char** argv) : QApplication(argc, argv) {
    InitResources();
    setOrganizationName(QStringLiteral("Orvane"));
    setApplicationName(QStringLiteral("Kirvo"));
    setApplicationDisplayName(QStringLiteral("Kirvo"));
    setApplicationVersion(QStringLiteral(KIRVO_VERSION));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kirvo.svg")));
}

CKirvoApp::~CKirvoApp() {
    frame_.reset();
    store_.reset();
}

bool CKirvoApp::InitInstance() {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Kirvo vergleicht zwei Ordnerbäume und bringt sie in Einklang."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Zeigt diese Hilfe an."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Zeigt die Version an."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("QUELLE"),
                                 QStringLiteral("Quellordner; mit ZIEL wird sofort verglichen."),
                                 QStringLiteral("[QUELLE"));
    parser.addPositionalArgument(QStringLiteral("ZIEL"), QStringLiteral("Zielordner."),
                                 QStringLiteral("[ZIEL]]"));
    if (!parser.parse(arguments())) {
        std::fprintf(stderr, "kirvo: %s\n", qPrintable(parser.errorText()));
        exitCode_ = 2;
        return false;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return false;
    }
    if (parser.isSet(version)) {
        std::printf("Kirvo %s\n", KIRVO_VERSION);
        return false;
    }
    paths_ = parser.positionalArguments();
    if (paths_.size() > 2) {
        std::fprintf(stderr, "kirvo: zu viele Argumente. Aufruf: kirvo [QUELLE [ZIEL]]\n");
        exitCode_ = 2;
        return false;
    }

    store_ = std::make_unique<QSettingsProfileStore>();
    frame_ = std::make_unique<CMainFrame>(*store_);
    connect(frame_.get(), &CMainFrame::unhandledCommand, this, &CKirvoApp::OnUnhandledCommand);

    PathBar* bar = frame_->view()->pathBar();
    if (!paths_.isEmpty()) bar->setText(PathBar::Side::Source, FieldPath(paths_[0]));
    if (paths_.size() > 1) bar->setText(PathBar::Side::Target, FieldPath(paths_[1]));

    frame_->show();
    if (paths_.size() == 2) {
        // Compare once the window is on screen, as the menu command would.
        CMainFrame* frame = frame_.get();
        QTimer::singleShot(0, frame, [frame] { frame->OnCommand(CommandId::PfadeVergleichen); });
    }
    return true;
}

int CKirvoApp::Run() {
    if (!InitInstance()) return exitCode_;
    exitCode_ = exec();
    // Orderly tear-down: the view writes histories and options as it goes,
    // then the store writes its file.
    frame_.reset();
    if (auto* settings = dynamic_cast<QSettingsProfileStore*>(store_.get())) settings->Sync();
    store_.reset();
    return exitCode_;
}

void CKirvoApp::OnUnhandledCommand(CommandId id) {
    if (id == CommandId::AppAbout) OnAppAbout();
}

void CKirvoApp::OnAppAbout() {
    CAboutDlg dialog(frame_.get());
    dialog.exec();
}

}  // namespace kirvo
