// The five display filter commands as the menu and the toolbar run them:
// rebuilt from the held pairs without scanning, check marks, the beep.
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QtTest>
#include <filesystem>

#include "support/temp_tree.h"
#include "view_fixture.h"

using namespace kirvo;
using namespace kirvo::test;

namespace {

const int64_t kOld = LocalEpoch(2011, 3, 6, 7, 5, 9);
const int64_t kNew = LocalEpoch(2012, 11, 24, 18, 30, 0);

constexpr CommandId kFilters[] = {CommandId::FilterAll, CommandId::FilterUnequal, CommandId::FilterSourceToTarget,
                                  CommandId::FilterTargetToSource, CommandId::FilterEqual};

void MakeTrees(const TempDir& dir) {
    MakeTree(dir / "q", {{"both.txt", kNew}, {"eq.txt", kOld}, {"s.txt", kOld}, {"X/x1.txt", kOld}});
    MakeTree(dir / "z", {{"both.txt", kOld}, {"eq.txt", kOld}, {"t.txt", kOld}, {"X/x1.txt", kNew}});
}

// Folder rows as "[]", file rows by their relative path.
QStringList Listed(const Window& w) {
    QStringList rows;
    for (int row = 0; row < w.rowCount(); ++row) {
        const QString path = w.model()->cellText(row, 3);
        rows << (w.State(row) == ResultRows::kFolder ? QStringLiteral("[]")
                                                     : (path.isEmpty() ? w.model()->cellText(row, 8) : path));
    }
    return rows;
}

}  // namespace

class FilterCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void atStartUnequalIsCheckedAndAFilterOnNoPairsStillBeeps() {
        Window w;
        for (CommandId id : kFilters) {
            QCOMPARE(w.frame.actions().action(id)->isChecked(), id == CommandId::FilterUnequal);
            QVERIFY(w.frame.actions().action(id)->isEnabled());
        }
        w.frame.actions().action(CommandId::FilterAll)->trigger();
        QCOMPARE(w.rowCount(), 0);
        QCOMPARE(w.Field(OutputBar::kSourceTotals), "0 Dateien in 0 Ordnern mit 0 Bytes (0 Bytes) ");
        QCOMPARE(w.Field(OutputBar::kTargetSelection), "0 Dateien mit 0 Bytes (0 Bytes) ausgewählt ");
        QCOMPARE(w.prompts.log, QStringList{"beep"});
        QVERIFY(w.frame.actions().action(CommandId::FilterAll)->isChecked());
    }

    void theActiveFilterCarriesACheckMarkInTheMenu() {
        Window w;
        w.frame.show();
        QMenu* view = w.PopUpMenu("&Ansicht");
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        // The check column of an item as the menu draws it.
        auto checkColumn = [&](CommandId id) {
            const QRect item = view->actionGeometry(w.frame.actions().action(id));
            return view->grab(QRect(item.topLeft(), QSize(item.height() + 4, item.height()))).toImage();
        };
        // One filter of several: the active one is marked, the others are not.
        const QImage active = checkColumn(CommandId::FilterUnequal);
        QVERIFY(active != checkColumn(CommandId::FilterAll));
        w.Command(CommandId::FilterTargetToSource);
        QCOMPARE(checkColumn(CommandId::FilterTargetToSource), active);
        QVERIFY(checkColumn(CommandId::FilterUnequal) != active);
        view->close();
    }

    void eachFilterShowsItsPairs_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("alle Dateien") << int(CommandId::FilterAll)
                                      << QStringList{"[]", "both.txt", "eq.txt", "s.txt", "t.txt", "[]", "X/x1.txt"};
        QTest::newRow("nur ungleiche") << int(CommandId::FilterUnequal)
                                       << QStringList{"[]", "both.txt", "s.txt", "t.txt", "[]", "X/x1.txt"};
        QTest::newRow("Quelle nach Ziel") << int(CommandId::FilterSourceToTarget)
                                          << QStringList{"[]", "both.txt", "s.txt"};
        QTest::newRow("Ziel nach Quelle") << int(CommandId::FilterTargetToSource)
                                          << QStringList{"[]", "t.txt", "[]", "X/x1.txt"};
        QTest::newRow("gleiche") << int(CommandId::FilterEqual) << QStringList{"[]", "eq.txt"};
    }

    void eachFilterShowsItsPairs() {
        QFETCH(int, command);
        QFETCH(QStringList, rows);
        TempDir dir;
        MakeTrees(dir);
        Window w;
        w.Compare(dir / "q", dir / "z");
        // Nothing is scanned again: a file removed since still shows.
        std::filesystem::remove(dir / "q/s.txt");
        w.prompts.log.clear();
        const auto id = static_cast<CommandId>(command);
        w.frame.actions().action(id)->trigger();
        QCOMPARE(Listed(w), rows);
        QCOMPARE(w.prompts.log, QStringList{"beep"});
        for (CommandId other : kFilters) {
            QCOMPARE(w.frame.actions().action(other)->isChecked(), other == id);
            QCOMPARE(w.frame.toolBar()->widgetForAction(w.frame.actions().action(other))->property("checked").toBool(),
                     other == id);
        }
        for (int row = 0; row < w.rowCount(); ++row) {
            const bool equal = w.model()->cellText(row, 4) == "=";
            if (w.State(row) != ResultRows::kFolder) QCOMPARE(w.State(row), equal ? 4 : 2);
        }
    }

    void theActiveFilterAgainRebuildsAndBeeps() {
        TempDir dir;
        MakeTrees(dir);
        Window w;
        w.SetOption(Option::Beep, false);
        w.Compare(dir / "q", dir / "z");
        QVERIFY(w.prompts.log.isEmpty());
        w.model()->ToggleMark(1);
        w.view()->selectionModel()->select(w.model()->index(2, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(w.frame.actions().action(CommandId::EditCopy)->isEnabled());
        w.SetOption(Option::Beep, true);
        w.Command(CommandId::FilterUnequal);
        QCOMPARE(w.State(1), ResultRows::kMarked);
        QVERIFY(w.view()->selectedRows().empty());
        QVERIFY(!w.frame.actions().action(CommandId::EditCopy)->isEnabled());
        QCOMPARE(w.prompts.log, QStringList{"beep"});
    }

    void theFilterLastsOverComparisons() {
        TempDir dir;
        MakeTrees(dir);
        Window w;
        w.Command(CommandId::FilterEqual);
        w.Compare(dir / "q", dir / "z");
        QCOMPARE(Listed(w), (QStringList{"[]", "eq.txt"}));
        QVERIFY(w.frame.actions().action(CommandId::FilterEqual)->isChecked());
    }
};

QTEST_MAIN(FilterCommandsTest)
#include "filter_commands_qtest.moc"
