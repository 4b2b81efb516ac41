// The main window as a user meets it: menus, toolbar, accelerators, status
// bar, the bar "Ausgabe", the list's columns and the command states.
#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <filesystem>

#include "app/about_text.h"
#include "app/in_memory_profile_store.h"
#include "app/qt/about_dlg.h"
#include "app/qt/command_actions.h"
#include "app/qt/help_dialog.h"
#include "app/qt/main_frame.h"
#include "app/qt/output_bar.h"
#include "app/qt/path_bar.h"
#include "app/qt/window_controller.h"
#include "app/version_info.h"
#include "fileops/operation_log.h"
#include "support/english_texts.h"
#include "support/temp_tree.h"
#include "view/list_columns.h"
#include "view/qt/kirvo_view.h"

using namespace kirvo;

namespace {

QAction* Action(CMainFrame& frame, int id) {
    return frame.actions().action(static_cast<CommandId>(id));
}

// "id text" per command, "-" per separator, ">title" then the items of a
// sub-menu, "<" at its end.
QStringList Describe(const QMenu* menu) {
    QStringList lines;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            lines << QStringLiteral("-");
        } else if (action->menu()) {
            lines << QStringLiteral(">") + action->text();
            lines << Describe(action->menu());
            lines << QStringLiteral("<");
        } else {
            lines << QString::number(action->data().toInt()) + u' ' + action->text();
        }
    }
    return lines;
}

