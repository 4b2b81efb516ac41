// The application as it starts from a command line: the two paths compared
// at once, the about box from the toolbar, "&Beenden" writing the settings.
// One application per process, so this file has its own main.
#include <QAction>
#include <QDir>
#include <QSettings>
#include <QToolBar>
#include <QtTest>
#include <vector>

#include "app/qt/command_actions.h"
#include "app/qt/kirvo_app.h"
#include "app/qt/main_frame.h"
#include "support/temp_tree.h"
#include "view/qt/kirvo_view.h"

using namespace kirvo;

class KirvoAppTest : public QObject {
    Q_OBJECT
public:
    KirvoAppTest(CKirvoApp& app, QString source, QString target)
        : app_(app), source_(std::move(source)), target_(std::move(target)) {}

private slots:
    void whatNeedsNoWindowIsAnsweredWithoutOne_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("status");  // -1: go on and open the window
        QTest::newRow("--help") << QStringList{"--help"} << true << 0;
        QTest::newRow("--version") << QStringList{"-v"} << true << 0;
        QTest::newRow("no display") << QStringList{"/q", "/z"} << false << 1;
        QTest::newRow("no display, a platform given") << QStringList{"-platform", "offscreen"} << false << -1;
        QTest::newRow("two folders") << QStringList{"/q", "/z"} << true << -1;
    }
    void whatNeedsNoWindowIsAnsweredWithoutOne() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, status);
        std::vector<QByteArray> texts{"kirvo"};
        for (const QString& argument : arguments) texts.push_back(argument.toLocal8Bit());
        std::vector<char*> argv;
        for (QByteArray& text : texts) argv.push_back(text.data());
        const char* const names[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
        QByteArray saved[3];
        for (int i = 0; i < 3; ++i) {
            saved[i] = qgetenv(names[i]);
            if (!display) qunsetenv(names[i]);
        }
        const std::optional<int> result = CKirvoApp::HandleWithoutWindow(static_cast<int>(argv.size()), argv.data());
        for (int i = 0; i < 3; ++i)
            if (!saved[i].isEmpty()) qputenv(names[i], saved[i]);
        QCOMPARE(result.value_or(-1), status);
    }

    void comparesTheCommandLinePathsShowsAboutAndClosesInOrder() {
        QString aboutTitle;
        int rowsShown = -1;
        QTimer::singleShot(0, &app_, [&] {
            CMainFrame* frame = app_.mainFrame();
            // The comparison the command line asked for, once the window is up.
            QTest::qWaitFor([&] { return frame->view()->rowCount() > 0; }, 5000);
            rowsShown = frame->view()->rowCount();
            // "Info" on the toolbar opens the about box; closing it returns.
            QTimer::singleShot(0, [&] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    aboutTitle = box->windowTitle();
                    box->close();
                }
            });
            QTest::mouseClick(frame->toolBar()->widgetForAction(frame->actions().action(CommandId::AppAbout)),
                              Qt::LeftButton);
            // "&Beenden" from the menu.
            frame->actions().action(CommandId::AppExit)->trigger();
        });
        QCOMPARE(app_.Run(), 0);
        QCOMPARE(rowsShown, 3);  // the folder row, the source-only and the target-only file
        QCOMPARE(aboutTitle, "Info über Kirvo");
        QVERIFY(!app_.mainFrame());
        // The orderly close wrote the window size, both histories and the options.
        QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Kirvo"));
        QCOMPARE(settings.value("Quelle/Quelle0").toString(), source_);
        QCOMPARE(settings.value("Ziel/Ziel0").toString(), target_);
        QVERIFY(settings.value("Main/cx").toInt() > 0);
        QCOMPARE(settings.value("Optionen/Beep").toInt(), 1);
    }

private:
    CKirvoApp& app_;
    QString source_, target_;
};

int main(int argc, char** argv) {
    test::TempDir dir;
    // The source lies below a folder of 259 characters that holds a file of
    // its own: the path must reach the field whole.
    const std::string outer = dir / std::string(259 - dir.path().size() - 1, 'q');
    test::MakeTree(outer, {{"decoy.txt"}, {"q/neu.txt"}});
    test::MakeTree(dir / "z", {{"alt.txt"}});
    // A fresh settings file, as on a first start.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + "/.config");
    QFile::remove(config + "/Orvane/Kirvo.conf");
    std::string source = outer + "/q", target = dir / "z";
    std::vector<char*> arguments{argv[0], source.data(), target.data()};
    int count = static_cast<int>(arguments.size());
    CKirvoApp app(count, arguments.data());
    KirvoAppTest test(app, QString::fromStdString(source), QString::fromStdString(target));
    return QTest::qExec(&test, argc, argv);
}

#include "kirvo_app_qtest.moc"
