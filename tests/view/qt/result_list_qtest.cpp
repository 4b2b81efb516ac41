// "Pfade vergleichen" on real trees: the rows and cells of the list, the
// totals, the question before a large result, the progress and the beeps.
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QSignalSpy>
#include <QtTest>

#include <QLabel>
#include <QStatusBar>
#include <QToolButton>
#include <chrono>
#include <thread>

#include "app/qt/path_bar.h"
#include "engine/tree_matcher.h"
#include "platform/worker_pool.h"
#include "support/temp_tree.h"
#include "view_fixture.h"

using namespace kirvo;
using namespace kirvo::test;

namespace {

const int64_t kOld = LocalEpoch(2011, 3, 6, 7, 5, 9);
const int64_t kNew = LocalEpoch(2012, 11, 24, 18, 30, 0);
const QString kOldText = QStringLiteral(" 6.03.2011 07:05:09");
const QString kNewText = QStringLiteral("24.11.2012 18:30:00");

const char* const kQuestion =
    "ask: Es wurden mehr als 5000 Vergleiche gemacht . Das verlangsamt die Anzeige und das später darauf "
    "folgende Löschen der Anzeige sehr ! Trotzdem anzeigen ?";

void MakeEmptyFiles(const std::string& folder, int count) {
    MakeDirs(folder);
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%05d", i);
        WriteFile(folder + name, "", kOld);
    }
}

QString RootText(const TempDir& dir, const char* side) { return QString::fromStdString(dir / side) + u'/'; }

// A share that never ends: every folder holds five files and two folders,
// and each listing takes 20 ms.
class EndlessShare : public DirectoryLister {
public:
    kirvo::ListingStatus OpenRoot(const std::string&) override { return {}; }
    int AutomaticInFlight() const override { return 4; }
    void SetInFlight(int count) override { pool_.Grow(count); }
    void Start(const Request& request, ListingReceiver& receiver) override {
        pool_.Post([&receiver] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "x", "y"}) {
                DirectoryRecord record;
                record.name = name;
                record.kind = name[1] == '\0' ? RecordKind::Directory : RecordKind::File;
                receiver.Record(record);
            }
            receiver.Finished({}, nullptr);
        });
        (void)request;
    }

private:
    WorkerPool pool_;
};

}  // namespace

class ResultListTest : public QObject {
    Q_OBJECT

    TempDir many_;  // quelle: 5000 empty files; ziel0: empty; ziel1: one more file; ziel2: the 5000 and one more

private slots:
    void initTestCase() {
        MakeEmptyFiles(many_ / "quelle", 5000);
        MakeDirs(many_ / "ziel0");
        WriteFile(many_ / "ziel1/zusatz", "", kOld);
        MakeEmptyFiles(many_ / "ziel2", 5000);
        WriteFile(many_ / "ziel2/zusatz", "", kOld);
    }