QStandardItemModel* ModelWithRows(QObject* parent, int rows) {
    auto* model = new QStandardItemModel(rows, 9, parent);
    for (int r = 0; r < rows; ++r) model->setItem(r, 0, new QStandardItem(QStringLiteral("f%1").arg(r)));
    return model;
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

private slots:
    void menusHaveTheirItemsInOrder() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        const QList<QAction*> menus = frame.menuBar()->actions();
        QStringList titles;
        for (QAction* m : menus) titles << m->text();
        QCOMPARE(titles, (QStringList{"&Datei", "&Bearbeiten", "&Ansicht", "E&xtras", "&?"}));

        const QStringList expected[] = {
            {"57600 &Neu\tStrg+N", "57601 Ö&ffnen...\tStrg+O", "57603 S&peichern\tStrg+S",
             "57604 Speichern &unter...", "-", "57607 &Drucken...\tStrg+P", "57609 Sei&tenansicht",
             "57606 Drucker&einrichtung...", "-", "32775 Pfade vergleichen\tF5",
             "32794 Dateien abgleichen\tF9", "-", "57616 Letzte Datei", "-", "57665 &Beenden"},
            {"57634 &Kopieren\tStrg+C", "32789 Löschen\tEntf", "-", "32791 Alles markieren\tStrg+A", "-",
             "32820 Nach rechts kopieren", "32821 Nach links kopieren", "-",
             "32862 Letzten Abgleich rückgängig machen\tStrg+Z"},
            {"59392 &Symbolleiste", "59393 S&tatusleiste", "32809 Ausgabe", "-",
             "32783 Alle Dateien", "32785 Nur ungleiche Dateien", "32786 Dateien Quelle nach Ziel",
             "32787 Dateien Ziel nach Quelle", "32788 Gleiche Dateien"},
            {"1003 Quelle wählen", "1004 Ziel wählen", "32823 Quelle und Ziel tauschen", "-", "32815 Filter...", ">Vergleichen &nach",
             "32816 Änderungszeit", "32817 Änderungszeit und Größe", "32818 Inhalt", "<", ">&Abgleichen als",
             "32882 Neuere kopieren", "32883 Spiegeln", "32884 In beide Richtungen mit Gedächtnis", "<", ">&Verknüpfungen",
             "32902 Folgen", "32903 Als Verknüpfung kopieren", "32904 Auslassen", "<", ">&Optionen",
             "32806 Sub-Ordner ausschließen", "32810 System-Ordner ausschließen",
             "32811 +/- 2 Sekunden", "32819 Eine Stunde Unterschied ignorieren", "-", "32796 Bestätigung vor Löschen",
             "32797 Bestätigung vor Überschreiben", "32813 Papierkorb verwenden", "32905 Kopien prüfen",
             "32798 Bestätigung vor Verzeichnis",
             "32812 Bestätigung > 5000 Dateien", "-", "32808 Beep", "<", "-", "32906 Inhalt prüfen", "32814 Protokoll anzeigen", "-",
             "32842 Auftrag speichern...", "32843 Aufträge..."},
            {"57667 &Hilfethemen\tF1", "-", "57664 Inf&o über Kirvo..."},
        };
        for (int i = 0; i < 5; ++i) QCOMPARE(Describe(menus[i]->menu()), expected[i]);
        // A choice of one among several shows as radio items.
        for (int id : {32783, 32816, 32882, 32902}) {
            QVERIFY(Action(frame, id)->actionGroup());
            QVERIFY(Action(frame, id)->actionGroup()->isExclusive());
        }
    }

    void commandsStartEnabledAndCheckedAsTheRulesSay() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        const QSet<int> disabled{57600, 57601, 57603, 57604, 57607, 57609, 57606, 57616,
                                 32794, 57634, 32789, 32791, 32822, 32820, 32821,
                                 32824, 32825, 32826, 32827, 32828};
        const QSet<int> checked{59392, 59393, 32809, 32785, 32812, 32796, 32797, 32811, 32808, 32813, 32816, 32882, 32902};
        const QSet<int> checkable = checked + QSet<int>{32783, 32786, 32787, 32788, 32806, 32810, 32798, 32817,
                                                        32818, 32819, 32883, 32884, 32903, 32904, 32905};
        for (QAction* action : frame.actions().all()) {
            const int id = action->data().toInt();
            if (id == 32792) continue;
            QCOMPARE(action->isEnabled(), !disabled.contains(id));
            QCOMPARE(action->isCheckable(), checkable.contains(id));
            QCOMPARE(action->isChecked(), checked.contains(id));
        }
        // Greyed on the toolbar as well.
        QVERIFY(!frame.toolBar()->widgetForAction(Action(frame, 32794))->isEnabled());
        QVERIFY(frame.toolBar()->widgetForAction(Action(frame, 32775))->isEnabled());
    }

    void promptsAndShortcuts() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        QCOMPARE(Action(frame, 32794)->statusTip(), "Kopiert die ausgewählten Dateien von Quelle und Ziel.");
        QCOMPARE(Action(frame, 32791)->statusTip(), "Es werden alle Dateien in der Liste markiert");
        QCOMPARE(Action(frame, 32811)->statusTip(), "Abweichunden von 2 Sekunden werden igoriert.");
        QCOMPARE(Action(frame, 32786)->statusTip(),
                 "Es werden nur die Dateien angezeigt die von der Quelle zum Ziel kopiert werden müssen.");
        QCOMPARE(Action(frame, 1003)->statusTip(), "Zeigt ein Dialogfeld zum auswählen vom Quellpfad an.");

        using K = QKeySequence;
        QCOMPARE(Action(frame, 32791)->shortcuts(), QList<K>{K(Qt::CTRL | Qt::Key_A)});
        QCOMPARE(Action(frame, 57634)->shortcuts(),
                 (QList<K>{K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}));
        QCOMPARE(Action(frame, 32789)->shortcuts(), QList<K>{K(Qt::Key_Delete)});
        QCOMPARE(Action(frame, 57600)->shortcuts(), QList<K>{K(Qt::CTRL | Qt::Key_N)});
        QCOMPARE(Action(frame, 57601)->shortcuts(), QList<K>{K(Qt::CTRL | Qt::Key_O)});
        QCOMPARE(Action(frame, 57607)->shortcuts(), QList<K>{K(Qt::CTRL | Qt::Key_P)});
        QCOMPARE(Action(frame, 57603)->shortcuts(), QList<K>{K(Qt::CTRL | Qt::Key_S)});
        QCOMPARE(Action(frame, 32792)->shortcuts(), QList<K>{K(Qt::ALT | Qt::Key_AsciiTilde)});
        QCOMPARE(Action(frame, 32775)->shortcuts(), QList<K>{K(Qt::Key_F5)});
        QCOMPARE(Action(frame, 57667)->shortcuts(), QList<K>{K(Qt::Key_F1)});
        QCOMPARE(Action(frame, 32794)->shortcuts(), QList<K>{K(Qt::Key_F9)});
        QCOMPARE(Action(frame, 32862)->shortcuts(), QList<K>{K(Qt::CTRL | Qt::Key_Z)});
    }

    void toolbarHasTheButtonsThatCanWorkWithTips() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        QStringList layout;
        for (QAction* action : frame.toolBar()->actions()) {
            layout << (action->isSeparator() ? QStringLiteral("|")
                                             : QString::number(action->data().toInt()) + u' ' +
                                                   action->toolTip());
        }
        // Without "Neu", "Öffnen", "Speichern" and "Drucken", which never work (their menu items stay).
        QCOMPARE(layout, (QStringList{"32794 Dateien abgleichen", "57634 Kopieren", "32789 Löschen", "|",
                                      "32775 Pfade vergleichen", "32783 Alle Dateien",
                                      "32785 Ungleiche Dateien", "32786 Quelle", "32787 Ziel",
                                      "32788 Gleiche Dateien", "|", "57664 Info"}));
        // Comparing and synchronising carry their names beside the icons.
        for (int id : {32775, 32794}) {
            auto* button = qobject_cast<QToolButton*>(frame.toolBar()->widgetForAction(Action(frame, id)));
            QVERIFY(button);
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        }
    }

    void windowTitleStatusBarAndOutputBar() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        QCOMPARE(frame.windowTitle(), "Unbenannt - Kirvo");
        QCOMPARE(frame.messagePane()->text(), "Bereit");
        // No lock-key panes ("UF", "NUM", "RF").
        for (const QLabel* pane : frame.statusBar()->findChildren<QLabel*>())
            QVERIFY2(!QStringList({"UF", "NUM", "RF"}).contains(pane->text()), qPrintable(pane->text()));
        // The empty fields and the empty list say what to do first.
        QVERIFY(!frame.pathBar()->comboBox(PathBar::Side::Source)->lineEdit()->placeholderText().isEmpty());
        QVERIFY(!frame.pathBar()->comboBox(PathBar::Side::Target)->lineEdit()->placeholderText().isEmpty());
        QCOMPARE(frame.view()->emptyHint(), "Quelle und Ziel angeben, dann „Pfade vergleichen“ (F5).");

        QStatusTipEvent tip(QStringLiteral("Kopiert die markierten Dateien."));
        QApplication::sendEvent(&frame, &tip);
        QCOMPARE(frame.messagePane()->text(), "Kopiert die markierten Dateien.");
        QStatusTipEvent noTip{QString()};
        QApplication::sendEvent(&frame, &noTip);
        QCOMPARE(frame.messagePane()->text(), "Bereit");

        OutputBar* bar = frame.outputBar();
        QCOMPARE(bar->windowTitle(), "Ausgabe");
        QCOMPARE(bar->allowedAreas(), Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
        QCOMPARE(frame.dockWidgetArea(bar), Qt::TopDockWidgetArea);
        for (int id : {1009, 1010, 1011, 1012}) {
            QVERIFY(bar->field(id));
            QVERIFY(bar->field(id)->isReadOnly());
        }
        QCOMPARE(bar->field(1012)->statusTip(), "Anzahl der ausgewählten Ordner und ihre Größe im Zielpfad");
        // Docked: no title bar above the fields, no float or close button.
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY2(bar->field(1009)->mapTo(bar, QPoint(0, 0)).y() < bar->fontMetrics().height(),
                 "a title bar above the fields");
        for (QAbstractButton* button : bar->findChildren<QAbstractButton*>()) QVERIFY(!button->isVisible());
        // Floating: the caption "Ausgabe" with its buttons; docked again, none.
        bar->setFloating(true);
        QVERIFY(!bar->titleBarWidget());
        QCOMPARE(bar->windowTitle(), "Ausgabe");
        bar->setFloating(false);
        QVERIFY(bar->titleBarWidget());
        QVERIFY(bar->field(1009)->mapTo(bar, QPoint(0, 0)).y() < bar->fontMetrics().height());
        bar->setFieldText(1009, QStringLiteral("3 Dateien"));
        QCOMPARE(bar->fieldText(1009), "3 Dateien");

        frame.OnCommand(CommandId::ViewOutputBar);
        QVERIFY(bar->isHidden());
        QVERIFY(!Action(frame, 32809)->isChecked());
        frame.OnCommand(CommandId::ViewOutputBar);
        QVERIFY(!bar->isHidden());
        QVERIFY(Action(frame, 32809)->isChecked());
        frame.OnCommand(CommandId::ViewToolbar);
        QVERIFY(frame.toolBar()->isHidden());
        QVERIFY(!Action(frame, 59392)->isChecked());
        frame.OnCommand(CommandId::ViewStatusBar);
        QVERIFY(frame.statusBar()->isHidden());
        QVERIFY(!Action(frame, 59393)->isChecked());

        // On an English desktop: title, menus, commands, status and bar in English.
        const test::EnglishTexts english;
        QVERIFY(english.switched());
        CMainFrame englishFrame(store);
        QCOMPARE(englishFrame.windowTitle(), "Untitled - Kirvo");
        QCOMPARE(englishFrame.menuBar()->actions().first()->text(), "&File");
        QCOMPARE(Action(englishFrame, 32775)->text(), "Compare Paths\tF5");
        QCOMPARE(Action(englishFrame, 57600)->text(), "&New\tCtrl+N");
        QCOMPARE(Action(englishFrame, 32789)->text(), "Delete\tDel");
        QCOMPARE(englishFrame.messagePane()->text(), "Ready");
        QCOMPARE(englishFrame.outputBar()->windowTitle(), "Output");
    }

    void columnsFollowTheStoredWindowWidthAndTheFont_data() {
        QTest::addColumn<int>("cx");
        QTest::addColumn<int>("nameWidth");
        QTest::addColumn<int>("fontPixels");  // 0: the platform's font
        QTest::newRow("first start") << -1 << 200 << 0;
        QTest::newRow("cx 1") << 1 << 200 << 0;
        QTest::newRow("cx 890") << 890 << 193 << 0;
        QTest::newRow("cx 1000") << 1000 << 248 << 0;
        QTest::newRow("cx 1000, large font") << 1000 << 248 << 22;
        QTest::newRow("tiny font") << -1 << 200 << 6;
    }
    void columnsFollowTheStoredWindowWidthAndTheFont() {
        QFETCH(int, cx);
        QFETCH(int, nameWidth);
        QFETCH(int, fontPixels);
        const QFont before = QApplication::font();
        if (fontPixels > 0) {
            QFont font = before;
            font.setPixelSize(fontPixels);
            QApplication::setFont(font);
        }
        InMemoryProfileStore store;
        if (cx >= 0) store.WriteProfileInt("Main", "cx", cx);
        CMainFrame frame(store);
        QApplication::setFont(before);
        CKirvoView* view = frame.view();
        QHeaderView* header = view->header();
        QAbstractItemModel* model = view->model();
        const QStringList titles{"Name", "Größe", "Geändert am", "Pfad", "<->",
                                 "Name", "Größe", "Geändert am", "Pfad"};
        const int least[] = {nameWidth, 70, 115, 34, 50, nameWidth, 70, 115, 34};
        const bool exact[] = {true, false, false, false, true, true, false, false, false};
        const Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignRight,
                                            Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignLeft,
                                            Qt::AlignRight, Qt::AlignRight, Qt::AlignLeft};
        QCOMPARE(model->columnCount(), 9);
        QCOMPARE(model->rowCount(), 0);
        for (int c = 0; c < 9; ++c) {
            QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), titles[c]);
            if (exact[c]) QCOMPARE(header->sectionSize(c), least[c]);
            QVERIFY2(header->sectionSize(c) >= least[c], qPrintable(QString::number(c)));
            const auto alignment =
                Qt::Alignment(model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt());
            QCOMPARE(alignment & Qt::AlignHorizontal_Mask, horizontal[c]);
        }
        // A model set later keeps the layout, and its dates, sizes and short
        // paths show in full in the list's font.
        const int dateWidth = header->sectionSize(2);
        auto* rows = ModelWithRows(&frame, 1);
        const QStringList cells{"4194304 KB", "31.12.2099 23:59:59", "Docs/a.txt"};  // columns 1 to 3
        for (int side : {0, 5}) {
            for (int i = 0; i < 3; ++i) rows->setItem(0, side + 1 + i, new QStandardItem(cells[i]));
        }
        view->setModel(rows);
        QCOMPARE(header->sectionSize(0), nameWidth);
        QCOMPARE(header->sectionSize(2), dateWidth);
        for (int c : {1, 2, 3, 6, 7, 8}) {
            bool shortened = true;
            QCOMPARE(view->shownText(rows->index(0, c), &shortened), rows->item(0, c)->text());
            QVERIFY2(!shortened, qPrintable(rows->item(0, c)->text()));
        }
    }

    void columnsKeepBothSidesInViewAtEverySize_data() {
        QTest::addColumn<QSize>("client");
        QTest::newRow("800x600") << QSize(800, 600);
        QTest::newRow("920x640, the default") << QSize(920, 640);
        QTest::newRow("1600x900") << QSize(1600, 900);
    }
    void columnsKeepBothSidesInViewAtEverySize() {
        QFETCH(QSize, client);
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        frame.resize(client);
        QHeaderView* header = frame.view()->header();
        const int width = frame.view()->viewport()->width();
        // Both sides' name, size and date within the list, the names not
        // squeezed below their least; a wide window fills its width.
        QTRY_VERIFY2(header->sectionViewportPosition(7) + header->sectionSize(7) <= width,
                     qPrintable(QString::number(header->length()) + " > " + QString::number(width)));
        for (int name : {0, 5}) QVERIFY(header->sectionSize(name) >= ListColumns::kMinNameWidth);
        if (client.width() > 1200) {
            QCOMPARE(header->length(), width);
            QVERIFY(header->sectionSize(0) > frame.view()->initialColumnWidth(0));
        }
        // A column the user widens stays so; the window still shares out what it gains.
        header->resizeSection(3, header->sectionSize(3) + 40);
        const int path = header->sectionSize(3);
        const int name = header->sectionSize(5);
        frame.resize(client + QSize(60, 0));
        QTRY_VERIFY(header->sectionSize(5) > name);
        QVERIFY(header->sectionSize(3) >= path);
    }

    void keyboardAloneComparesAndSynchronises() {
        test::TempDir dir;
        test::MakeTree(dir / "q", {{"neu.txt", 1'400'000'000, "neu"}, {"x.txt", 1'400'000'000, "x neu"},
                                   {"y.txt", 1'400'000'000, "y neu"}});
        test::MakeTree(dir / "z", {{"alt.txt", 1'300'000'000, "alt"}, {"x.txt", 1'300'000'000, "x alt"},
                                   {"y.txt", 1'300'000'000, "y alt"}});
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        const auto key = [](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), k, modifiers);
        };
        // Every question is answered with a key to the widget that has the
        // focus: "Ja, alle" by its letter, Return else, Escape once declining.
        QStringList asked;
        bool declining = false;
        QPointer<QWidget> last;
        QTimer answering;
        connect(&answering, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal != last && modal->objectName() == "syncPlanDialog") {
                last = modal;
                asked << modal->windowTitle();
                QTimer::singleShot(0, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); });
                return;
            }
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box || box == last) return;
            last = box;
            asked << box->text();
            const Qt::Key answer = declining                   ? Qt::Key_Escape
                                   : box->buttons().size() == 4 ? Qt::Key_A
                                                                : Qt::Key_Return;
            QTimer::singleShot(0, [answer] { QTest::keyClick(QApplication::focusWidget(), answer); });
        });
        answering.start(20);

        // The source field has the focus; Tab goes to its "...", then to the target field.
        QCOMPARE(QApplication::focusWidget(), frame.pathBar()->comboBox(PathBar::Side::Source));
        QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(dir / "q"));
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), frame.pathBar()->browseButton(PathBar::Side::Source));
        key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(dir / "z"));
        key(Qt::Key_Return);
        QTRY_VERIFY(!frame.controller()->comparing());
        QCOMPARE(frame.view()->rowCount(), 5);  // the folder row and four unequal files
        QCOMPARE(QApplication::focusWidget(), frame.pathBar()->comboBox(PathBar::Side::Target));  // where it was
        QCOMPARE(frame.windowTitle(), QString::fromStdString(dir / "q" + " ↔ " + dir / "z" + " - Kirvo"));
        key(Qt::Key_Tab);
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), frame.view());

        // Shift+F10 opens the list's menu; Escape closes it.
        key(Qt::Key_Down);
        QStringList menu;
        QTimer::singleShot(0, [&menu] {
            if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* item : popup->actions()) menu << item->text();
                QTest::keyClick(popup, Qt::Key_Escape);
            }
        });
        key(Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY2(menu.contains("Dateien vergleichen"), qPrintable(menu.join(", ")));
        QApplication::setActiveWindow(&frame);  // what the window manager does once the menu is gone
        QTRY_COMPARE(QApplication::focusWidget(), frame.view());

        // F9 synchronises after one question, the plan, and "Ja, alle" for the files it replaces.
        key(Qt::Key_F9);
        QTRY_VERIFY(!frame.controller()->comparing());
        QCOMPARE(test::ReadFile(dir / "z/neu.txt"), "neu");
        QCOMPARE(test::ReadFile(dir / "z/x.txt"), "x neu");
        QCOMPARE(test::ReadFile(dir / "z/y.txt"), "y neu");
        QCOMPARE(test::ReadFile(dir / "q/alt.txt"), "alt");
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.first(), "Dateien abgleichen");
        QCOMPARE(frame.view()->rowCount(), 0);
        QCOMPARE(frame.view()->emptyHint(), "Keine ungleichen Dateien.");

        // Ctrl+Z offers to undo that run; Escape keeps everything.
        QApplication::setActiveWindow(&frame);  // the window manager's part after the questions
        QTRY_COMPARE(QApplication::focusWidget(), frame.view());
        declining = true;
        key(Qt::Key_Z, Qt::ControlModifier);
        QTRY_COMPARE(asked.size(), 3);
        QVERIFY2(asked.last().contains("Rückgängig machen"), qPrintable(asked.last()));
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(test::ReadFile(dir / "z/x.txt"), "x neu");
    }

    void rowAndSelectionRulesEnableTheFileCommands() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        CKirvoView* view = frame.view();
        view->setModel(ModelWithRows(&frame, 3));
        QVERIFY(Action(frame, 32794)->isEnabled());
        QVERIFY(Action(frame, 32791)->isEnabled());
        QVERIFY(!Action(frame, 57634)->isEnabled());
        QVERIFY(!Action(frame, 32789)->isEnabled());
        view->selectionModel()->select(view->model()->index(1, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(Action(frame, 57634)->isEnabled());
        QVERIFY(Action(frame, 32789)->isEnabled());
        view->clearSelection();
        QVERIFY(!Action(frame, 57634)->isEnabled());
        view->model()->removeRows(0, 3);
        QVERIFY(!Action(frame, 32794)->isEnabled());
        QVERIFY(!Action(frame, 32791)->isEnabled());
    }

    void filterAndOptionCommandsMoveTheirCheckMarks() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        Action(frame, 32788)->trigger();
        QCOMPARE(frame.controller()->displayFilter().value(), DisplayFilterValue::Equal);
        for (int id : {32783, 32785, 32786, 32787, 32788}) {
            QCOMPARE(Action(frame, id)->isChecked(), id == 32788);
        }
        QVERIFY(frame.toolBar()->widgetForAction(Action(frame, 32788))->property("checked").toBool());

        Action(frame, 32806)->trigger();  // Sub-Ordner ausschließen: off -> on
        QVERIFY(frame.controller()->options().subOrdner());
        QVERIFY(Action(frame, 32806)->isChecked());
        Action(frame, 32808)->trigger();  // Beep: on -> off
        QCOMPARE(frame.controller()->options().value(Option::Beep), 0);
        QVERIFY(!Action(frame, 32808)->isChecked());
        QCOMPARE(store.size(), 0u);  // toggling writes nothing
    }

    void storedOptionSevenShowsACheckMark() {
        InMemoryProfileStore store;
        store.WriteProfileInt("Optionen", "OneSecond", 7);
        CMainFrame frame(store);
        QVERIFY(Action(frame, 32811)->isChecked());
        frame.OnCommand(CommandId::OptionOneSecond);
        QCOMPARE(frame.controller()->options().value(Option::OneSecond), 0);
        frame.OnCommand(CommandId::OptionOneSecond);
        QCOMPARE(frame.controller()->options().value(Option::OneSecond), 1);
    }

    void editingKeysInAPathFieldStayWithTheField() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        CKirvoView* view = frame.view();
        view->setModel(ModelWithRows(&frame, 2));
        view->selectAll();
        QVERIFY(Action(frame, 32789)->isEnabled());
        QSignalSpy commands(&frame.actions(), &CommandActions::commandTriggered);

        // Keys go to the window, as the window system sends them; Qt hands
        // them to the focus widget.
        QWindow* window = frame.windowHandle();
        QLineEdit* edit = frame.pathBar()->comboBox(PathBar::Side::Source)->lineEdit();
        QTest::mouseClick(edit, Qt::LeftButton);
        edit->setText(QStringLiteral("/abc"));
        edit->setCursorPosition(0);
        QTest::keyClick(window, Qt::Key_Delete);
        QCOMPARE(edit->text(), "abc");
        QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(commands.count(), 0);

        view->setFocus();
        QTest::keyClick(window, Qt::Key_Delete);
        QCOMPARE(commands.count(), 1);
        QCOMPARE(commands.at(0).at(0).value<CommandId>(), CommandId::DeleteSelected);
    }

    void statusNoticeShowsForTwoSecondsWithoutBlocking() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QApplication::setActiveWindow(&frame);
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        frame.view()->setFocus();
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(frame.windowHandle(), Qt::Key_AsciiTilde, Qt::AltModifier);
        QVERIFY(clock.elapsed() < 1000);  // the event loop keeps running
        QCOMPARE(frame.messagePane()->text(), CMainFrame::NoticeText());
        QTest::qWait(1000);
        if (clock.elapsed() < 1900) QCOMPARE(frame.messagePane()->text(), CMainFrame::NoticeText());
        QTRY_COMPARE_WITH_TIMEOUT(frame.messagePane()->text(), QStringLiteral("Bereit"), 5000);
        // Two seconds, bounded on both sides (the upper bound leaves room for a busy machine).
        QVERIFY2(clock.elapsed() >= 2000 && clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    }

    void aboutBoxShowsTheSixLines() {
        CAboutDlg dialog;
        QCOMPARE(dialog.windowTitle(), "Info über Kirvo");
        QVERIFY(dialog.textField()->isReadOnly());
        const QString expected = QString::fromStdString(BuildAboutText(VersionInfo::Program()));
        QCOMPARE(dialog.textField()->toPlainText(),
                 QString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QCOMPARE(dialog.textField()->document()->blockCount(), 7);  // six lines and the last end
        QVERIFY(dialog.textField()->toPlainText().contains("Product Version:  1.5.1.12"));
    }

    void aboutGoesToTheApplicationAndHelpOpensItsPage() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        QSignalSpy passedOn(&frame, &CMainFrame::unhandledCommand);
        frame.OnCommand(CommandId::AppAbout);
        QCOMPARE(passedOn.count(), 1);

        QString helpTitle;
        QString helpText;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            helpTitle = modal->windowTitle();
            if (auto* browser = modal->findChild<QTextBrowser*>()) helpText = browser->toPlainText();
            modal->close();
        });
        frame.OnCommand(CommandId::HelpFinder);
        QCOMPARE(helpTitle, "Kirvo – Hilfethemen");
        QVERIFY(helpText.contains("---> Die Datei der Quelle ist neuer"));
        QVERIFY(helpText.contains("+/- 2 Sekunden: Zeiten im selben Monat"));
        QVERIFY(helpText.contains("in verschiedenen Monaten, sind sie ungleich, auch wenn nur eine Sekunde"));
        QVERIFY(helpText.contains("auf anderen Dateisystemen ist kein Ordner ein System-Ordner"));

        // Extras > "Protokoll anzeigen": the log, read-only, its end in view.
        OperationLog log;
        QVERIFY(log.write({OperationLog::kTrashed, "/z/brief.odt", "/t/files/brief.odt", 7, {}, OperationLog::kOk}));
        QString logTitle, logText;
        bool readOnly = false;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            logTitle = modal->windowTitle();
            if (auto* text = modal->findChild<QPlainTextEdit*>()) {
                logText = text->toPlainText();
                readOnly = text->isReadOnly();
            }
            modal->close();
        });
        frame.actions().action(CommandId::ShowLog)->trigger();
        QCOMPARE(logTitle, "Kirvo – Protokoll");
        QVERIFY(readOnly);
        QVERIFY2(logText.contains("\tPapierkorb\t/z/brief.odt\t/t/files/brief.odt\t7\t\tok"), qPrintable(logText));
    }

    void disabledCommandsDoNotRun() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        QSignalSpy passedOn(&frame, &CMainFrame::unhandledCommand);
        frame.OnCommand(CommandId::FileNew);
        frame.OnCommand(CommandId::FilePrint);
        QCOMPARE(passedOn.count(), 0);
    }

    void eachFrameShowsItsOwnTotals() {
        // The list's totals reach the bar of its own window, never the bar of
        // a window made later (or one already gone).
        test::TempDir dir;
        test::MakeTree(dir / "q", {{"a.txt"}});
        test::MakeTree(dir / "z", {});
        InMemoryProfileStore store;
        auto first = std::make_unique<CMainFrame>(store);
        CMainFrame second(store);
        first->pathBar()->setText(PathBar::Side::Source, QString::fromStdString(dir / "q"));
        first->pathBar()->setText(PathBar::Side::Target, QString::fromStdString(dir / "z"));
        first->OnCommand(CommandId::PfadeVergleichen);
        QTRY_VERIFY(!first->controller()->comparing());
        QVERIFY(first->outputBar()->fieldText(1009).startsWith("1 Datei in 1 Ordner"));
        QCOMPARE(second.outputBar()->fieldText(1009), QString());
        QVERIFY(first->windowTitle().contains(QString::fromStdString(dir / "z")));
        QCOMPARE(second.windowTitle(), "Unbenannt - Kirvo");
        first.reset();
        second.controller()->FillList();
        QVERIFY(second.outputBar()->fieldText(1009).startsWith("0 Dateien in 0 Ordnern"));
    }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_qtest.moc"
