// What the window keeps across runs: options, path histories and window
// size through a real settings file, the order of the writes at shut-down,
// and what bad or unwritable settings give.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/in_memory_profile_store.h"
#include "app/qt/command_actions.h"
#include "app/qt/main_frame.h"
#include "app/qt/output_bar.h"
#include "app/qt/path_bar.h"
#include "app/qt/qsettings_profile_store.h"
#include "app/qt/window_controller.h"
#include "view/qt/kirvo_view.h"

using namespace kirvo;

namespace {

// Records every write as "section/entry", in order.
class RecordingStore : public InMemoryProfileStore {
public:
    void WriteProfileInt(std::string_view section, std::string_view entry, int32_t value) override {
        writes << Key(section, entry);
        InMemoryProfileStore::WriteProfileInt(section, entry, value);
    }
    void WriteProfileString(std::string_view section, std::string_view entry,
                            std::string_view value) override {
        writes << Key(section, entry);
        InMemoryProfileStore::WriteProfileString(section, entry, value);
    }
    QStringList writes;

private:
    static QString Key(std::string_view section, std::string_view entry) {
        return QString::fromStdString(std::string(section) + "/" + std::string(entry));
    }
};

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// Lines of one [section] of an INI text.
QStringList Section(const QString& text, const QString& name) {
    QStringList lines;
    bool inside = false;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u'[')) {
            inside = line == u'[' + name + u']';
        } else if (inside) {
            lines << line;
        }
    }
    return lines;
}

