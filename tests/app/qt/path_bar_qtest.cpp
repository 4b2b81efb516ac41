// The two path fields: histories as loaded and updated, the length limit,
// the folder chooser and the keys that start a comparison.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

#include "app/in_memory_profile_store.h"
#include "app/qt/command_actions.h"
#include "app/qt/main_frame.h"
#include "app/qt/path_bar.h"
#include "drop_sequence.h"
#include "support/temp_tree.h"
#include "view/qt/kirvo_view.h"
#include "view/qt/view_fixture.h"

using namespace kirvo;

namespace {

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

struct ChooserCall {
    QString title;
    QString start;
};

}  // namespace

class PathBarTest : public QObject {
    Q_OBJECT

private slots:
    void fieldsLoadTheirHistoriesUnsorted() {
        InMemoryProfileStore store;
        store.WriteProfileString("Quelle", "Quelle0", "/z/neu");
        store.WriteProfileString("Quelle", "Quelle1", "/a/alt");
        store.WriteProfileString("Quelle", "Quelle2", "/m/");
        store.WriteProfileString("Ziel", "Ziel0", "/ziel");
        store.WriteProfileString("Ziel", "Ziel1", "");
        store.WriteProfileString("Ziel", "Ziel2", "/verloren");
        CMainFrame frame(store);
        PathBar* bar = frame.pathBar();
        QComboBox* source = bar->comboBox(PathBar::Side::Source);
        QComboBox* target = bar->comboBox(PathBar::Side::Target);
        QCOMPARE(source->currentText(), "/z/neu");
        QCOMPARE(Items(source), (QStringList{"/z/neu", "/a/alt", "/m/"}));
        QCOMPARE(Items(target), QStringList{"/ziel"});
        QVERIFY(source->isEditable());
        QCOMPARE(source->statusTip(), "Quelle eingeben");
        QCOMPARE(target->statusTip(), "Ziel eingeben");
        QCOMPARE(bar->findChild<QLabel*>("label1007")->text(), "Quelle :");
        QCOMPARE(bar->findChild<QLabel*>("label1008")->text(), "Ziel :");
        QCOMPARE(bar->browseButton(PathBar::Side::Source)->text(), "...");
        QCOMPARE(bar->browseButton(PathBar::Side::Target)->toolTip(), "Ziel wählen");
    }

    void comparingMovesTheTextsToTheTop() {
        InMemoryProfileStore store;
        for (int i = 0; i < 5; ++i) {
            store.WriteProfileString("Quelle", "Quelle" + std::to_string(i), "/p/" + std::to_string(i));
        }
        CMainFrame frame(store);
        PathBar* bar = frame.pathBar();
        QComboBox* source = bar->comboBox(PathBar::Side::Source);
        bar->setText(PathBar::Side::Source, QStringLiteral("/P/3"));
        bar->setText(PathBar::Side::Target, QStringLiteral("/ziel"));
        bar->UpdateHistories();
#ifdef Q_OS_WIN
        QCOMPARE(Items(source), (QStringList{"/P/3", "/p/0", "/p/1", "/p/2", "/p/4"}));
#else  // "/P/3" and "/p/3" are two folders
        QCOMPARE(Items(source), (QStringList{"/P/3", "/p/0", "/p/1", "/p/2", "/p/3", "/p/4"}));
#endif
        QCOMPARE(source->currentText(), "/P/3");
        QCOMPARE(bar->text(PathBar::Side::Target), "/ziel");
        for (int i = 0; i < 11; ++i) {
            bar->setText(PathBar::Side::Source, QStringLiteral("/neu/%1").arg(i));
            bar->UpdateHistories();
        }
        QCOMPARE(source->count(), 10);
        QCOMPARE(source->itemText(0), "/neu/10");
        QCOMPARE(source->itemText(9), "/neu/1");
        QCOMPARE(bar->history(PathBar::Side::Target).entries().size(), 1u);  // same text each time
    }