    void filesOnlyInTheRootsGetOneFolderRowWithBothRoots() {
        TempDir dir;
        MakeTree(dir / "q", {{"neu.txt", kNew, "12345"}, {"nur-q.txt", kOld, "abc"}, {"gleich.txt", kOld, "g"}});
        MakeTree(dir / "z", {{"neu.txt", kOld, "1"}, {"nur-z.txt", kNew, std::string(2048, 'z')},
                             {"gleich.txt", kOld, "g"}});
        Window w;
        w.Compare(dir / "q", dir / "z");
        // Unequal is the filter at start: the equal pair is not shown.
        QCOMPARE(w.rowCount(), 4);
        QCOMPARE(w.Cells(0), RootText(dir, "q") + "|||||" + RootText(dir, "z") + "|||");
        QCOMPARE(w.State(0), ResultRows::kFolder);
        QCOMPARE(w.Cells(1), "neu.txt|5 Byte|" + kNewText + "|neu.txt|--->|neu.txt|1 Byte|" + kOldText + "|neu.txt");
        // A source-only row: columns 5 to 8 empty; a target-only row: 0 to 3.
        QCOMPARE(w.Cells(2), "nur-q.txt|3 Byte|" + kOldText + "|nur-q.txt|--->||||");
        QCOMPARE(w.Cells(3), "||||<---|nur-z.txt|2 KB|" + kNewText + "|nur-z.txt");
        for (int row = 1; row < 4; ++row) QCOMPARE(w.State(row), ResultRows::kMarked);

        QCOMPARE(w.Field(OutputBar::kSourceTotals), "2 Dateien in 1 Ordner mit 8 Bytes (8 Byte) ");
        QCOMPARE(w.Field(OutputBar::kTargetTotals), "2 Dateien in 1 Ordner mit 2 KB (2049 Byte) ");
        QCOMPARE(w.Field(OutputBar::kSourceSelection), "2 Dateien mit 8 Bytes (8 Byte) ausgewählt ");
        QCOMPARE(w.Field(OutputBar::kTargetSelection), "2 Dateien mit 2 KB (2049 Byte) ausgewählt ");
        QCOMPARE(w.prompts.log, QStringList{"beep"});

        // Equal rows under All and Equal: "=", no box, no mark.
        for (CommandId filter : {CommandId::FilterAll, CommandId::FilterEqual}) {
            w.Command(filter);
            const int row = w.RowOf("gleich.txt");
            QVERIFY(row > 0);
            QCOMPARE(w.Cells(row), "gleich.txt|1 Byte|" + kOldText + "|gleich.txt|=|gleich.txt|1 Byte|" + kOldText +
                                       "|gleich.txt");
            QCOMPARE(w.State(row), ResultRows::kEqual);
        }
        QCOMPARE(w.rowCount(), 2);  // Equal: the folder row and the equal row
        QCOMPARE(w.Field(OutputBar::kSourceSelection), "0 Dateien mit 0 Bytes (0 Byte) ausgewählt ");
    }

    void aFolderWithTargetOnlyFilesGetsASecondFolderRow() {
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt"}, {"X/b.txt"}});
        MakeTree(dir / "z", {{"a.txt"}, {"X/b.txt"}, {"X/c.txt"}});
        Window w;
        w.Command(CommandId::FilterAll);
        w.Compare(dir / "q", dir / "z");
        const QString sx = RootText(dir, "q") + "X/", tx = RootText(dir, "z") + "X/";
        QStringList names;
        for (int row = 0; row < w.rowCount(); ++row) {
            names << (w.State(row) == ResultRows::kFolder
                          ? "[" + w.model()->cellText(row, 0) + "|" + w.model()->cellText(row, 5) + "]"
                          : w.model()->cellText(row, 3) + w.model()->cellText(row, 8));
        }
        QCOMPARE(names, (QStringList{"[" + RootText(dir, "q") + "|" + RootText(dir, "z") + "]", "a.txta.txt",
                                     "[" + sx + "|" + tx + "]", "X/b.txtX/b.txt", "[|" + tx + "]", "X/c.txt"}));
        QCOMPARE(w.Field(OutputBar::kTargetTotals), "3 Dateien in 3 Ordner mit 3 Bytes (3 Byte) ");
        QCOMPARE(w.Field(OutputBar::kSourceTotals), "2 Dateien in 2 Ordner mit 2 Bytes (2 Byte) ");
    }

    void anEmptyFieldDoesNothing() {
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt", kNew}});
        Window w;
        w.Compare(dir / "q", dir / "z");
        QCOMPARE(w.rowCount(), 2);
        w.Compare(dir / "q", "");
        w.Compare("", dir / "q");
        QCOMPARE(w.rowCount(), 2);
        // The missing target is said before the list, and only the source kept in its history.
        QCOMPARE(w.prompts.log, (QStringList{QString::fromStdString("warn: Das Ziel „" + dir / "z" +
                                                                    "“ existiert nicht. Es wird als leerer "
                                                                    "Ordner verglichen."),
                                             "beep"}));
        QVERIFY(w.pathBar()->history(PathBar::Side::Target).entries().empty());
        QCOMPARE(w.pathBar()->history(PathBar::Side::Source).entries().size(), size_t{1});
    }

