// Synchronise, Copy, Delete, "Alles markieren" and the context menu, driven
// through the window on real trees with a recording file-operation service and
// scripted questions: the exact requests, flags, order, and the comparison run
// again afterwards. Last, the real service brings two trees into line.
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>
#include <QToolButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "file_operations_fixture.h"
#include "app/qt/log_dialog.h"
#include "app/qt/notice_bar.h"
#include "app/qt/path_bar.h"
#include "app/snapshot_save.h"
#include "platform/directory_lister.h"
#include "platform/root.h"
#include "app/qt/message_box_prompts.h"
#include "fileops/operation_log.h"
#include "fileops/qt/dialog_answerer.h"
#include "support/ssh_server.h"

using namespace kirvo;
using namespace kirvo::test;

namespace {

// Three rows for the source side, two for the target side, one equal.
Bench ThreeAndTwo() {
    return Bench({{"a.txt", kNew}, {"b.txt", kNew}, {"neu/c.txt", kNew}, {"d.txt", kOld}, {"g.txt", kOld}},
                 {{"a.txt", kOld}, {"b.txt", kOld}, {"d.txt", kNew}, {"alt/e.txt", kNew}, {"g.txt", kOld}});
}

// Counts the folders listed whole; looking at single names is not counted.
class CountingLister final : public DirectoryLister {
public:
    CountingLister(std::unique_ptr<DirectoryLister> real, int& whole) : real_(std::move(real)), whole_(whole) {}
    ListingStatus OpenRoot(const std::string& root) override { return real_->OpenRoot(root); }
    int AutomaticInFlight() const override { return real_->AutomaticInFlight(); }
    void SetInFlight(int count) override { real_->SetInFlight(count); }
    void Start(const Request& request, ListingReceiver& receiver) override {
        if (request.names == nullptr) ++whole_;
        real_->Start(request, receiver);
    }
    TimeRange StorableTimes() const override { return real_->StorableTimes(); }
    bool LooksAtNamesAlone() const override { return real_->LooksAtNamesAlone(); }

private:
    std::unique_ptr<DirectoryLister> real_;
    int& whole_;
};

const QString kAskToTarget3 = "ask: Es werden 3 Dateien von Quelle nach Ziel kopiert !";
const QString kAskToSource2 = "ask: Es werden 2 Dateien von Ziel nach Quelle kopiert !";
const QString kCopyToTarget = "copy 0x81: Q/a.txt -> Z/a.txt, Q/b.txt -> Z/b.txt, Q/neu/c.txt -> Z/neu/c.txt";
const QString kCopyToSource = "copy 0x81: Z/d.txt -> Q/d.txt, Z/alt/e.txt -> Q/alt/e.txt";

}  // namespace

class FileOperationsTest : public QObject {
    Q_OBJECT

private slots:
    void synchroniseAsksPerDirectionThenCopies_data() {
        QTest::addColumn<bool>("toTarget");
        QTest::addColumn<bool>("toSource");
        QTest::addColumn<QStringList>("copies");
        QTest::newRow("both") << true << true << QStringList{kCopyToTarget, kCopyToSource};
        QTest::newRow("Cancel, then OK") << false << true << QStringList{kCopyToSource};
        QTest::newRow("OK, then Cancel") << true << false << QStringList{kCopyToTarget};
        QTest::newRow("neither") << false << false << QStringList{};
    }
    void synchroniseAsksPerDirectionThenCopies() {
        QFETCH(bool, toTarget);
        QFETCH(bool, toSource);
        QFETCH(QStringList, copies);
        Bench b = ThreeAndTwo();
        b.prompts.answers = {toTarget, toSource};
        b.w.Command(CommandId::Synchronize);
        // Both questions before any copy; the comparison runs again on every path.
        QCOMPARE(b.log, QStringList({"beep?", kAskToTarget3, "beep?", kAskToSource2}) + copies + QStringList{"beep"});
    }

    void synchroniseFollowsTheMarksAndTheOptions_data() {
        QTest::addColumn<bool>("vorUeberschreiben");
        QTest::addColumn<bool>("vorDir");
        QTest::addColumn<bool>("beep");
        QTest::addColumn<QString>("flags");
        QTest::newRow("both questions") << true << true << true << "0x81";
        QTest::newRow("no overwrite question") << false << true << false << "0x91";
        QTest::newRow("no folder question") << true << false << true << "0x281";
        QTest::newRow("no questions") << false << false << false << "0x291";
    }
    void synchroniseFollowsTheMarksAndTheOptions() {
        QFETCH(bool, vorUeberschreiben);
        QFETCH(bool, vorDir);
        QFETCH(bool, beep);
        QFETCH(QString, flags);
        Bench b = ThreeAndTwo();
        b.w.SetOption(Option::VorUeberschreiben, vorUeberschreiben);
        b.w.SetOption(Option::VorDir, vorDir);
        b.w.SetOption(Option::Beep, beep);
        // Unmarked rows stay out even when selected; the marks decide.
        const int b_row = b.w.RowOf("b.txt");
        const int d_row = b.w.RowOf("d.txt");
        b.w.model()->ToggleMark(b_row);
        b.w.model()->ToggleMark(d_row);
        b.Select({b_row, d_row});
        b.prompts.answers = {true, true};
        b.w.Command(CommandId::Synchronize);
        QStringList expected;
        if (beep) expected << "beep?";
        expected << "ask: Es werden 2 Dateien von Quelle nach Ziel kopiert !";
        if (beep) expected << "beep?";
        expected << "ask: Es wird 1 Datei von Ziel nach Quelle kopiert !"
                 << "copy " + flags + ": Q/a.txt -> Z/a.txt, Q/neu/c.txt -> Z/neu/c.txt"
                 << "copy " + flags + ": Z/alt/e.txt -> Q/alt/e.txt";
        if (beep) expected << "beep";
        QCOMPARE(b.log, expected);
        // The list was rebuilt: marks back at their defaults, no selection.
        QVERIFY(b.AllUnequalMarked());
        QCOMPARE(b.SelectedRows(), QList<int>{});
    }

    void synchroniseWithNothingMarkedOnlyComparesAgain() {
        Bench b = ThreeAndTwo();
        for (int row = 0; row < b.w.rowCount(); ++row) {
            if (b.w.State(row) == ResultRows::kMarked) b.w.model()->ToggleMark(row);
        }
        b.w.Command(CommandId::Synchronize);
        QCOMPARE(b.log, QStringList{"beep"});
        QVERIFY(b.AllUnequalMarked());

        // Only one direction marked: only its question.
        b.w.model()->ToggleMark(b.w.RowOf("a.txt"));
        b.w.model()->ToggleMark(b.w.RowOf("b.txt"));
        b.w.model()->ToggleMark(b.w.RowOf("c.txt"));
        b.log.clear();
        b.prompts.answers = {true};
        b.w.Command(CommandId::Synchronize);
        QCOMPARE(b.log, (QStringList{"beep?", kAskToSource2, kCopyToSource, "beep"}));
    }

