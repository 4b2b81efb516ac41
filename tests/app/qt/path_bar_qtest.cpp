// The two path fields: histories as loaded and updated, the length limit,
// the folder chooser and the keys that start a comparison.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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
        QCOMPARE(source->lineEdit()->maxLength(), 259);
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
        QCOMPARE(prompts.log.size(), 2);  // the list's sound, and the missing target's message
        QCOMPARE(prompts.log[1], "warn: Das Ziel „/ziel-gibt-es-nicht“ existiert nicht. Es wird als leerer Ordner verglichen.");
        frame.controller()->setUserPrompts(nullptr);
    }

    void overlongPathsAreCutAt259() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        QComboBox* source = frame.pathBar()->comboBox(PathBar::Side::Source);
        const QString longPath = u'/' + QString(300, u'x');
        QApplication::clipboard()->setText(longPath);
        source->lineEdit()->clear();
        source->lineEdit()->paste();
        QCOMPARE(source->currentText(), longPath.left(259));
        frame.pathBar()->setText(PathBar::Side::Source, longPath);
        QCOMPARE(source->currentText().size(), 259);
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

    void aDroppedFolderGivesItsPath() {
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QLineEdit* edit = frame.pathBar()->comboBox(PathBar::Side::Target)->lineEdit();
        QVERIFY(test::DropPaths(edit, {QStringLiteral("/media/stick/Fotos")}));
        QCOMPARE(edit->text(), "/media/stick/Fotos");
    }

    void returnInAFieldComparesAndTabFollowsTheBarOrder() {
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

        QCOMPARE(bar->browseButton(PathBar::Side::Source)->nextInFocusChain(),
                 bar->comboBox(PathBar::Side::Target));
    }
};

QTEST_MAIN(PathBarTest)
#include "path_bar_qtest.moc"
