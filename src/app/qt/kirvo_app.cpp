#include "app/qt/kirvo_app.h"

#include <QCommandLineParser>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

#include "app/qt/about_dlg.h"
#include "app/qt/job_commands.h"
#include "app/qt/main_frame.h"
#include "app/qt/path_bar.h"
#include "app/qt/qsettings_profile_store.h"
#include "app/qt/screen_report.h"
#include "fileops/terminal_text.h"
#include "platform/root.h"
#include "platform/qt/qt_translation.h"
#include "view/qt/kirvo_view.h"

// Outside the namespace: the resource initialiser is a global function.
static void InitKirvoResources() { Q_INIT_RESOURCE(kirvo); }

namespace kirvo {
namespace {

// A path from the command line as the fields should show it: absolute, so
// the history stays meaningful after the working folder changes. A folder on
// another machine ("sftp://...") stays as written, and so does a text that
// is no valid address (the comparison says why).
QString FieldPath(const QString& argument) {
    if (argument.isEmpty()) return argument;
    if (const std::optional<Root> root = Root::Parse(QFile::encodeName(argument).toStdString()); !root || root->remote())
        return argument;
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(argument).absoluteFilePath()));
}

void SetUpParser(QCommandLineParser& parser) {
    parser.setApplicationDescription(QTr("Kirvo vergleicht zwei Ordnerbäume und bringt sie in Einklang."));
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QTr("Zeigt diese Hilfe an.")});
    parser.addOption({{QStringLiteral("v"), QStringLiteral("version")}, QTr("Zeigt die Version an.")});
    parser.addOption({QStringLiteral("job"),
                      QTr("Öffnet den gespeicherten Auftrag NAME (Quelle, Ziel, Einstellungen) und vergleicht."),
                      QTr("NAME")});
    parser.addPositionalArgument(QTr("QUELLE"), QTr("Quellordner; mit ZIEL wird sofort verglichen."),
                                 QTr("[QUELLE"));
    parser.addPositionalArgument(QTr("ZIEL"), QTr("Zielordner."), QTr("[ZIEL]]"));
}

// Qt's help text with its headings in the language of the program: Qt writes
// them in English, its source language.
QString HelpText(QCommandLineParser& parser) {
    QString text = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kirvo"));
    if (CurrentLanguage() != UiLanguage::German) return text;
    return text.replace(QStringLiteral("Usage:"), QStringLiteral("Aufruf:"))
        .replace(QStringLiteral("[options]"), QStringLiteral("[Optionen]"))
        .replace(QStringLiteral("Options:"), QStringLiteral("Optionen:"))
        .replace(QStringLiteral("Arguments:"), QStringLiteral("Argumente:"));
}

}  // namespace

std::optional<int> CKirvoApp::HandleWithoutWindow(int argc, char** argv) {
    bool platformGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg == "-h" || arg == "--help") {
            QCommandLineParser parser;
            SetUpParser(parser);
            std::fputs(qPrintable(HelpText(parser)), stdout);
            return 0;
        }
        if (arg == "-v" || arg == "--version") {
            std::printf("Kirvo %s\n", KIRVO_VERSION);
            return 0;
        }
        if (arg == "-platform" || arg.starts_with("-platform=")) platformGiven = true;
    }
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!platformGiven && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs(Tr("Kein Bildschirm verfügbar (weder DISPLAY noch WAYLAND_DISPLAY gesetzt) – "
                      "ohne Fenster vergleicht kirvo-cli compare QUELLE ZIEL.\n"),
                   stderr);
        return 1;
    }
#else
    (void)platformGiven;
#endif
    return std::nullopt;
}

void CKirvoApp::InitResources() {
    static const bool done = (InitKirvoResources(), true);
    (void)done;
}

CKirvoApp::CKirvoApp(int& argc, char** argv) : QApplication(argc, argv) {
    InitResources();
    setOrganizationName(QStringLiteral("Orvane"));
    // No display name: Qt would append it to every window title, and each
    // title is to read exactly as it is set.
    setApplicationName(QStringLiteral("Kirvo"));
    setApplicationVersion(QStringLiteral(KIRVO_VERSION));
    setWindowIcon(QIcon(QStringLiteral(":/icons/kirvo.svg")));
    // QApplication has set the locale from the environment: the messages'
    // locale is set up again. Qt's own buttons and dialogs follow the window's
    // language; English is Qt's own.
    InitTranslation();
    // What Qt itself writes (numbers, dates, file sizes in its dialogs) in
    // the window's language too.
    if (CurrentLanguage() != UiLanguage::German) {
        QLocale::setDefault(QLocale(QLocale::English, CurrentEnglishDates() == EnglishDates::MonthFirst
                                                          ? QLocale::UnitedStates
                                                          : QLocale::UnitedKingdom));
        return;
    }
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    auto* translator = new QTranslator(this);
    if (translator->load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(translator);
}

CKirvoApp::~CKirvoApp() {
    frame_.reset();
    store_.reset();
}

bool CKirvoApp::InitInstance() {
    QCommandLineParser parser;
    SetUpParser(parser);
    if (!parser.parse(arguments())) {
        // The error quotes the argument as given: escaped for the terminal.
        std::fprintf(stderr, "kirvo: %s\n", DisplayEscaped(parser.errorText().toStdString()).c_str());
        exitCode_ = 2;
        return false;
    }
    paths_ = parser.positionalArguments();
    if (paths_.size() > 2 || (parser.isSet(QStringLiteral("job")) && !paths_.isEmpty())) {
        std::fprintf(stderr, "kirvo: %s\n", Tr("zu viele Argumente. Aufruf: kirvo [QUELLE [ZIEL]] | kirvo --job NAME"));
        exitCode_ = 2;
        return false;
    }

    store_ = std::make_unique<QSettingsProfileStore>();
    frame_ = std::make_unique<CMainFrame>(*store_);
    connect(frame_.get(), &CMainFrame::unhandledCommand, this, &CKirvoApp::OnUnhandledCommand);

    PathBar* bar = frame_->pathBar();
    if (!paths_.isEmpty()) bar->setText(PathBar::Side::Source, FieldPath(paths_[0]));
    if (paths_.size() > 1) bar->setText(PathBar::Side::Target, FieldPath(paths_[1]));
    if (parser.isSet(QStringLiteral("job"))) {
        QString error;
        if (!JobCommands::OpenJob(*frame_, parser.value(QStringLiteral("job")), error)) {
            std::fprintf(stderr, "kirvo: %s\n", qPrintable(error));
            exitCode_ = 2;
            return false;
        }
    }

    ScreenReport::StartIfAsked(*frame_);
    frame_->show();
    if (paths_.size() == 2 || parser.isSet(QStringLiteral("job"))) {
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