    void synchroniseCopiesBetweenTheComparedTrees() {
        // Another path typed since: the copy still goes between the compared
        // trees; the comparison afterwards uses the new path.
        Bench b = ThreeAndTwo();
        MakeTree(b.dir / "anders", {{"x.txt", kOld}});
        b.w.pathBar()->setText(PathBar::Side::Target, QString::fromStdString(b.dir / "anders"));
        b.prompts.answers = {true, false};
        b.w.Command(CommandId::Synchronize);
        QCOMPARE(b.log, (QStringList{"beep?", kAskToTarget3, "beep?", kAskToSource2, kCopyToTarget, "beep"}));
        QVERIFY(b.w.RowOf("x.txt") > 0);
    }

    void copySelectedIsOneRequestInListOrder() {
        Bench b = ThreeAndTwo();
        b.w.Command(CommandId::FilterAll);
        b.log.clear();
        // A selected row that is unmarked is copied; a marked one not selected is not;
        // the equal row and the folder row are skipped.
        const int d_row = b.w.RowOf("d.txt");
        b.w.model()->ToggleMark(d_row);
        b.Select({b.w.RowOf("e.txt"), d_row, b.w.RowOf("g.txt"), b.w.RowOf("a.txt"), 0});
        b.w.SetOption(Option::VorDir, false);
        b.w.Command(CommandId::EditCopy);
        QCOMPARE(b.log, (QStringList{"copy 0x281: Q/a.txt -> Z/a.txt, Z/d.txt -> Q/d.txt, Z/alt/e.txt -> Q/alt/e.txt",
                                     "beep"}));
        QCOMPARE(b.SelectedRows(), QList<int>{});

        // Only equal rows selected: no request, but the comparison runs again.
        b.log.clear();
        b.Select({b.w.RowOf("g.txt")});
        b.w.Command(CommandId::EditCopy);
        QCOMPARE(b.log, QStringList{"beep"});

        // Nothing selected: the handler returns at once, without comparing again.
        b.log.clear();
        QVERIFY(b.w.controller()->OnCommand(CommandId::EditCopy));
        QVERIFY(b.w.controller()->OnCommand(CommandId::DeleteSelected));
        QCOMPARE(b.log, QStringList{});
    }

    void deleteSelectedRemovesSourceFilesThenTargetFiles_data() {
        QTest::addColumn<bool>("vorLoeschen");
        QTest::addColumn<bool>("papierkorb");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("equal, one-sided, folder row")
            << true << true << QStringList{"g.txt", "c.txt", "e.txt", "<folder>"}
            << QStringList{"delete 0xc0: Q/g.txt, Q/neu/c.txt", "delete 0xc0: Z/g.txt, Z/alt/e.txt"};
        QTest::newRow("no question") << false << true << QStringList{"a.txt"}
                                     << QStringList{"delete 0xd0: Q/a.txt", "delete 0xd0: Z/a.txt"};
        QTest::newRow("target files only") << true << true << QStringList{"e.txt"}
                                           << QStringList{"delete 0xc0: Z/alt/e.txt"};
        QTest::newRow("for good") << true << false << QStringList{"a.txt"}
                                  << QStringList{"delete 0x80: Q/a.txt", "delete 0x80: Z/a.txt"};
    }
    void deleteSelectedRemovesSourceFilesThenTargetFiles() {
        QFETCH(bool, vorLoeschen);
        QFETCH(bool, papierkorb);
        QFETCH(QStringList, names);
        QFETCH(QStringList, requests);
        Bench b = ThreeAndTwo();
        b.w.Command(CommandId::FilterAll);
        b.w.SetOption(Option::VorLoeschen, vorLoeschen);
        b.w.SetOption(Option::Papierkorb, papierkorb);
        b.log.clear();
        for (const QString& name : names) b.Select({name == "<folder>" ? 0 : b.w.RowOf(name)});
        b.w.Command(CommandId::DeleteSelected);
        QCOMPARE(b.log, requests + QStringList{"beep"});
    }

    void selectAllSelectsFileRowsOnly() {
        Bench b = ThreeAndTwo();
        b.w.Command(CommandId::FilterAll);
        const int a_row = b.w.RowOf("a.txt");
        b.w.model()->ToggleMark(a_row);
        QList<int> folders;
        for (int row = 0; row < b.w.rowCount(); ++row) {
            if (b.w.State(row) == ResultRows::kFolder) folders << row;
        }
        QVERIFY(folders.size() >= 3);
        b.Select({folders[1]});  // a selected folder row stays selected
        std::vector<int> statesBefore;
        for (int row = 0; row < b.w.rowCount(); ++row) statesBefore.push_back(b.w.State(row));
        b.w.frame.outputBar()->setFieldText(OutputBar::kSourceSelection, "unberührt");
        b.log.clear();

        b.w.Command(CommandId::SelectAll);
        QList<int> expected;
        for (int row = 0; row < b.w.rowCount(); ++row) {
            if (b.w.State(row) != ResultRows::kFolder || row == folders[1]) expected << row;
        }
        QCOMPARE(b.SelectedRows(), expected);
        std::vector<int> statesAfter;
        for (int row = 0; row < b.w.rowCount(); ++row) statesAfter.push_back(b.w.State(row));
        QVERIFY(statesAfter == statesBefore);
        QCOMPARE(b.w.Field(OutputBar::kSourceSelection), "unberührt");
        QCOMPARE(b.log, QStringList{});

        // Then "Kopieren" copies every listed unequal file, each in its direction.
        b.w.Command(CommandId::EditCopy);
        QCOMPARE(b.log, (QStringList{"copy 0x81: Q/a.txt -> Z/a.txt, Q/b.txt -> Z/b.txt, Z/d.txt -> Q/d.txt, "
                                     "Z/alt/e.txt -> Q/alt/e.txt, Q/neu/c.txt -> Z/neu/c.txt",
                                     "beep"}));
    }

