// "Nach rechts kopieren", "Nach links kopieren" and conflict rows, driven
// through the window's commands on real trees with a recording service and
// scripted questions; last, the real service's newer-destination warning.
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>
#include <QtTest>
#include <string>

#include "file_operations_fixture.h"
#include "app/qt/message_box_prompts.h"
#include "fileops/qt/dialog_answerer.h"

using namespace kirvo;
using namespace kirvo::test;

namespace {

// a: --->, d: <---, neu/c: source only, alt/e: target only, g: equal.
Bench FiveRows() {
    return Bench({{"a.txt", kNew}, {"neu/c.txt", kNew}, {"d.txt", kOld}, {"g.txt", kOld}},
                 {{"a.txt", kOld}, {"d.txt", kNew}, {"alt/e.txt", kNew}, {"g.txt", kOld}});
}

// f.txt: same time, other size (a conflict when sizes count); a.txt: --->.
Bench WithConflict() {
    return Bench({{"a.txt", kNew}, {"f.txt", kOld, "kurz"}}, {{"a.txt", kOld}, {"f.txt", kOld, "etwas länger"}});
}

}  // namespace

class DirectedCopyTest : public QObject {
    Q_OBJECT

private slots:
    void copiesTheSelectedRowsOneWayWhateverTheirArrows_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("copy");
        QTest::addColumn<QString>("note");
        QTest::newRow("Nach rechts") << int(CommandId::CopyToTarget)
                                     << "copy 0x81: Q/a.txt -> Z/a.txt, Q/d.txt -> Z/d.txt, Q/g.txt -> Z/g.txt, Q/neu/c.txt -> Z/neu/c.txt"
                                     << "1 übergangen: in der Quelle fehlt die Datei („alt/e.txt“).";
        QTest::newRow("Nach links") << int(CommandId::CopyToSource)
                                    << "copy 0x81: Z/a.txt -> Q/a.txt, Z/d.txt -> Q/d.txt, Z/g.txt -> Q/g.txt, "
                                       "Z/alt/e.txt -> Q/alt/e.txt"
                                    << "1 übergangen: im Ziel fehlt die Datei („neu/c.txt“).";
    }
    void copiesTheSelectedRowsOneWayWhateverTheirArrows() {
        QFETCH(int, command);
        QFETCH(QString, copy);
        QFETCH(QString, note);
        Bench b = FiveRows();
        b.w.Command(CommandId::FilterAll);
        b.log.clear();
        // Every kind of row selected, the folder row as well; an unmarked row counts too.
        b.w.model()->ToggleMark(b.w.RowOf("a.txt"));
        b.Select({0, b.w.RowOf("a.txt"), b.w.RowOf("c.txt"), b.w.RowOf("d.txt"), b.w.RowOf("e.txt"),
                  b.w.RowOf("g.txt")});
        b.w.Command(static_cast<CommandId>(command));
        QCOMPARE(b.log, (QStringList{copy, "beep"}));
        QCOMPARE(b.w.frame.messagePane()->text(), note);

        // Options reach the request as for "Kopieren".
        b.log.clear();
        b.w.SetOption(Option::VorUeberschreiben, false);
        b.w.SetOption(Option::VorDir, false);
        b.Select({b.w.RowOf("g.txt")});
        b.w.Command(static_cast<CommandId>(command));
        QCOMPARE(b.log.first(), command == int(CommandId::CopyToTarget) ? "copy 0x291: Q/g.txt -> Z/g.txt"
                                                                        : "copy 0x291: Z/g.txt -> Q/g.txt");
    }

    void aConflictIsShownUnmarkedPassedOverAndResolvedInTwoClicks() {
        Bench b = WithConflict();
        QCOMPARE(b.w.RowOf("f.txt"), -1);  // equal by time: not under "nur ungleiche Dateien"
        b.w.Command(CommandId::CompareByTimeAndSize);  // a result is shown: compares again
        const int f = b.w.RowOf("f.txt");
        QVERIFY(f > 0);
        QCOMPARE(b.w.State(f), ResultRows::kConflict);
        QCOMPARE(b.w.model()->cellText(f, 4), "<?>");
        // The reason as the row's tool tip.
        b.w.ShowWithFocusInList();
        const QRect cell = b.w.view()->visualRect(b.w.model()->index(f, 4));
        QHelpEvent help(QEvent::ToolTip, cell.center(), b.w.view()->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(b.w.view()->viewport(), &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), "Konflikt: Gleiche Änderungszeit, aber verschiedene Größe.");
        QToolTip::hideText();
        // The direction filters leave it out.
        b.w.Command(CommandId::FilterSourceToTarget);
        QCOMPARE(b.w.RowOf("f.txt"), -1);
        b.w.Command(CommandId::FilterTargetToSource);
        QCOMPARE(b.w.RowOf("f.txt"), -1);
        b.w.Command(CommandId::FilterUnequal);

        // "Dateien abgleichen" passes it over.
        b.log.clear();
        b.prompts.answers = {true};
        b.w.Command(CommandId::Synchronize);
        QCOMPARE(b.log, (QStringList{"beep?", "ask: Es wird 1 Datei von Quelle nach Ziel kopiert !",
                                     "copy 0x81: Q/a.txt -> Z/a.txt", "beep"}));

        // "Kopieren" asks which way; skipping copies the rest only.
        b.log.clear();
        b.Select({b.w.RowOf("a.txt"), b.w.RowOf("f.txt")});
        b.w.Command(CommandId::EditCopy);
        const QString question = "which way: „f.txt“ hat keine Richtung (Konflikt: Gleiche Änderungszeit, aber "
                                 "verschiedene Größe.)\n\nIn welche Richtung soll die Datei kopiert werden?";
        QCOMPARE(b.log, (QStringList{"beep?", question, "copy 0x81: Q/a.txt -> Z/a.txt", "beep"}));
        b.log.clear();
        b.prompts.directions = {ConflictChoice::ToSource};
        b.Select({b.w.RowOf("a.txt"), b.w.RowOf("f.txt")});
        b.w.Command(CommandId::EditCopy);
        QCOMPARE(b.log, (QStringList{"beep?", question, "copy 0x81: Q/a.txt -> Z/a.txt, Z/f.txt -> Q/f.txt", "beep"}));

        // Or: select it, "Nach rechts kopieren".
        b.log.clear();
        b.Select({b.w.RowOf("f.txt")});
        b.w.Command(CommandId::CopyToTarget);
        QCOMPARE(b.log, (QStringList{"copy 0x81: Q/f.txt -> Z/f.txt", "beep"}));
    }

    void theDirectionQuestionOnScreenSkipsByEnter() {
        Bench b = WithConflict();
        b.w.Command(CommandId::CompareByContent);
        b.log.clear();
        MessageBoxPrompts boxes(b.w.view());
        b.w.controller()->setUserPrompts(&boxes);
        b.w.SetOption(Option::Beep, false);
        DialogAnswerer dialogs({"<Enter>", "Nach links kopieren"});
        for (int i = 0; i < 2; ++i) {
            b.Select({b.w.RowOf("f.txt")});
            b.w.Command(CommandId::EditCopy);
        }
        QCOMPARE(dialogs.seen.size(), size_t(2));
        QCOMPARE(dialogs.seen[0].title, "Kirvo");
        QCOMPARE(dialogs.seen[0].icon, QMessageBox::Question);
        QCOMPARE(dialogs.seen[0].buttons, (QStringList{"Nach links kopieren", "Nach rechts kopieren", "Überspringen"}));
        QCOMPARE(dialogs.seen[0].defaultButton, "Überspringen");
        QCOMPARE(b.log, (QStringList{"copy 0x81: Z/f.txt -> Q/f.txt"}));
        b.w.controller()->setUserPrompts(nullptr);
    }

    void theRealServiceWarnsWhenTheDestinationIsNewer() {
        TempDir dir;
        MakeTree(dir / "q", {{"d.txt", kOld, "alt"}});
        MakeTree(dir / "z", {{"d.txt", kNew, "neu"}});
        Window w;
        w.SetOption(Option::VorUeberschreiben, true);
        w.SetOption(Option::Beep, false);
        w.Compare(dir / "q", dir / "z");
        w.view()->selectionModel()->select(w.model()->index(w.RowOf("d.txt"), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        DialogAnswerer dialogs({"Nein"});
        w.Command(CommandId::CopyToTarget);
        QCOMPARE(dialogs.seen.size(), size_t(1));
        QVERIFY2(dialogs.seen[0].text.contains("Achtung: Die vorhandene Datei ist neuer als die neue Datei."),
                 qPrintable(dialogs.seen[0].text));
        QCOMPARE(ReadFile(dir / "z/d.txt"), "neu");
    }
};

QTEST_MAIN(DirectedCopyTest)
#include "directed_copy_qtest.moc"
