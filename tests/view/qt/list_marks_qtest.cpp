// Marks by mouse and keyboard and the selection statistics: clicks on the
// state image of file, folder and equal rows, on row texts and below the last
// row; double clicks and the right button leave the marks alone, Space flips
// the selected file rows.
#include <QHeaderView>
#include <QtTest>

#include "support/temp_tree.h"
#include "view_fixture.h"

using namespace kirvo;
using namespace kirvo::test;

namespace {

const int64_t kOld = LocalEpoch(2011, 3, 6, 7, 5, 9);
const int64_t kNew = LocalEpoch(2012, 11, 24, 18, 30, 0);

// Rows under "alle Dateien":
//   0 folder (roots)  1 both.txt -->  2 eq.txt =  3 s.txt -->  4 t.txt <--
//   5 folder X        6 X/x1.txt -->  7 X/x2.txt -->
void MakeTrees(const TempDir& dir) {
    MakeTree(dir / "q", {{"both.txt", kNew, std::string(100, 'b')}, {"eq.txt", kOld, std::string(10, 'e')},
                         {"s.txt", kOld, std::string(500, 's')}, {"X/x1.txt", kNew, std::string(1000, '1')},
                         {"X/x2.txt", kOld, std::string(7, '2')}});
    MakeTree(dir / "z", {{"both.txt", kOld, std::string(300, 'b')}, {"eq.txt", kOld, std::string(10, 'e')},
                         {"t.txt", kOld, std::string(2048, 't')}, {"X/x1.txt", kOld, std::string(1000, '1')}});
}

const QString kStartStates = QStringLiteral("3 2 4 2 2 3 2 2");
const QString kStartSource = QStringLiteral("4 Dateien mit 2 KB (1607 Bytes) ausgewählt ");
const QString kStartTarget = QStringLiteral("3 Dateien mit 3 KB (3348 Bytes) ausgewählt ");

struct Fixture : Window {
    TempDir dir;
    Fixture() {
        MakeTrees(dir);
        Command(CommandId::FilterAll);
        Compare(dir / "q", dir / "z");
        frame.resize(1200, 700);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        prompts.log.clear();
    }
    QString States() const {
        QStringList states;
        for (int row = 0; row < rowCount(); ++row) states << QString::number(State(row));
        return states.join(u' ');
    }
    int RowY(int row) const { return view()->visualRect(model()->index(row, 0)).center().y(); }
    QPoint Box(int row) const { return {view()->stateImageLeft() + 8, RowY(row)}; }
    QPoint Text(int row) const {
        const QHeaderView* header = view()->header();
        return {header->sectionViewportPosition(3) + header->sectionSize(3) / 2, RowY(row)};
    }
    void Click(QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(view()->viewport(), button, {}, at);
    }
    // Fields 1011/1012 hold something else, so a recount shows.
    void SpoilStatistics() {
        frame.outputBar()->setFieldText(OutputBar::kSourceSelection, "alt");
        frame.outputBar()->setFieldText(OutputBar::kTargetSelection, "alt");
    }
    QList<int> Selected() const {
        QList<int> rows;
        for (int row : view()->selectedRows()) rows << row;
        return rows;
    }
};

}  // namespace