    void pfadeVergleichenNeedsBothFieldsAndKeepsOnlyPathsThatExist() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        test::FakePrompts prompts;
        frame.controller()->setUserPrompts(&prompts);
        PathBar* bar = frame.pathBar();
        QAction* compare = frame.actions().action(CommandId::PfadeVergleichen);
        test::TempDir dir;
        const QString source = QString::fromStdString(dir.path());
        bar->setText(PathBar::Side::Source, source);
        compare->trigger();
        QVERIFY(!frame.controller()->comparing());
        QVERIFY(bar->history(PathBar::Side::Source).entries().empty());
        bar->setText(PathBar::Side::Target, QStringLiteral("/ziel-gibt-es-nicht"));
        compare->trigger();
        QTRY_VERIFY(!frame.controller()->comparing());
        QCOMPARE(Items(bar->comboBox(PathBar::Side::Source)), QStringList{source});
        QCOMPARE(Items(bar->comboBox(PathBar::Side::Target)), QStringList{});  // a typo is not kept
        QCOMPARE(bar->text(PathBar::Side::Target), QStringLiteral("/ziel-gibt-es-nicht"));
        QCOMPARE(prompts.log.size(), 2);  // the missing target's message before the list, and the list's sound
        QCOMPARE(prompts.log[0], "warn: Das Ziel „/ziel-gibt-es-nicht“ existiert nicht. Es wird als leerer Ordner verglichen.");
        frame.controller()->setUserPrompts(nullptr);
    }

    void pathsAreNeverCut() {
        // A folder P of 259 characters holding decoy.txt, and P/real holding
        // a.txt: typed into the fields, P/real is compared, not P.
        test::TempDir dir;
        const std::string p = dir / std::string(259 - dir.path().size() - 1, 'p');
        test::MakeTree(p, {{"decoy.txt"}, {"real/a.txt"}});
        test::MakeTree(dir / "t", {});
        test::Window w;
        w.frame.show();
        QApplication::setActiveWindow(&w.frame);
        QVERIFY(QTest::qWaitForWindowActive(&w.frame));
        for (const auto& [side, path] : {std::pair{PathBar::Side::Source, p + "/real"}, std::pair{PathBar::Side::Target, dir / "t"}}) {
            QTest::mouseClick(w.pathBar()->comboBox(side)->lineEdit(), Qt::LeftButton);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(path));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        w.WaitForComparison();
        QCOMPARE(w.pathBar()->text(PathBar::Side::Source).size(), 264);
        QVERIFY(w.RowOf("a.txt") > 0);
        QCOMPARE(w.RowOf("decoy.txt"), -1);

        // Typing stops where the path would not fit the system, counted in
        // its bytes ("ä" takes two).
        QLineEdit* edit = w.pathBar()->comboBox(PathBar::Side::Source)->lineEdit();
        edit->setText(u'/' + QString(4092, u'x'));
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->end(false);
        for (int i = 0; i < 2; ++i) {
            QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QStringLiteral("ä"));
            QApplication::sendEvent(QApplication::focusWidget(), &umlaut);
        }
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
        QCOMPARE(edit->text(), u'/' + QString(4092, u'x') + u'ä');  // 4,095 bytes

        // A path set longer than that stays whole, and the comparison says
        // why it does not run.
        const QString tooLong = u'/' + QString(5000, u'x');
        w.pathBar()->setText(PathBar::Side::Source, tooLong);
        QCOMPARE(w.pathBar()->text(PathBar::Side::Source), tooLong);
        w.prompts.log.clear();
        w.Command(CommandId::PfadeVergleichen);
        QCOMPARE(w.prompts.log.size(), 1);
        QVERIFY(w.prompts.log[0].startsWith("warn: Der Pfad der Quelle ist zu lang: 5001 Bytes, das System nimmt höchstens 4095."));
        QCOMPARE(w.pathBar()->history(PathBar::Side::Source).entries().front(), p + "/real");
    }

    void browsingPutsTheChosenFolderIntoTheFieldOnly() {
        InMemoryProfileStore store;
        store.WriteProfileString("Ziel", "Ziel0", "/ziel/alt");
        CMainFrame frame(store);
        PathBar* bar = frame.pathBar();
        QList<ChooserCall> calls;
        QString answer = QStringLiteral("/gewählt");
        bar->setFolderChooser([&](QWidget*, const QString& title, const QString& start) {
            calls.append({title, start});
            return answer;
        });

        bar->setText(PathBar::Side::Source, QStringLiteral("/quelle/jetzt"));
        frame.actions().action(CommandId::BrowseSource)->trigger();  // "E&xtras" › "Quelle wählen"
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].title, "Quellpfad auswählen");
        QCOMPARE(calls[0].start, "/quelle/jetzt");
        QCOMPARE(bar->text(PathBar::Side::Source), "/gewählt");
        QVERIFY(bar->history(PathBar::Side::Source).entries().empty());

        QTest::mouseClick(bar->browseButton(PathBar::Side::Target), Qt::LeftButton);  // "..."
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[1].title, "Zielpfad auswählen");
        QCOMPARE(calls[1].start, "/ziel/alt");
        QCOMPARE(bar->text(PathBar::Side::Target), "/gewählt");

        answer.clear();  // cancelled
        bar->setText(PathBar::Side::Target, QStringLiteral("/bleibt"));
        frame.OnCommand(CommandId::BrowseTarget);
        QCOMPARE(calls.size(), 3);
        QCOMPARE(bar->text(PathBar::Side::Target), "/bleibt");
    }

    void swappingExchangesTheFieldsOnly() {
        InMemoryProfileStore store;
        store.WriteProfileString("Quelle", "Quelle0", "/q");
        store.WriteProfileString("Ziel", "Ziel0", "/z");
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        PathBar* bar = frame.pathBar();
        frame.actions().action(CommandId::SwapPaths)->trigger();  // "E&xtras" › "Quelle und Ziel tauschen"
        QCOMPARE(bar->text(PathBar::Side::Source), "/z");
        QCOMPARE(bar->text(PathBar::Side::Target), "/q");
        QCOMPARE(bar->history(PathBar::Side::Source).entries().front(), "/q");
        // The same from a field's context menu, after its own items.
        QString last;
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            last = menu->actions().last()->text();
            menu->setActiveAction(menu->actions().last());
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QLineEdit* edit = bar->comboBox(PathBar::Side::Target)->lineEdit();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(edit, &event);
        QCOMPARE(last, "Quelle und Ziel tauschen");
        QCOMPARE(bar->text(PathBar::Side::Source), "/q");
        QCOMPARE(bar->text(PathBar::Side::Target), "/z");
    }

    void aDroppedFolderGivesItsPath() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QLineEdit* edit = frame.pathBar()->comboBox(PathBar::Side::Target)->lineEdit();
        QVERIFY(test::DropPaths(edit, {QStringLiteral("/media/stick/Fotos")}));
        QCOMPARE(edit->text(), "/media/stick/Fotos");
    }

    void returnInAFieldComparesAndTabGoesFromFieldToField() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        PathBar* bar = frame.pathBar();
        QSignalSpy requests(bar, &PathBar::commandRequested);
        // A click into the field, then the key where the window system sends
        // it: to the widget that has the focus.
        const struct {
            PathBar::Side side;
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
        } presses[] = {{PathBar::Side::Target, Qt::Key_Return, Qt::NoModifier},
                       {PathBar::Side::Source, Qt::Key_Enter, Qt::KeypadModifier}};
        for (const auto& press : presses) {
            QTest::mouseClick(bar->comboBox(press.side)->lineEdit(), Qt::LeftButton);
            QVERIFY(QApplication::focusWidget());
            QTest::keyClick(QApplication::focusWidget(), press.key, press.modifiers);
        }
        QCOMPARE(requests.count(), 2);
        for (const QList<QVariant>& request : requests)
            QCOMPARE(request.at(0).value<CommandId>(), CommandId::PfadeVergleichen);

        // Tab: Quelle, its "...", Ziel, its "...", the list, and round again.
        QWidget* const chain[] = {bar->comboBox(PathBar::Side::Source), bar->browseButton(PathBar::Side::Source),
                                  bar->comboBox(PathBar::Side::Target), bar->browseButton(PathBar::Side::Target),
                                  frame.view(), bar->comboBox(PathBar::Side::Source)};
        chain[0]->setFocus();
        for (size_t i = 1; i < std::size(chain); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), chain[i]);
        }
    }
};

QTEST_MAIN(PathBarTest)
#include "path_bar_qtest.moc"