    void contextMenuItemsFollowTheUpdateRules_data() {
        QTest::addColumn<bool>("compared");
        QTest::addColumn<bool>("selection");
        QTest::addColumn<QStringList>("items");
        // Pointed at: nothing (empty list) or the roots' folder row, which can
        // be opened, shown and copied, but is no file and cannot be left out.
        const QStringList noItem{"|", "-Dateien vergleichen", "-Öffnen", "-Im Dateimanager zeigen", "-Pfad kopieren",
                                 "|", "-Ausschließen"};
        const QStringList rootsRow{"|", "-Dateien vergleichen", "+Öffnen", "+Im Dateimanager zeigen", "+Pfad kopieren",
                                   "|", "-Ausschließen"};
        QTest::newRow("empty list") << false << false
                                    << QStringList{"-Kopieren", "-Löschen", "|", "-Alles markieren", "|",
                                                   "-Nach rechts kopieren", "-Nach links kopieren"} + noItem;
        QTest::newRow("rows, no selection") << true << false
                                            << QStringList{"-Kopieren", "-Löschen", "|", "+Alles markieren", "|",
                                                           "-Nach rechts kopieren", "-Nach links kopieren"} + rootsRow;
        QTest::newRow("selection") << true << true
                                   << QStringList{"+Kopieren", "+Löschen", "|", "+Alles markieren", "|",
                                                  "+Nach rechts kopieren", "+Nach links kopieren"} + rootsRow;
    }
    void contextMenuItemsFollowTheUpdateRules() {
        QFETCH(bool, compared);
        QFETCH(bool, selection);
        QFETCH(QStringList, items);
        Bench b = ThreeAndTwo();
        if (!compared) {
            b.w.pathBar()->setText(PathBar::Side::Source, QString::fromStdString(b.dir / "leer1"));
            b.w.pathBar()->setText(PathBar::Side::Target, QString::fromStdString(b.dir / "leer2"));
            MakeDirs(b.dir / "leer1");
            MakeDirs(b.dir / "leer2");
            b.w.Command(CommandId::PfadeVergleichen);
            QCOMPARE(b.w.rowCount(), 0);
        }
        if (selection) b.Select({b.w.RowOf("a.txt")});
        QStringList seen;
        QPoint shownAt;
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            shownAt = menu->pos();
            for (QAction* action : menu->actions()) {
                seen << (action->isSeparator() ? QStringLiteral("|")
                                               : (action->isEnabled() ? "+" : "-") + action->text());
            }
            menu->close();
        });
        const QPoint at(120, 80);
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), at);
        QApplication::sendEvent(b.w.view()->viewport(), &event);
        QCOMPARE(seen, items);
        QCOMPARE(shownAt, at);
    }

    void contextMenuItemRunsItsCommand() {
        Bench b = ThreeAndTwo();
        b.Select({b.w.RowOf("a.txt")});
        QTimer::singleShot(50, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions()) {
                if (action->text() == "Löschen") menu->setActiveAction(action);
            }
            QTest::keyClick(menu, Qt::Key_Return);
        });
        b.w.view()->OnContextMenu(nullptr, QPoint(10, 10));
        b.w.WaitForComparison();
        QCOMPARE(b.log, (QStringList{"delete 0xc0: Q/a.txt", "delete 0xc0: Z/a.txt", "beep"}));
    }

    void acceleratorsReachTheCommands() {
        Bench b = ThreeAndTwo();
        b.w.ShowWithFocusInList();
        struct Key {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            QString request;
        };
        for (const Key& k : {Key{Qt::Key_C, Qt::ControlModifier, "copy 0x81: Q/a.txt -> Z/a.txt"},
                             Key{Qt::Key_Insert, Qt::ControlModifier, "copy 0x81: Q/a.txt -> Z/a.txt"},
                             Key{Qt::Key_Delete, Qt::NoModifier, "delete 0xc0: Q/a.txt"}}) {
            b.log.clear();
            b.Select({b.w.RowOf("a.txt")});
            b.w.Key(k.key, k.modifiers);
            QVERIFY2(!b.log.isEmpty(), qPrintable(k.request));
            QCOMPARE(b.log.first(), k.request);
        }
        // Ctrl+A is "Alles markieren": folder rows stay unselected.
        b.w.view()->clearSelection();
        b.w.Key(Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!b.SelectedRows().isEmpty());
        QVERIFY(!b.SelectedRows().contains(0));
        QCOMPARE(b.SelectedRows().size(), b.w.rowCount() - 3);
    }

    void noSecondOperationStartsInsideTheFirst() {
        // The service's dialogs run the event loop; a command that arrives
        // meanwhile (here: asked for from inside the request) is not started.
        Bench b = ThreeAndTwo();
        b.Select({b.w.RowOf("a.txt")});
        struct Reentering : RecordingService {
            using RecordingService::RecordingService;
            WindowController* controller = nullptr;
            OperationResult copy(std::span<const CopyPair> pairs, const CopyFlags& flags) override {
                controller->OnCommand(CommandId::DeleteSelected);
                controller->OnCommand(CommandId::EditCopy);
                controller->OnCommand(CommandId::Synchronize);
                return RecordingService::copy(pairs, flags);
            }
        } service(b.log, b.dir / "q", b.dir / "z");
        service.controller = b.w.controller();
        b.w.controller()->setFileOperationService(&service);
        b.w.Command(CommandId::EditCopy);
        QCOMPARE(b.log, (QStringList{"copy 0x81: Q/a.txt -> Z/a.txt", "beep"}));
    }

    void onScreenOneQuestionShowsThePlan() {
        // On screen the count questions are one dialog: a part per direction
        // with its count, new and replaced files and bytes, opening to its
        // files; a part without its tick is declined on its own, Escape
        // leaves everything. The plan named each file, so replacing asks no more.
        Bench b = ThreeAndTwo();
        MessageBoxPrompts boxes(b.w.view());
        b.w.controller()->setUserPrompts(&boxes);
        b.w.SetOption(Option::Beep, false);
        QStringList parts;
        int dialogs = 0;
        bool untickFirst = true;
        QTimer poll;
        poll.setInterval(5);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal->objectName() != "syncPlanDialog" || modal->property("answered").toBool()) return;
            modal->setProperty("answered", true);
            ++dialogs;
            auto* tree = modal->findChild<QTreeWidget*>("planParts");
            parts.clear();
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                parts << tree->topLevelItem(i)->text(0) + " | " + QString::number(tree->topLevelItem(i)->childCount());
            if (!untickFirst) {
                QTest::keyClick(modal, Qt::Key_Escape);
                return;
            }
            tree->setFocus();
            QTest::keyClick(tree, Qt::Key_Space);  // the current part: the first
            QCOMPARE(tree->topLevelItem(0)->checkState(0), Qt::Unchecked);
            for (QPushButton* button : modal->findChildren<QPushButton*>())
                if (button->text() == "&Abgleichen") QTest::mouseClick(button, Qt::LeftButton);
        });
        poll.start();
        b.w.Command(CommandId::Synchronize);
        QCOMPARE(dialogs, 1);
        QCOMPARE(parts.size(), 4);
        QVERIFY2(parts[0].startsWith("Es werden 3 Dateien von Quelle nach Ziel kopiert ! (1 neu, 2 ersetzt, "), qPrintable(parts[0]));
        QVERIFY2(parts[0].endsWith(" | 3"), qPrintable(parts[0]));
        QVERIFY2(parts[1].startsWith("Es werden 2 Dateien von Ziel nach Quelle kopiert ! (1 neu, 1 ersetzt, "), qPrintable(parts[1]));
        // The folders the copies make are named with their side.
        QCOMPARE(parts.mid(2), (QStringList{"In der Quelle: 1 Ordner wird angelegt. | 1", "Im Ziel: 1 Ordner wird angelegt. | 1"}));
        QCOMPARE(b.log, QStringList{kCopyToSource});
        untickFirst = false;
        b.log.clear();
        b.w.Command(CommandId::Synchronize);
        QCOMPARE(dialogs, 2);
        QCOMPARE(b.log, QStringList{});
        b.w.controller()->setUserPrompts(nullptr);
    }

    void realServiceDeletesAfterAskingPerSide() {
        // "Alles markieren", then "Löschen" with vorLoeschen on: one question per
        // side, naming side and files, before anything goes into the trash;
        // declining the second keeps the target files.
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt", kNew}, {"sub/b.txt", kOld}, {"g.txt", kOld}});
        MakeTree(dir / "z", {{"a.txt", kOld}, {"g.txt", kOld}});
        Window w;
        w.SetOption(Option::VorLoeschen, true);
        w.Compare(dir / "q", dir / "z");
        w.Command(CommandId::FilterAll);
        w.Command(CommandId::SelectAll);
        DialogAnswerer dialogs({"Ja", "Nein"});
        w.Command(CommandId::DeleteSelected);
        QCOMPARE(dialogs.seen.size(), size_t(2));
        QCOMPARE(dialogs.seen[0].text, "Sollen die 3 Dateien in der Quelle in den Papierkorb verschoben werden?\n\n"
                                       "„a.txt“\n„g.txt“\n„sub/b.txt“");
        QCOMPARE(dialogs.seen[1].text, "Sollen die 2 Dateien im Ziel in den Papierkorb verschoben werden?\n\n"
                                       "„a.txt“\n„g.txt“");
        QVERIFY(!std::filesystem::exists(dir / "q/a.txt"));
        QCOMPARE(ReadFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/b.txt"), "x");
        QVERIFY(!std::filesystem::exists(dir / "q/sub/b.txt"));
        QVERIFY(std::filesystem::exists(dir / "q/sub"));  // folders are never deleted
        QCOMPARE(ReadFile(dir / "z/a.txt"), "x");
        // The list shows what is left: two target-only rows under the root.
        QCOMPARE(w.rowCount(), 3);
        QCOMPARE(w.model()->cellText(1, 4), "<---");
        QCOMPARE(w.model()->cellText(2, 4), "<---");
        QCOMPARE(w.frame.messagePane()->text(), "3 in den Papierkorb, 2 nicht gelöscht");
    }

    void aFailureLinksToTheLog() {
        // The target has a file where the copy needs a folder: the copy fails,
        // is skipped, and the summary links to the log.
        TempDir dir;
        MakeTree(dir / "q", {{"sub/b.txt", kNew}});
        MakeTree(dir / "z", {{"sub", kOld}});
        Window w;
        w.SetOption(Option::VorDir, false);
        w.Compare(dir / "q", dir / "z");
        w.ShowWithFocusInList();
        w.view()->selectionModel()->select(w.model()->index(w.RowOf("b.txt"), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        DialogAnswerer dialogs({"Überspringen"});
        w.Key(Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(dialogs.seen.size(), size_t(1));
        QCOMPARE(w.frame.messagePane()->text(), "1 fehlgeschlagen –");
        QCOMPARE(w.frame.outputBar()->summary(), "1 fehlgeschlagen –");
        QLabel* link = w.frame.logLink();
        QVERIFY(link->isVisible());
        QString opened;
        QTimer::singleShot(0, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->windowTitle();
                modal->close();
            }
        });
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QCOMPARE(opened, "Kirvo – Protokoll");
    }

    void realServiceKeepsAFileChangedSinceTheComparison() {
        // Compare, change a target file, select its row, press Entf, agree to
        // both questions: the changed file is asked about (file, side, change),
        // and Enter keeps it; its unchanged source goes into the trash.
        TempDir dir;
        MakeTree(dir / "q", {{"f.txt", kOld, "q"}});
        MakeTree(dir / "z", {{"f.txt", kNew, "z"}});
        Window w;
        w.SetOption(Option::VorLoeschen, true);
        w.Compare(dir / "q", dir / "z");
        WriteFile(dir / "z/f.txt", "new work since", kNew + 60);
        w.ShowWithFocusInList();
        w.view()->selectionModel()->select(w.model()->index(w.RowOf("f.txt"), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        DialogAnswerer dialogs({"Ja", "Ja", "<Enter>"});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        QCOMPARE(dialogs.seen.size(), size_t(3));
        QCOMPARE(dialogs.seen[0].text, "Soll „f.txt“ in der Quelle in den Papierkorb verschoben werden?");
        QCOMPARE(dialogs.seen[1].text, "Soll „f.txt“ im Ziel in den Papierkorb verschoben werden?");
        const QString changed = dialogs.seen[2].text;
        QVERIFY2(changed.startsWith(QString::fromStdString("Die Datei „" + dir / "z/f.txt" +
                                                           "“ im Ziel wurde seit dem Vergleich geändert.")),
                 qPrintable(changed));
        QVERIFY2(changed.contains("Beim Vergleich: 1 Byte, geändert am") && changed.contains("Jetzt: 14 Bytes"),
                 qPrintable(changed));
        QCOMPARE(dialogs.seen[2].defaultButton, "Nein");
        QCOMPARE(ReadFile(dir / "z/f.txt"), "new work since");
        QVERIFY(!std::filesystem::exists(dir / "q/f.txt"));
        QCOMPARE(ReadFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files/f.txt"), "q");
    }

    void synchroniseAndCopyRefuseNestedRoots() {
        // kirvo S S/inner: comparing is fine, copying would nest the tree once more per run.
        TempDir dir;
        MakeTree(dir / "S", {{"a.txt", kNew}, {"inner/b.txt", kOld}});
        QStringList log;
        Window w;
        ScriptedPrompts prompts(log);
        RecordingService service(log, dir / "S", dir / "S/inner");
        w.controller()->setUserPrompts(&prompts);
        w.controller()->setFileOperationService(&service);
        w.SetOption(Option::Beep, false);
        w.Compare(dir / "S", dir / "S/inner");
        QVERIFY(w.rowCount() > 0);
        const QString refusal = QString::fromStdString("warn: Das Ziel „" + dir / "S/inner/" + "“ liegt im Quellordner „" +
                                                       dir / "S/" + "“; so lassen sich die Bäume nie abgleichen. "
                                                       "Vergleichen geht, kopiert wird nichts.");
        w.Command(CommandId::Synchronize);
        QCOMPARE(log, QStringList{refusal});
        log.clear();
        w.view()->selectionModel()->select(w.model()->index(w.RowOf("a.txt"), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w.Command(CommandId::EditCopy);
        QCOMPARE(log, QStringList{refusal});
        w.controller()->setUserPrompts(nullptr);
    }

    // A snapshot opened from the "..." button's menu is compared like a
    // folder; what would copy into or out of it, or delete in it, rests with a
    // message, while a file beside it may still go.
    void aSnapshotSideIsComparedButNeverWrittenOrRead() {
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt", kOld, "a"}, {"b.txt", kOld, "b"}});
        std::optional<Root> folder = Root::Parse(dir / "q");
        folder->Inspect();
        const std::string file = dir / "s.kirvo-snapshot";
        QVERIFY(SnapshotSave::Run(*folder, file, {}).outcome == SnapshotSaveResult::Outcome::Saved);
        WriteFile(dir / "q/a.txt", "neu", kNew);
        WriteFile(dir / "q/neu.txt", "n", kNew);
        QStringList log;
        Window w;
        ScriptedPrompts prompts(log);
        RecordingService service(log, dir / "q", dir / "s");
        w.controller()->setUserPrompts(&prompts);
        w.controller()->setFileOperationService(&service);
        w.SetOption(Option::Beep, false);
        w.SetOption(Option::VorLoeschen, false);
        PathBar* bar = w.pathBar();
        bar->setSnapshotChooser([&](QWidget*, const QString&, const QString&) { return QString::fromStdString(file); });
        w.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            menu->setActiveAction(menu->actions().first());
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QToolButton* button = bar->browseButton(PathBar::Side::Target);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(button->width() - 3, button->height() / 2));  // its arrow
        QCOMPARE(bar->text(PathBar::Side::Target), QString::fromStdString("snapshot:" + file));
        bar->setText(PathBar::Side::Source, QString::fromStdString(dir / "q"));
        w.Command(CommandId::PfadeVergleichen);
        QCOMPARE(w.Cells(w.RowOf("a.txt")).section(u'|', 4, 4), "--->");
        QCOMPARE(w.Cells(w.RowOf("neu.txt")).section(u'|', 4, 4), "--->");
        QCOMPARE(w.RowOf("b.txt"), -1);  // equal to the snapshot: not among the unequal rows
        const QString refusal = QString::fromStdString("warn: „snapshot:" + file + "“ ist ein Schnappschuss: ");
        log.clear();
        w.Command(CommandId::Synchronize);
        QCOMPARE(log.size(), 1);
        QVERIFY2(log[0].startsWith(refusal), qPrintable(log[0]));
        const auto select = [&](const QString& name) {
            w.view()->clearSelection();
            w.view()->selectionModel()->select(w.model()->index(w.RowOf(name), 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        };
        select("a.txt");
        for (CommandId command : {CommandId::CopyToTarget, CommandId::EditCopy, CommandId::DeleteSelected}) {
            log.clear();
            w.Command(command);
            QCOMPARE(log.size(), 1);
            QVERIFY2(log[0].startsWith(refusal), qPrintable(log[0]));
        }
        select("neu.txt");
        log.clear();
        w.Command(CommandId::DeleteSelected);
        QCOMPARE(log.size(), 1);
        QVERIFY2(log[0].startsWith("delete ") && log[0].endsWith(": Q/neu.txt"), qPrintable(log[0]));
        w.controller()->setUserPrompts(nullptr);
    }

    void unreadablePlacesAreNamedShownAndLeftOut() {
        // The source's folder "neu" cannot be opened: the target's file there is
        // unknown, not missing in the source, and Synchronise leaves it alone.
        Bench b({{"a.txt", kNew}, {"neu/c.txt", kNew}}, {{"a.txt", kOld}, {"neu/x.txt", kNew}});
        const std::string sourceRoot = b.dir / "q/";
        b.w.controller()->comparison().setDirectoryListers([sourceRoot](const std::string& root) -> std::unique_ptr<DirectoryLister> {
            struct Refusing final : DirectoryLister {
                std::unique_ptr<DirectoryLister> real = MakeDirectoryLister({});
                bool refuse = false;
                ListingStatus OpenRoot(const std::string& r) override { return real->OpenRoot(r); }
                int AutomaticInFlight() const override { return 1; }
                void SetInFlight(int count) override { real->SetInFlight(count); }
                void Start(const Request& request, ListingReceiver& receiver) override {
                    if (refuse && request.relative == "neu/")
                        return receiver.Finished(ListingStatus::Failed(EACCES, "Keine Berechtigung"), nullptr);
                    real->Start(request, receiver);
                }
            };
            auto lister = std::make_unique<Refusing>();
            lister->refuse = root == sourceRoot;
            return lister;
        });
        b.w.SetOption(Option::Beep, false);
        b.log.clear();
        b.w.Command(CommandId::PfadeVergleichen);
        const QString said = "Nicht alles lesbar: 1 Stelle ließ sich nicht lesen. Was dort liegt, gilt als unbekannt "
                             "(?), nicht als fehlend; dort wird nichts kopiert, ersetzt oder gelöscht.";
        const QString places = "Quelle: nicht lesbar: neu/ – Keine Berechtigung";
        QCOMPARE(b.log, QStringList{"warn: " + said + "\n\n" + places});
        // The box once per pair; from then on the bar above the list says it,
        // its button shows the places, and it stays until closed or compared again.
        NoticeBar* bar = b.w.frame.noticeBar();
        QVERIFY(!bar->isVisibleTo(&b.w.frame));
        b.log.clear();
        b.w.Command(CommandId::PfadeVergleichen);
        QCOMPARE(b.log, QStringList{});
        QVERIFY(bar->isVisibleTo(&b.w.frame));
        QCOMPARE(bar->text() + "\n\n" + bar->details(), said + "\n\n" + places);
        QVERIFY(!bar->detailsShown());
        QTest::mouseClick(bar->detailsButton(), Qt::LeftButton);
        QVERIFY(bar->detailsShown());
        QTest::mouseClick(bar->closeButton(), Qt::LeftButton);
        QVERIFY(!bar->isVisibleTo(&b.w.frame));
        b.w.Command(CommandId::PfadeVergleichen);
        QVERIFY(bar->isVisibleTo(&b.w.frame));
        QCOMPARE(b.w.Cells(0), "nicht lesbar: neu/ – Keine Berechtigung|||neu/|?||||");
        QCOMPARE(b.w.State(0), ResultRows::kUnknown);
        const int unknown = b.w.RowOf("x.txt");
        QCOMPARE(b.w.State(unknown), ResultRows::kUnknown);
        QCOMPARE(b.w.model()->data(b.w.model()->index(unknown, 4), Qt::ToolTipRole).toString(),
                 "Unbekannt – in der Quelle nicht lesbar: neu/ – Keine Berechtigung");
        b.log.clear();
        b.prompts.answers = {true};
        b.w.Command(CommandId::Synchronize);
        QCOMPARE(b.log.mid(0, 2), (QStringList{"ask: Es wird 1 Datei von Quelle nach Ziel kopiert !",
                                               "copy 0x81: Q/a.txt -> Z/a.txt"}));
    }

    // Extras › "Abgleichen als" › "Spiegeln", chosen with the mouse: the list
    // shows the plan, and "Dateien abgleichen" makes the target a copy of the
    // source, what it replaces or deletes in the trash.
    void mirrorChosenInTheMenuMakesTheTargetACopy() {
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt", kNew, "neu"}, {"g.txt", kOld, "g"}});
        MakeTree(dir / "z", {{"a.txt", kNew + 100, "im Ziel neuer"}, {"g.txt", kOld, "g"}, {"nur/z.txt", kOld, "z"}});
        Window w;
        QStringList log;
        ScriptedPrompts prompts(log);
        w.controller()->setUserPrompts(&prompts);
        for (Option option : {Option::VorLoeschen, Option::VorUeberschreiben, Option::VorDir})
            w.SetOption(option, false);
        w.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
        QMenu* extras = w.PopUpMenu("E&xtras");
        QVERIFY(extras);
        QVERIFY(QTest::qWaitForWindowExposed(extras));
        QAction* modes = nullptr;
        for (QAction* item : extras->actions())
            if (item->text() == "&Abgleichen als") modes = item;
        QVERIFY(modes && modes->menu());
        // The pointer over the sub-menu's item opens it, as it does for a user.
        QTest::mouseMove(extras, extras->actionGeometry(modes).center());
        QTest::mouseClick(extras, Qt::LeftButton, {}, extras->actionGeometry(modes).center());
        QTRY_VERIFY(modes->menu()->isVisible());
        QAction* mirror = w.frame.actions().action(CommandId::SyncModeMirror);
        QTest::mouseMove(modes->menu(), modes->menu()->actionGeometry(mirror).center());
        QTest::mouseClick(modes->menu(), Qt::LeftButton, {}, modes->menu()->actionGeometry(mirror).center());
        QTRY_COMPARE(w.controller()->options().syncMode(), SyncMode::Mirror);
        QVERIFY(mirror->isChecked());
        QVERIFY(!w.frame.actions().action(CommandId::SyncModeUpdate)->isChecked());

        w.Compare(dir / "q", dir / "z");
        const int extra = w.RowOf("z.txt");
        QVERIFY(extra >= 0);
        QCOMPARE(w.model()->cellText(extra, 4), "--X");
        QCOMPARE(w.model()->data(w.model()->index(extra, 4), Qt::ToolTipRole).toString(), "nur im Ziel: wird gelöscht");
        QCOMPARE(w.model()->cellText(w.RowOf("a.txt"), 4), "--->");
        QCOMPARE(w.Field(OutputBar::kTargetSelection),
                 "1 Datei mit 13 Bytes (13 Bytes) ausgewählt, 1 zu löschen (1 Byte) ");

        log.clear();
        prompts.answers = {true};
        QAction* synchronise = w.frame.actions().action(CommandId::Synchronize);
        QTest::mouseClick(w.frame.toolBar()->widgetForAction(synchronise), Qt::LeftButton);
        w.WaitForComparison();
        QVERIFY(log.contains("ask: Es wird 1 Datei von Quelle nach Ziel kopiert !"));
        QCOMPARE(ReadFile(dir / "z/a.txt"), "neu");
        QVERIFY(!std::filesystem::exists(dir / "z/nur"));
        QCOMPARE(w.rowCount(), 0);
        QCOMPARE(w.frame.outputBar()->summary(), "1 ersetzt, 1 in den Papierkorb, 1 Ordner entfernt");
    }

    // Two-way: a file deleted in the source since the last synchronisation is
    // to be deleted in the target, and its row says so.
    void twoWayShowsAPlannedDeletionWithItsReason() {
        TempDir dir;
        MakeTree(dir / "q", {{"f.txt", kOld, "f"}, {"g.txt", kOld, "g"}});
        std::filesystem::create_directory(dir / "z");
        Window w;
        QStringList log;
        ScriptedPrompts prompts(log);
        w.controller()->setUserPrompts(&prompts);
        w.SetOption(Option::VorLoeschen, false);
        w.frame.actions().action(CommandId::SyncModeTwoWay)->trigger();
        w.Compare(dir / "q", dir / "z");
        prompts.answers = {true};
        w.Command(CommandId::Synchronize);  // the first run: copies, then records the state
        QCOMPARE(ReadFile(dir / "z/f.txt"), "f");
        std::filesystem::remove(dir / "q/f.txt");
        WriteFile(dir / "q/g.txt", "quelle", kNew);  // changed on both sides: a conflict, left as it is
        WriteFile(dir / "z/g.txt", "ziel", kNew);
        w.Command(CommandId::PfadeVergleichen);
        const int row = w.RowOf("f.txt");
        QVERIFY(row >= 0);
        QCOMPARE(w.model()->cellText(row, 4), "--X");
        QCOMPARE(w.State(row), ResultRows::kMarked);
        QCOMPARE(w.model()->data(w.model()->index(row, 0), Qt::ToolTipRole).toString(),
                 "in der Quelle gelöscht seit dem letzten Abgleich");
        QCOMPARE(w.Field(OutputBar::kTargetSelection), "0 Dateien mit 0 Bytes (0 Bytes) ausgewählt, 1 zu löschen (1 Byte) ");
        int wholeListings = 0;  // folders read whole, not name by name
        w.controller()->comparison().setDirectoryListers([&wholeListings](const std::string& root) {
            return std::unique_ptr<DirectoryLister>(new CountingLister(MakeDirectoryLister(root), wholeListings));
        });
        w.Command(CommandId::Synchronize);
        QVERIFY(!std::filesystem::exists(dir / "z/f.txt"));
        QCOMPARE(w.State(w.RowOf("g.txt")), ResultRows::kConflict);
        QCOMPARE(w.frame.messagePane()->text(), "1 Konflikt bleibt, wie er ist („g.txt“); \"Nach rechts kopieren\" "
                                                 "oder \"Nach links kopieren\" löst ihn.");
        // Only the deleted file was looked at again, and the list is the one
        // a whole comparison shows: rows, arrows, marks, statistics, per filter.
        QCOMPARE(wholeListings, 0);
        const auto shown = [&w] {
            QStringList lines;
            for (int row = 0; row < w.rowCount(); ++row) lines << w.Cells(row) + QString::number(w.State(row));
            for (int id : {OutputBar::kSourceTotals, OutputBar::kTargetTotals, OutputBar::kSourceSelection,
                           OutputBar::kTargetSelection})
                lines << w.Field(id);
            return lines;
        };
        const QStringList unequalAfterSync = shown();
        w.Command(CommandId::FilterAll);
        const QStringList allAfterSync = shown();
        w.Command(CommandId::PfadeVergleichen);
        QVERIFY(wholeListings > 0);
        QCOMPARE(shown(), allAfterSync);
        w.Command(CommandId::FilterUnequal);
        QCOMPARE(shown(), unequalAfterSync);
    }

    // Extras › "Inhalt prüfen", chosen with the mouse: both sides read whole
    // in the background; bit rot (other bytes, same size and time) is a row
    // of its own under "Nur ungleiche Dateien", named with its side and when
    // it was last good, never marked; two-way then plans its repair.
    void verifyFromTheMenuShowsDamageAndTwoWayItsRepair() {
        TempDir dir;
        const std::string photo(300'000, 'p');
        MakeTree(dir / "q", {{"foto.jpg", kOld, photo}, {"b.txt", kOld, "b"}});
        MakeTree(dir / "z", {{"foto.jpg", kOld, photo}, {"b.txt", kOld, "b"}});
        Window w;
        QStringList log;
        ScriptedPrompts prompts(log);
        w.controller()->setUserPrompts(&prompts);
        w.SetOption(Option::Beep, false);
        w.frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
        const auto verifyFromMenu = [&] {
            QMenu* extras = w.PopUpMenu("E&xtras");
            QVERIFY(extras);
            QVERIFY(QTest::qWaitForWindowExposed(extras));
            QAction* verify = w.frame.actions().action(CommandId::VerifyContents);
            QVERIFY(verify->isEnabled());
            QTest::mouseMove(extras, extras->actionGeometry(verify).center());
            QTest::mouseClick(extras, Qt::LeftButton, {}, extras->actionGeometry(verify).center());
            w.WaitForComparison();
        };
        w.pathBar()->setText(PathBar::Side::Source, QString::fromStdString(dir / "q"));
        w.pathBar()->setText(PathBar::Side::Target, QString::fromStdString(dir / "z"));
        verifyFromMenu();  // nothing recorded yet: read and recorded
        QVERIFY2(log.isEmpty(), qPrintable(log.join('\n')));
        QVERIFY2(w.frame.messagePane()->text().startsWith("Geprüft: 2 Dateien (586 KB gelesen): 2 gleich, "
                                                          "0 verschieden, 0 beschädigt?"),
                 qPrintable(w.frame.messagePane()->text()));
        QCOMPARE(w.rowCount(), 0);

        std::string rotten = photo;
        rotten[123'456] = 'X';
        WriteFile(dir / "z/foto.jpg", rotten, kOld);  // in place, size and time as they were
        verifyFromMenu();
        QCOMPARE(log.size(), 1);
        QVERIFY2(log[0].startsWith("warn: 1 Datei ist beschädigt? (anderer Inhalt bei gleicher Größe und Zeit):\n\n"
                                   "foto.jpg (im Ziel, zuletzt gut: "),
                 qPrintable(log[0]));
        const int row = w.RowOf("foto.jpg");
        QVERIFY(row >= 0);
        QCOMPARE(w.State(row), ResultRows::kDamaged);
        QCOMPARE(w.model()->cellText(row, 4), "<!>");
        QVERIFY(w.model()->data(w.model()->index(row, 4), Qt::ToolTipRole).toString().startsWith(
            "beschädigt? (anderer Inhalt bei gleicher Größe und Zeit) – im Ziel, zuletzt gut: "));
        QCOMPARE(w.RowOf("b.txt"), -1);
        QVERIFY(w.frame.messagePane()->text().contains("1 gleich, 0 verschieden, 1 beschädigt?"));
        w.Command(CommandId::FilterAll);  // refilled from the same result: still damaged
        QCOMPARE(w.State(w.RowOf("foto.jpg")), ResultRows::kDamaged);

        // Two-way: the source still holds the good bytes, so they come back.
        w.frame.actions().action(CommandId::SyncModeTwoWay)->trigger();
        w.WaitForComparison();
        const int repair = w.RowOf("foto.jpg");
        QCOMPARE(w.model()->cellText(repair, 4), "--->");
        QCOMPARE(w.State(repair), ResultRows::kMarked);
        QVERIFY(w.model()->data(w.model()->index(repair, 4), Qt::ToolTipRole).toString().endsWith(
            "wird von der anderen Seite wiederhergestellt"));
        w.controller()->setUserPrompts(nullptr);
    }

    void synchroniseIntoAMissingRoot_data() {
        QTest::addColumn<QString>("target");  // below the test folder
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("log");
        const QString ask = "ask with icon: Das Ziel „%1“ existiert nicht. Soll der Ordner angelegt werden?";
        QTest::newRow("parent there, OK") << "neu" << true
                                          << QStringList{ask, "ask: Es wird 1 Datei von Quelle nach Ziel kopiert !",
                                                         "copy 0x281: Q/a.txt -> Z/a.txt"};
        QTest::newRow("parent there, Cancel") << "neu" << false << QStringList{ask};
        QTest::newRow("parent missing") << "stick/Sicherung" << true
                                        << QStringList{"warn: Das Ziel „%1“ existiert nicht. Ist der Datenträger "
                                                       "angeschlossen? Es wird nichts kopiert."};
    }
    void synchroniseIntoAMissingRoot() {
        QFETCH(QString, target);
        QFETCH(bool, answer);
        QFETCH(QStringList, log);
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt", kNew}});
        const std::string missing = dir / target.toStdString();
        QStringList seen;
        Window w;
        ScriptedPrompts prompts(seen);
        RecordingService service(seen, dir / "q", missing);
        w.controller()->setUserPrompts(&prompts);
        w.controller()->setFileOperationService(&service);
        w.SetOption(Option::Beep, false);
        w.Compare(dir / "q", missing);
        seen.clear();
        prompts.answers = {answer, true};
        w.Command(CommandId::Synchronize);
        for (QString& line : log) line.replace("%1", QString::fromStdString(missing));
        QCOMPARE(seen.mid(0, log.size()), log);
        QVERIFY(!std::filesystem::exists(dir / "stick"));
        w.controller()->setUserPrompts(nullptr);
    }

    void realServiceBringsTheTreesIntoLine_data() {
        QTest::addColumn<bool>("remoteTarget");
        QTest::newRow("local") << false;
        QTest::newRow("target on another machine") << true;
    }
    void realServiceBringsTheTreesIntoLine() {
        QFETCH(bool, remoteTarget);
        // Before the window: its logins read the (test) home folder's keys.
        std::optional<SshServer> server;
        if (remoteTarget) {
            server.emplace();
            if (!server->running()) QSKIP(server->error().c_str());
        }
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt", kNew, "neu"}, {"tief/unter/b.txt", kNew, "bbb"}, {"g.txt", kOld, "g"}});
        MakeTree(dir / "z", {{"a.txt", kOld, "alt"}, {"c.txt", kNew, "ccc"}, {"g.txt", kOld, "g"}});
        Window w;
        QStringList log;
        ScriptedPrompts prompts(log);
        w.controller()->setUserPrompts(&prompts);
        w.SetOption(Option::VorDir, true);
        w.SetOption(Option::VorUeberschreiben, true);
        w.SetOption(Option::Papierkorb, true);
        // With the folder and overwrite questions on, the service asks them in
        // dialogs; on the other machine replacing is for good, and asked about.
        DialogAnswerer dialogs(remoteTarget ? QStringList{"Ja", "Ja", "Ja, alle"} : QStringList{"Ja", "Ja, alle"});
        w.Compare(dir / "q", remoteTarget ? server->Url(dir / "z") : dir / "z");
        QCOMPARE(w.rowCount(), 5);  // two folder rows, three unequal files
        prompts.answers = {true, true};
        w.Command(CommandId::Synchronize);
        QCOMPARE(log.mid(0, 4), (QStringList{"beep", "beep?", "ask: Es werden 2 Dateien von Quelle nach Ziel kopiert !",
                                             "beep?"}));
        QCOMPARE(dialogs.unexpected, 0);
        QCOMPARE(dialogs.seen.size(), size_t(remoteTarget ? 3 : 2));
        QVERIFY(dialogs.seen[0].text.contains("ist schon vorhanden"));
        if (remoteTarget) QVERIFY(dialogs.seen[1].text.contains("endgültig ersetzt"));
        QVERIFY(dialogs.seen.back().text.contains("existiert nicht"));
        // The comparison afterwards shows no unequal file.
        QCOMPARE(w.rowCount(), 0);
        QCOMPARE(ReadFile(dir / "z/a.txt"), "neu");
        QCOMPARE(ReadFile(dir / "z/tief/unter/b.txt"), "bbb");
        QCOMPARE(ReadFile(dir / "q/c.txt"), "ccc");
        // What was done stands in the status bar and in "Ausgabe" until the
        // next command, counted as the log window counts the run.
        const QString done = "2 kopiert, 1 ersetzt, 2 Ordner angelegt";
        QCOMPARE(w.frame.messagePane()->text(), done);
        QCOMPARE(w.frame.outputBar()->summary(), done);
        QCOMPARE(LogDialog(OperationLog::DefaultPath(), &w.frame).runList()->topLevelItem(0)->text(4), done);
        QVERIFY(w.frame.logLink()->isHidden());
        // A hover hint goes beside the result, never over it.
        QStatusTipEvent tip(QStringLiteral("Kopiert die markierten Dateien."));
        QApplication::sendEvent(&w.frame, &tip);
        QCOMPARE(w.frame.messagePane()->text(), done);
        QCOMPARE(w.frame.statusBar()->findChild<QLabel*>("hintPane")->text(), tip.tip());
        QStatusTipEvent noTip{QString()};
        QApplication::sendEvent(&w.frame, &noTip);
        QCOMPARE(w.frame.messagePane()->text(), done);
        w.Command(CommandId::FilterAll);
        QCOMPARE(w.rowCount(), 6);  // two folder rows, four equal files
        QCOMPARE(w.frame.messagePane()->text(), "Bereit");
        QCOMPARE(w.frame.outputBar()->summary(), QString());

        // Bearbeiten › "Letzten Abgleich rückgängig machen", clicked in the menu:
        // asked about with the run's time, roots and counts, then both trees
        // are as before and compared anew. On the other machine the replaced
        // file is gone for good: it is named, the rest is undone.
        log.clear();
        prompts.answers = {true};
        w.frame.show();
        QMenu* edit = w.PopUpMenu("&Bearbeiten");
        QVERIFY(edit);
        QVERIFY(QTest::qWaitForWindowExposed(edit));
        QAction* undo = nullptr;
        for (QAction* item : edit->actions())
            if (item->text().section(u'\t', 0, 0) == "Letzten Abgleich rückgängig machen") undo = item;
        QVERIFY(undo && undo->isEnabled());
        QTest::mouseClick(edit, Qt::LeftButton, {}, edit->actionGeometry(undo).center());
        w.WaitForComparison();
        QVERIFY2(log.value(0).startsWith("ask with icon: Lauf ") && log.value(0).contains(" (Dateien abgleichen)\nQuelle: ") &&
                     log.value(0).contains("\n" + done + "\n\nRückgängig machen: ") &&
                     log.value(0).contains(remoteTarget ? "\n\nRückgängig machen: 1 Datei in den Papierkorb legen, 1 "
                                                          "Datei auf dem anderen Rechner löschen, 2 Ordner"
                                                        : "\n\nRückgängig machen: 3 Dateien in den Papierkorb legen, 1 "
                                                          "Datei aus dem Papierkorb zurückholen, 2 Ordner"),
                 qPrintable(log.join("\n")));
        QVERIFY(!std::filesystem::exists(dir / "q/c.txt"));
        QVERIFY(!std::filesystem::exists(dir / "z/tief"));  // the copy and the folders made for it
        if (remoteTarget) {
            QCOMPARE(ReadFile(dir / "z/a.txt"), "neu");
            QVERIFY2(log.filter("warn: ").join("").contains(QString::fromStdString(
                         "/z/a.txt: bleibt: die ersetzte Fassung ist weg (auf dem entfernten Rechner gibt es keinen "
                         "Papierkorb); die neue bleibt")),
                     qPrintable(log.join("\n")));
        } else {
            QCOMPARE(ReadFile(dir / "z/a.txt"), "alt");
            QCOMPARE(log.filter("warn: ").size(), 0);
            QCOMPARE(w.rowCount(), 6);  // as before the run, all shown
            QCOMPARE(w.model()->cellText(w.RowOf("a.txt"), 4), "--->");
        }
    }
};

QTEST_MAIN(FileOperationsTest)
#include "file_operations_qtest.moc"