class ListMarksTest : public QObject {
    Q_OBJECT

private slots:
    void clicks_data() {
        QTest::addColumn<QStringList>("clicks");  // "box N" or "text N"
        QTest::addColumn<QString>("states");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::newRow("file box unmarks") << QStringList{"box 3"} << "3 2 4 1 2 3 2 2" << QList<int>{}
                                          << "3 Dateien mit 1 KB (1107 Bytes) ausgewählt " << kStartTarget;
        QTest::newRow("target-only box") << QStringList{"box 4"} << "3 2 4 2 1 3 2 2" << QList<int>{} << kStartSource
                                         << "2 Dateien mit 1 KB (1300 Bytes) ausgewählt ";
        QTest::newRow("second click marks again")
            << QStringList{"box 3", "box 3"} << kStartStates << QList<int>{} << kStartSource << kStartTarget;
        QTest::newRow("folder box flips its files")
            << QStringList{"box 5"} << "3 2 4 2 2 3 1 1" << QList<int>{} << "2 Dateien mit 600 Bytes (600 Bytes) ausgewählt "
            << "2 Dateien mit 2 KB (2348 Bytes) ausgewählt ";
        QTest::newRow("partly marked folder turns over")
            << QStringList{"box 6", "box 5"} << "3 2 4 2 2 3 2 1" << QList<int>{}
            << "3 Dateien mit 2 KB (1600 Bytes) ausgewählt " << kStartTarget;
        QTest::newRow("root folder box passes the equal row")
            << QStringList{"box 0"} << "3 1 4 1 1 3 2 2" << QList<int>{}
            << "2 Dateien mit 1007 Bytes (1007 Bytes) ausgewählt " << "1 Datei mit 1000 Bytes (1000 Bytes) ausgewählt ";
        QTest::newRow("equal row box changes nothing")
            << QStringList{"box 2"} << kStartStates << QList<int>{} << kStartSource << kStartTarget;
        QTest::newRow("folder text is swallowed")
            << QStringList{"text 0"} << kStartStates << QList<int>{} << kStartSource << kStartTarget;
        QTest::newRow("file text selects, mark stays")
            << QStringList{"text 3"} << kStartStates << QList<int>{3} << kStartSource << kStartTarget;
        QTest::newRow("folder text keeps the selection")
            << QStringList{"text 1", "text 5"} << kStartStates << QList<int>{1} << kStartSource << kStartTarget;
        QTest::newRow("box click keeps the selection")
            << QStringList{"text 1", "box 6"} << "3 2 4 2 2 3 1 2" << QList<int>{1}
            << "3 Dateien mit 607 Bytes (607 Bytes) ausgewählt " << "2 Dateien mit 2 KB (2348 Bytes) ausgewählt ";
    }

    void clicks() {
        QFETCH(QStringList, clicks);
        QFETCH(QString, states);
        QFETCH(QList<int>, selected);
        QFETCH(QString, source);
        QFETCH(QString, target);
        Fixture f;
        QCOMPARE(f.States(), kStartStates);
        QCOMPARE(f.Field(OutputBar::kSourceSelection), kStartSource);
        QCOMPARE(f.Field(OutputBar::kTargetSelection), kStartTarget);
        for (const QString& click : clicks) {
            f.SpoilStatistics();
            const int row = click.section(u' ', 1).toInt();
            f.Click(click.startsWith(u'b') ? f.Box(row) : f.Text(row));
            QCOMPARE(f.Field(OutputBar::kSourceSelection).isEmpty(), false);
            QVERIFY(f.Field(OutputBar::kSourceSelection) != "alt");  // every left press recounts
        }
        QCOMPARE(f.States(), states);
        QCOMPARE(f.Selected(), selected);
        QCOMPARE(f.Field(OutputBar::kSourceSelection), source);
        QCOMPARE(f.Field(OutputBar::kTargetSelection), target);
        QVERIFY(f.prompts.log.isEmpty());
    }

    void aPressBelowTheLastRowGoesToTheListAndRecounts() {
        Fixture f;
        f.Click(f.Text(3));
        QCOMPARE(f.Selected(), QList<int>{3});
        f.SpoilStatistics();
        f.Click(QPoint(f.Text(3).x(), f.view()->viewport()->height() - 3));
        QVERIFY(f.Selected().isEmpty());
        QCOMPARE(f.Field(OutputBar::kSourceSelection), kStartSource);
        QCOMPARE(f.Field(OutputBar::kTargetSelection), kStartTarget);
    }