    void nameBytesThatAreNotUtf8AreShownReadablyAndKept() {
        TempDir dir;
        const std::string latin1 = "caf\xe9.txt";
        MakeTree(dir / "q", {{latin1, kNew}});
        MakeDirs(dir / "z");
        Window w;
        w.Compare(dir / "q", dir / "z");
        QCOMPARE(w.rowCount(), 2);
        QCOMPARE(w.model()->cellText(1, 0), QString::fromUtf8("caf\xef\xbf\xbd.txt"));
        QCOMPARE(std::string(w.rows().Pair(1)->source->name()), latin1);
    }

    void largeResultQuestion_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");  // ziel1: 5001 pairs instead of 5000
        QTest::addColumn<bool>("ask");        // option "ueber_5000"
        QTest::addColumn<bool>("beep");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<int>("rows");  // shown; 0: declined
        QTest::newRow("5000 pairs: no question") << "quelle" << "ziel0" << true << true << false << QStringList{"beep"} << 5001;
        QTest::newRow("5001, OK") << "quelle" << "ziel1" << true << true << true << QStringList{"beep?", kQuestion, "beep"} << 5002;
        QTest::newRow("5001, Cancel") << "quelle" << "ziel1" << true << true << false
                                      << QStringList{"beep?", kQuestion, "beep"} << 0;
        QTest::newRow("5001, Cancel, no beep") << "quelle" << "ziel1" << true << false << false << QStringList{kQuestion} << 0;
        QTest::newRow("5001, option off") << "quelle" << "ziel1" << false << true << false << QStringList{"beep"} << 5002;
        // The bound is on the rows shown: 5000 equal pairs stay hidden.
        QTest::newRow("5001 pairs, 1 shown") << "quelle" << "ziel2" << true << true << false << QStringList{"beep"} << 2;
        // A missing root is said before the question.
        QTest::newRow("missing source, 5001 shown")
            << "fehlt" << "ziel2" << true << false << true
            << QStringList{"warn: Die Quelle „" + QString::fromStdString(many_ / "fehlt") +
                               "“ existiert nicht. Sie wird als leerer Ordner verglichen.",
                           kQuestion}
            << 5002;
    }

    void largeResultQuestion() {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(bool, ask);
        QFETCH(bool, beep);
        QFETCH(bool, answer);
        QFETCH(QStringList, log);
        QFETCH(int, rows);
        Window w;
        w.SetOption(Option::Ueber5000, ask);
        w.SetOption(Option::Beep, beep);
        w.prompts.answer = answer;
        w.Compare(many_ / source.toStdString(), many_ / target.toStdString());
        QCOMPARE(w.prompts.log, log);
        if (rows > 0) {
            QCOMPARE(w.controller()->matcher().pairCount(), target == "ziel0" ? 5000 : 5001);
            QCOMPARE(w.rowCount(), rows);
            if (source == "quelle" && target != "ziel2")
                QCOMPARE(w.Field(OutputBar::kSourceTotals), "5000 Dateien in 1 Ordner mit 0 Bytes (0 Byte) ");
        } else {
            // Declined: nothing left to show or to act on.
            QCOMPARE(w.controller()->matcher().pairCount(), 0);
            QCOMPARE(w.rowCount(), 0);
            QVERIFY(w.rows().pairs().empty());
            QCOMPARE(w.Field(OutputBar::kSourceTotals), "0 Dateien in 0 Ordner mit 0 Bytes (0 Byte) ");
            QCOMPARE(w.Field(OutputBar::kTargetTotals), "0 Dateien in 0 Ordner mit 0 Bytes (0 Byte) ");
            QCOMPARE(w.Field(OutputBar::kSourceSelection), "0 Dateien mit 0 Bytes (0 Byte) ausgewählt ");
            QVERIFY(!w.frame.actions().action(CommandId::Synchronize)->isEnabled());
        }
    }

    void onScreenTheQuestionIsAnOkCancelBoxWithTheQuestionIcon() {
        Window w;
        w.controller()->setUserPrompts(nullptr);  // back to the view's own message boxes
        w.frame.show();
        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        int cursor = -1;
        QTimer poll;  // the box comes once the folders are read
        poll.start(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll.stop();
            if (QApplication::overrideCursor()) cursor = QApplication::overrideCursor()->shape();
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            for (QAbstractButton* button : box->buttons()) buttons << button->text();
            box->button(QMessageBox::Cancel)->click();
        });
        w.Compare(many_ / "quelle", many_ / "ziel1");
        QCOMPARE(text, QString(kQuestion).mid(5));
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(title, "Kirvo");
        QCOMPARE(cursor, int(Qt::ArrowCursor));  // not the wait cursor over the question
        QVERIFY(!QApplication::overrideCursor());  // and no wait cursor left behind
        buttons.sort();
        QCOMPARE(buttons, (QStringList{"Abbrechen", "OK"}));
        QCOMPARE(w.rowCount(), 0);
        QCOMPARE(w.controller()->matcher().pairCount(), 0);
    }

    void filterChangesNeverAskAndKeepTheFilter() {
        Window w;
        w.Compare(many_ / "quelle", many_ / "ziel1");
        QCOMPARE(w.prompts.log.size(), 3);
        w.prompts.log.clear();
        w.Command(CommandId::FilterTargetToSource);
        QCOMPARE(w.prompts.log, QStringList{"beep"});
        QCOMPARE(w.prompts.waiting, (QList<bool>{true, true, true, true}));  // under the wait cursor
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(w.rowCount(), 2);
        QCOMPARE(w.model()->cellText(1, 5), "zusatz");
        // The next comparison keeps the filter.
        w.prompts.log.clear();
        w.Compare(many_ / "quelle", many_ / "ziel1");
        QCOMPARE(w.rowCount(), 2);
        QCOMPARE(w.controller()->displayFilter().value(), DisplayFilterValue::TargetToSource);
    }

    void theListIsEmptiedBeforeTheEngineRunsAgain() {
        TempDir dir;
        MakeTree(dir / "q", {{"a", kNew}, {"b", kNew}});
        MakeDirs(dir / "z");
        Window w;
        w.Compare(dir / "q", dir / "z");
        QCOMPARE(w.rowCount(), 3);
        // At the first reset of the next comparison the engine still holds
        // the old result, and the list is already empty.
        QList<QPair<int, int>> resets;
        QObject::connect(w.model(), &QAbstractItemModel::modelReset, [&] {
            resets << qMakePair(w.rowCount(), int(w.controller()->matcher().pairCount()));
        });
        w.Compare(dir / "z", dir / "q");
        QCOMPARE(resets.size(), 2);
        QCOMPARE(resets[0], qMakePair(0, 2));
        QCOMPARE(resets[1], qMakePair(3, 2));
        QCOMPARE(w.Cells(1), "||||<---|a|1 Byte|" + kNewText + "|a");
    }

    void cancelStopsTheScanEmptiesTheListAndEnablesTheCommands_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << "escape";
        QTest::newRow("button") << "button";
        QTest::newRow("closing the window") << "close";
    }

    void cancelStopsTheScanEmptiesTheListAndEnablesTheCommands() {
        QFETCH(QString, how);
        TempDir dir;
        MakeTree(dir / "q", {{"a", kNew}});
        MakeDirs(dir / "z");
        Window w;
        w.ShowWithFocusInList();
        w.Compare(dir / "q", dir / "z");
        QCOMPARE(w.rowCount(), 2);
        w.controller()->comparison().setDirectoryListers([](const std::string&) { return std::make_unique<EndlessShare>(); });
        QAction* compare = w.frame.actions().action(CommandId::PfadeVergleichen);
        compare->trigger();  // the toolbar button

        // Reading: the files found so far, the folder being read, nothing to act on.
        QTRY_VERIFY(w.Field(OutputBar::kTargetTotals).endsWith(" Dateien gefunden") &&
                    w.Field(OutputBar::kTargetTotals) != "0 Dateien gefunden");
        QVERIFY(w.frame.messagePane()->text().startsWith("Lese "));
        QCOMPARE(w.rowCount(), 0);
        QVERIFY(w.controller()->comparing());
        for (CommandId id : {CommandId::PfadeVergleichen, CommandId::FilterAll, CommandId::Synchronize,
                             CommandId::BrowseSource, CommandId::OptionSubOrdner})
            QVERIFY2(!w.frame.actions().action(id)->isEnabled(), qPrintable(QString::number(ToInt(id))));
        QVERIFY(!w.pathBar()->isEnabled());
        QVERIFY(w.frame.cancelButton()->isVisible());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::BusyCursor);

        if (how == "escape") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        } else if (how == "button") {
            QTest::mouseClick(w.frame.cancelButton(), Qt::LeftButton);
        } else {
            w.frame.close();  // the window goes; the scan with it, when the frame is destroyed
            return;
        }
        QTRY_VERIFY(!w.controller()->comparing());
        QCOMPARE(w.rowCount(), 0);
        QCOMPARE(w.controller()->matcher().pairCount(), 0);
        QCOMPARE(w.controller()->matcher().lastEntry(), -1);
        QCOMPARE(w.Field(OutputBar::kSourceTotals), "0 Dateien in 0 Ordner mit 0 Bytes (0 Byte) ");
        QCOMPARE(w.frame.messagePane()->text(), "Vergleich abgebrochen.");
        for (CommandId id : {CommandId::PfadeVergleichen, CommandId::FilterAll, CommandId::BrowseSource,
                             CommandId::OptionSubOrdner})
            QVERIFY2(w.frame.actions().action(id)->isEnabled(), qPrintable(QString::number(ToInt(id))));
        QVERIFY(w.pathBar()->isEnabled());
        QVERIFY(!w.frame.cancelButton()->isVisible());
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(w.prompts.log, QStringList{"beep"});  // the first comparison's only
    }

    void progressShowsTheRulesCountsAtMostEveryTenthSecond() {
        TempDir dir;
        MakeEmptyFiles(dir / "q", 1000);
        MakeDirs(dir / "z");
        Window w;
        w.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
        QLineEdit* field = w.frame.outputBar()->field(OutputBar::kSourceTotals);
        QStringList texts;
        int paints = 0;
        QObject::connect(field, &QLineEdit::textChanged, [&](const QString& text) {
            if (!text.endsWith(" gefunden")) texts << text;  // the scan's own progress comes before
        });
        struct PaintCounter : QObject {
            int* count;
            explicit PaintCounter(int* c) : count(c) {}
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++*count;
                return false;
            }
        } counter(&paints);
        field->installEventFilter(&counter);
        w.Compare(dir / "q", dir / "z");

        // The counts of the rule (0 to 10, then every tenth), of which the
        // fill shows the latest at most every tenth of a second, in order,
        // then the summary.
        QStringList rule;
        for (int n = 0; n <= 10; ++n) rule << QStringLiteral("%1 Dateien").arg(n);
        for (int n = 20; n < 1000; n += 10) rule << QStringLiteral("%1 Dateien").arg(n);
        QVERIFY(!texts.isEmpty());
        QCOMPARE(texts.last(), "1000 Dateien in 1 Ordner mit 0 Bytes (0 Byte) ");
        qsizetype at = -1;
        for (qsizetype i = 0; i + 1 < texts.size(); ++i) {
            const qsizetype found = rule.indexOf(texts[i], at + 1);
            QVERIFY2(found > at, qPrintable(texts[i]));
            at = found;
        }
        // Each text was on screen before the next one came: painted at once.
        QVERIFY2(paints >= texts.size(), qPrintable(QString::number(paints)));
        QCOMPARE(w.Field(OutputBar::kTargetTotals), "0 Dateien in 0 Ordner mit 0 Bytes (0 Byte) ");
    }
};

QTEST_MAIN(ResultListTest)
#include "result_list_qtest.moc"