void Compare(CMainFrame& frame, const QString& source, const QString& target) {
    PathBar* bar = frame.pathBar();
    bar->setText(PathBar::Side::Source, source);
    bar->setText(PathBar::Side::Target, target);
    bar->UpdateHistories();  // what "Pfade vergleichen" does first
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void shutDownWritesSizeThenHistoriesThenOptions() {
        RecordingStore store;
        auto frame = std::make_unique<CMainFrame>(store);
        Compare(*frame, QStringLiteral("/q/1"), QStringLiteral("/z/1"));
        Compare(*frame, QStringLiteral("/q/2"), QStringLiteral("/z/1"));
        frame->OnCommand(CommandId::OptionSubOrdner);
        QVERIFY(store.writes.isEmpty());  // nothing before the close

        frame->close();
        QCOMPARE(store.writes, (QStringList{"Main/cx", "Main/cy"}));
        frame.reset();
        QCOMPARE(store.writes,
                 (QStringList{"Main/cx", "Main/cy", "Quelle/Quelle0", "Quelle/Quelle1", "Ziel/Ziel0",
                              "Optionen/ueber_5000", "Optionen/vorLoeschen",
                              "Optionen/vorUeberschreiben", "Optionen/vorDir", "Optionen/SubOrdner",
                              "Optionen/SystemOrdner", "Optionen/OneSecond", "Optionen/Beep",
                              "Optionen/Papierkorb", "Optionen/Stunde", "Optionen/Pruefen", "Optionen/Vergleich", "Optionen/Abgleich",
                              "Optionen/Verknuepfungen", "Filter/Einschliessen", "Filter/Ausschliessen"}));
        QCOMPARE(store.GetProfileString("Quelle", "Quelle0"), "/q/2");
        QCOMPARE(store.GetProfileInt("Optionen", "SubOrdner", -1), 1);
    }

    void everythingComesBackThroughARealSettingsFile() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Kirvo.conf"));
        {
            QSettingsProfileStore store(file);
            {
                CMainFrame frame(store);
                frame.show();
                frame.resize(700, 520);
                QTest::qWait(20);
                frame.OnCommand(CommandId::OptionStunde);  // no result shown yet: nothing is compared
                frame.OnCommand(CommandId::CompareByContent);
                frame.OnCommand(CommandId::SyncModeTwoWay);
                frame.OnCommand(CommandId::LinksCopy);
                Compare(frame, QStringLiteral("/home/anna/Fotos"), QStringLiteral("/media/stick/Fotos"));
                Compare(frame, QStringLiteral("/home/anna/Texte, alt"), QStringLiteral("/media/stick/Texte"));
                frame.pathBar()->setText(PathBar::Side::Source, QStringLiteral("/nie/verglichen"));
                frame.OnCommand(CommandId::OptionSubOrdner);
                frame.OnCommand(CommandId::OptionBeep);
                frame.OnCommand(CommandId::OptionVorDir);
                frame.OnCommand(CommandId::FilterAll);      // not persisted
                frame.OnCommand(CommandId::ViewOutputBar);  // nor is the bars' visibility
                frame.close();
            }
            store.Sync();
        }
        const QString text = ReadText(file);
        QCOMPARE(Section(text, "Optionen"),
                 (QStringList{"Abgleich=2", "Beep=0", "OneSecond=1", "Papierkorb=1", "Pruefen=0", "Stunde=1", "SubOrdner=1", "SystemOrdner=0",
                              "Vergleich=2", "Verknuepfungen=copy", "ueber_5000=1", "vorDir=1", "vorLoeschen=1",
                              "vorUeberschreiben=1"}));
        QCOMPARE(Section(text, "Main"), (QStringList{"cx=708", "cy=566"}));
        QCOMPARE(Section(text, "Quelle").size(), 2);
        QCOMPARE(Section(text, "Ziel").size(), 2);
        QVERIFY(!text.contains("/nie/verglichen"));  // typed but never compared

        QSettingsProfileStore store(file);
        CMainFrame frame(store);
        QCOMPARE(frame.size(), QSize(700, 520));
        QVERIFY(frame.controller()->options().subOrdner());
        QVERIFY(!frame.controller()->options().beep());
        QVERIFY(frame.controller()->options().vorDir());
        QVERIFY(frame.actions().action(CommandId::OptionSubOrdner)->isChecked());
        QVERIFY(!frame.actions().action(CommandId::OptionBeep)->isChecked());
        QVERIFY(frame.controller()->options().stunde());
        QCOMPARE(frame.controller()->options().compareBy(), CompareBy::Content);
        QVERIFY(frame.actions().action(CommandId::CompareByContent)->isChecked());
        QVERIFY(!frame.actions().action(CommandId::CompareByTime)->isChecked());
        QCOMPARE(frame.controller()->options().links(), LinkMode::Copy);
        QCOMPARE(frame.controller()->displayFilter().value(), DisplayFilterValue::Unequal);
        QVERIFY(!frame.outputBar()->isHidden());
        QComboBox* source = frame.pathBar()->comboBox(PathBar::Side::Source);
        QCOMPARE(source->currentText(), "/home/anna/Texte, alt");
        QCOMPARE(source->count(), 2);
        QCOMPARE(source->itemText(1), "/home/anna/Fotos");
        QCOMPARE(frame.pathBar()->text(PathBar::Side::Target), "/media/stick/Texte");
    }

    void theProgramsOwnStoreLivesUnderTheConfigFolder() {
        const QString expected = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                                 QStringLiteral("/Orvane/Kirvo.conf");
        QFile::remove(expected);
        {
            QSettingsProfileStore store;
            store.WriteProfileInt("Main", "cx", 1234);
        }
        QVERIFY(ReadText(expected).contains("cx=1234"));
        QFile::remove(expected);
    }

    void maximisingIsKeptWithTheLastNormalSize() {
        InMemoryProfileStore store;
        {
            CMainFrame frame(store);
            frame.show();
            frame.resize(640, 480);
            QTest::qWait(20);
            frame.showMaximized();
            QTest::qWait(50);
            QVERIFY(frame.isMaximized());
            QVERIFY(frame.size() != QSize(640, 480));
            frame.close();
        }
        QCOMPARE(store.GetProfileInt("Main", "cx", 0), 648);
        QCOMPARE(store.GetProfileInt("Main", "cy", 0), 526);
        // The next start opens maximised, and restoring gives that size back.
        QCOMPARE(store.GetProfileInt("Main", "Maximiert", 0), 1);
        {
            CMainFrame frame(store);
            frame.show();
            QTRY_VERIFY(frame.isMaximized());
            frame.showNormal();
            QTRY_COMPARE(frame.size(), QSize(640, 480));
            frame.close();
        }
        QCOMPARE(store.GetProfileInt("Main", "Maximiert", 1), 0);
    }

    void aWindowLargerThanTheScreenOpensWithinItAndStaysStored() {
        InMemoryProfileStore store;
        store.WriteProfileInt("Main", "cx", 3008);
        store.WriteProfileInt("Main", "cy", 2046);
        {
            CMainFrame frame(store);
            frame.show();
            QVERIFY(QTest::qWaitForWindowExposed(&frame));
            const QRect available = frame.screen()->availableGeometry();
            QVERIFY(frame.frameGeometry().width() <= available.width());
            QVERIFY(frame.frameGeometry().height() <= available.height());
            frame.close();
        }
        QCOMPARE(store.GetProfileInt("Main", "cx", 0), 3008);
        QCOMPARE(store.GetProfileInt("Main", "cy", 0), 2046);
    }

    void badValuesGiveDefaultsAndTheNextCloseWritesCleanOnes() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Kirvo.conf"));
        WriteText(file,
                  "[Optionen]\n"
                  "ueber_5000=ja\n"
                  "vorLoeschen=\n"
                  "Beep=1,2\n"
                  "OneSecond=7\n"
                  "Vergleich=5\n"
                  "Abgleich=7\n"
                  "Verknuepfungen=COPY\n"
                  "SubOrdner=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1)\n"
                  "[Main]\n"
                  "cx=breit\n"
                  "cy=-5\n"
                  "[Quelle]\n"
                  "Quelle0=/a\n"
                  "Quelle1=\n"
                  "Quelle2=/c\n"
                  "[Ziel]\n"
                  "Ziel0=/z\n"
                  "Ziel1=/y\n"
                  "Zie");  // cut off mid-line
        QSize closedSize;
        {
            QSettingsProfileStore store(file);
            CMainFrame frame(store);
            const AppOptions& options = frame.controller()->options();
            QCOMPARE(options.value(Option::Ueber5000), 1);
            QCOMPARE(options.value(Option::VorLoeschen), 1);
            QCOMPARE(options.value(Option::Beep), 1);
            QCOMPARE(options.value(Option::OneSecond), 7);
            QCOMPARE(options.value(Option::SubOrdner), 0);
            QCOMPARE(frame.view()->initialColumnWidth(0), 200);
            QCOMPARE(frame.pathBar()->comboBox(PathBar::Side::Source)->count(), 1);
            QCOMPARE(frame.pathBar()->comboBox(PathBar::Side::Target)->count(), 2);
            closedSize = frame.size();
            frame.close();
        }
        const QString text = ReadText(file);
        QCOMPARE(Section(text, "Optionen"),
                 (QStringList{"Abgleich=0", "Beep=1", "OneSecond=7", "Papierkorb=1", "Pruefen=0", "Stunde=0", "SubOrdner=0", "SystemOrdner=0",
                              "Vergleich=0", "Verknuepfungen=follow", "ueber_5000=1", "vorDir=0", "vorLoeschen=1",
                              "vorUeberschreiben=1"}));
        QCOMPARE(Section(text, "Main"), (QStringList{"cx=" + QString::number(closedSize.width() + 8),
                                                     "cy=" + QString::number(closedSize.height() + 46)}));
        // Only loaded entries are written; stored ones beyond them stay.
        QCOMPARE(Section(text, "Quelle"), (QStringList{"Quelle0=/a", "Quelle1=", "Quelle2=/c"}));
    }

    void garbageFileGivesDefaults() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Kirvo.conf"));
        WriteText(file, QByteArray("\x00\xff\xfe[Optio\n=\n[[]]\nBeep", 20));
        QSettingsProfileStore store(file);
        CMainFrame frame(store);
        const AppOptions& options = frame.controller()->options();
        for (const OptionInfo& info : AppOptions::Table()) {
            QCOMPARE(options.value(info.option), info.defaultValue);
        }
    }

    void unusableSettingsPlaceIsNotReported() {
        // A folder where the file should be: nothing can be read or written.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Kirvo.conf"));
        QVERIFY(QDir().mkpath(file));
        {
            QSettingsProfileStore store(file);
            CMainFrame frame(store);
            QVERIFY(frame.controller()->options().beep());
            Compare(frame, QStringLiteral("/a"), QStringLiteral("/b"));
            frame.close();
        }
        QVERIFY(QFileInfo(file).isDir());
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_qtest.moc"