    void doubleClicksAndTheRightButtonLeaveTheMarks() {
        Fixture f;
        // A double-click as the window system delivers it: press, release,
        // press, double-click, release.
        const QPoint box = f.Box(3);
        auto send = [&](QEvent::Type type, quint64 time) {
            const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
            QMouseEvent event(type, box, f.view()->viewport()->mapToGlobal(box), Qt::LeftButton, held, {});
            event.setTimestamp(time);
            QApplication::sendEvent(f.view()->viewport(), &event);
        };
        send(QEvent::MouseButtonPress, 100000);
        send(QEvent::MouseButtonRelease, 100050);
        send(QEvent::MouseButtonPress, 100100);
        send(QEvent::MouseButtonDblClick, 100100);
        send(QEvent::MouseButtonRelease, 100150);
        QCOMPARE(f.State(3), ResultRows::kUnmarked);  // the first press only
        // A press long after is a click of its own again.
        send(QEvent::MouseButtonPress, 105000);
        send(QEvent::MouseButtonRelease, 105050);
        QCOMPARE(f.State(3), ResultRows::kMarked);
        QTest::mouseDClick(f.view()->viewport(), Qt::LeftButton, {}, box);
        QCOMPARE(f.State(3), ResultRows::kMarked);
        f.SpoilStatistics();
        f.Click(f.Box(4), Qt::RightButton);
        QCOMPARE(f.State(4), ResultRows::kMarked);
        QCOMPARE(f.Field(OutputBar::kSourceSelection), "alt");
    }

    void theKeyboardMovesTheSelectionSpaceFlipsTheMarks() {
        Fixture f;
        f.ShowWithFocusInList();
        f.Click(f.Text(1));
        f.SpoilStatistics();
        f.Key(Qt::Key_Down);
        QCOMPARE(f.Selected(), QList<int>{2});
        f.Key(Qt::Key_Down, Qt::ShiftModifier);
        f.Key(Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(f.Selected(), (QList<int>{2, 3, 4}));
        f.Key(Qt::Key_Down, Qt::ControlModifier);
        f.Key(Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(f.Selected(), (QList<int>{2, 3, 4, 5}));
        f.Key(Qt::Key_PageDown);
        QCOMPARE(f.Selected(), QList<int>{7});
        QCOMPARE(f.States(), kStartStates);
        QCOMPARE(f.Field(OutputBar::kSourceSelection), "alt");
        f.Key(Qt::Key_Home, Qt::ShiftModifier);
        QCOMPARE(f.Selected().size(), 8);
        // Space flips the selected file rows as clicks on their boxes would;
        // folder rows and the equal row stay as they are.
        f.Key(Qt::Key_Space);
        QCOMPARE(f.States(), "3 1 4 1 1 3 1 1");
        QCOMPARE(f.Field(OutputBar::kSourceSelection), "0 Dateien mit 0 Bytes (0 Bytes) ausgewählt ");
        QCOMPARE(f.Selected().size(), 8);
        f.Click(f.Text(3));
        f.Key(Qt::Key_Space);
        QCOMPARE(f.States(), "3 1 4 2 1 3 1 1");
        QCOMPARE(f.Field(OutputBar::kSourceSelection), "1 Datei mit 500 Bytes (500 Bytes) ausgewählt ");
        // F5 compares again: every unequal row marked anew.
        f.Key(Qt::Key_F5);
        QCOMPARE(f.States(), kStartStates);
        // F1 opens the help.
        QString help;
        QTimer::singleShot(0, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                help = modal->windowTitle();
                modal->close();
            }
        });
        f.Key(Qt::Key_F1);
        QCOMPARE(help, "Kirvo – Hilfethemen");
        // Copy and Delete follow the selection.
        f.Click(f.Text(3));
        QVERIFY(f.frame.actions().action(CommandId::EditCopy)->isEnabled());
        f.view()->clearSelection();
        QVERIFY(!f.frame.actions().action(CommandId::DeleteSelected)->isEnabled());
        QVERIFY(f.frame.actions().action(CommandId::Synchronize)->isEnabled());
    }
};

QTEST_MAIN(ListMarksTest)
#include "list_marks_qtest.moc"
