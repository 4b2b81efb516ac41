// "Extras > Filter...": the dialog as a user fills it in, the comparison run
// again at once, the status pane "Filter", and the patterns kept across runs
// in a real settings file. "Extras > Verknüpfungen" reaches the scan likewise.
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include <unistd.h>

#include "app/qt/filter_dialog.h"
#include "app/qt/qsettings_profile_store.h"
#include "fileops/qt/dialog_answerer.h"
#include "support/temp_tree.h"
#include "view_fixture.h"

using namespace kirvo;
using namespace kirvo::test;

namespace {

// Opens the dialog through the menu item and runs `fill` on it while it is up.
void WithFilterDialog(CMainFrame& frame, const std::function<void(FilterDialog&)>& fill) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<FilterDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        seen = true;
        QApplication::setActiveWindow(dialog);
        fill(*dialog);
        if (dialog->isVisible()) dialog->reject();  // a failed check above must not leave it open
    });
    QAction* item = frame.actions().action(CommandId::FilterPatterns);
    QVERIFY(item->isEnabled());
    item->trigger();
    QVERIFY(seen);
}

// Replaces the text of the field with the keyboard focus by these lines.
void TypeLines(const QStringList& lines) {
    QWidget* field = QApplication::focusWidget();
    QVERIFY(qobject_cast<QPlainTextEdit*>(field));
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClicks(field, lines[i]);
    }
}

void Click(FilterDialog& dialog, QDialogButtonBox::StandardButton which) {
    QPushButton* button = dialog.findChild<QDialogButtonBox*>()->button(which);
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList Listed(const Window& w) {
    QStringList paths;
    for (int row = 0; row < w.rowCount(); ++row) {
        if (w.State(row) == ResultRows::kFolder) continue;
        const QString path = w.model()->cellText(row, 3);
        paths << (path.isEmpty() ? w.model()->cellText(row, 8) : path);
    }
    return paths;
}

QStringList Strings(const std::vector<std::string>& list) {
    QStringList out;
    for (const std::string& s : list) out << QString::fromStdString(s);
    return out;
}

}  // namespace

class PathFilterTest : public QObject {
    Q_OBJECT

private slots:
    void aChangedFilterComparesAgainAndShowsThePane() {
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt"}, {"b.tmp"}, {"node_modules/x.js"}});
        MakeTree(dir / "z", {{"Z.TMP"}});
        Window w;
        w.frame.show();
        w.Compare(dir / "q", dir / "z");
        QCOMPARE(Listed(w), (QStringList{"a.txt", "b.tmp", "Z.TMP", "node_modules/x.js"}));
        QLabel* pane = w.frame.filterPane();
        QVERIFY(!pane->isVisible());
        WriteFile(dir / "q/c.txt", "new", 1'300'000'000);  // only a new scan lists it

        w.prompts.log.clear();
        WithFilterDialog(w.frame, [](FilterDialog& dialog) {
            QCOMPARE(dialog.includeField()->toPlainText(), "*");
            QCOMPARE(dialog.excludeField()->toPlainText(), "");
            QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);  // "&Ausschließen"
            QCOMPARE(QApplication::focusWidget(), dialog.excludeField());
            TypeLines({"*.tmp", "  node_modules/  ", ""});
            Click(dialog, QDialogButtonBox::Ok);
            QVERIFY(!dialog.isVisible());
        });
        w.WaitForComparison();
        QCOMPARE(Listed(w), (QStringList{"a.txt", "c.txt"}));
        QCOMPARE(w.prompts.log, QStringList{"beep"});  // one comparison
        QCOMPARE(Strings(w.controller()->pathFilter().excludePatterns()), (QStringList{"*.tmp", "node_modules/"}));
        QVERIFY(pane->isVisible());
        QCOMPARE(pane->text(), "Filter");
        QVERIFY(pane->toolTip().contains("Ausschließen:\n    *.tmp\n    node_modules/"));

        // An invalid pattern is named before the dialog closes; Abbrechen then changes nothing.
        DialogAnswerer boxes({"OK"});
        w.prompts.log.clear();
        WithFilterDialog(w.frame, [&](FilterDialog& dialog) {
            TypeLines({"*.txt", "[abc"});
            Click(dialog, QDialogButtonBox::Ok);
            QCOMPARE(boxes.seen.size(), size_t{1});
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.includeField()->textCursor().selectedText(), "[abc");
            Click(dialog, QDialogButtonBox::Cancel);
        });
        QCOMPARE(boxes.seen.front().text,
                 "Ungültiges Muster \"[abc\" unter \"Einschließen\": Die eckige Klammer [ wird nicht mit ] geschlossen.");
        QCOMPARE(boxes.seen.front().icon, QMessageBox::Warning);
        QCOMPARE(boxes.unexpected, 0);
        QVERIFY(w.prompts.log.isEmpty());  // nothing compared again
        QCOMPARE(Strings(w.controller()->pathFilter().includePatterns()), QStringList{"*"});

        // Back to the default: everything listed, no pane.
        WithFilterDialog(w.frame, [](FilterDialog& dialog) {
            QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
            TypeLines({""});
            Click(dialog, QDialogButtonBox::Ok);
        });
        w.WaitForComparison();
        QCOMPARE(Listed(w).size(), 5);
        QVERIFY(!pane->isVisible());
    }

    // Extras > "Verknüpfungen" as a user picks it: the list is made again at
    // once, with the link left out, then listed as itself (its text's length).
    void theLinksSettingFromTheMenuReachesTheScan() {
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt"}});
        test::MakeDirs(dir / "z");
        QCOMPARE(symlink("a.txt", (dir / "q/link.txt").c_str()), 0);
        Window w;
        w.frame.show();
        w.Compare(dir / "q", dir / "z");
        QCOMPARE(Listed(w), (QStringList{"a.txt", "link.txt"}));
        QCOMPARE(w.model()->cellText(w.RowOf("link.txt"), 1), w.model()->cellText(w.RowOf("a.txt"), 1));

        const auto pick = [&](const QString& text) {
            QMenu* extras = nullptr;
            for (QAction* menu : w.frame.menuBar()->actions())
                if (menu->text() == "E&xtras") extras = menu->menu();
            QVERIFY(extras);
            QMenu* links = nullptr;
            for (QAction* item : extras->actions())
                if (item->text() == "&Verknüpfungen") links = item->menu();
            QVERIFY(links);
            for (QAction* item : links->actions()) {
                if (item->text() != text) continue;
                QVERIFY(item->isEnabled());
                item->trigger();
                w.WaitForComparison();
                QVERIFY(item->isChecked());
                return;
            }
            QFAIL("no such item");
        };
        pick("Auslassen");
        QCOMPARE(Listed(w), QStringList{"a.txt"});
        pick("Als Verknüpfung kopieren");
        QCOMPARE(Listed(w), (QStringList{"a.txt", "link.txt"}));
        QCOMPARE(w.model()->cellText(w.RowOf("link.txt"), 1), "5 Byte");
        QCOMPARE(w.controller()->options().links(), LinkMode::Copy);
    }

    void beforeAnyComparisonNothingIsCompared() {
        Window w;
        WithFilterDialog(w.frame, [](FilterDialog& dialog) {
            TypeLines({"*.jpg"});
            Click(dialog, QDialogButtonBox::Ok);
        });
        QVERIFY(w.prompts.log.isEmpty());
        QCOMPARE(w.rowCount(), 0);
        QVERIFY(!w.frame.filterPane()->isHidden());
    }

    void thePatternsComeBackThroughARealSettingsFile() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Kirvo.conf"));
        // Bytes an INI file gives a meaning of its own: , ; = " # \ and a non-ASCII letter.
        const QStringList include{"*.jpg", "Fotos, alt/", "a;b=c"};
        const QStringList exclude{"#*#", "\"zitiert\"", "\\[x]", "~$*", "Übersicht*", "ende\\ "};
        {
            QSettingsProfileStore store(file);
            {
                CMainFrame frame(store);
                frame.show();
                WithFilterDialog(frame, [&](FilterDialog& dialog) {
                    TypeLines(include);
                    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
                    TypeLines(exclude);
                    Click(dialog, QDialogButtonBox::Ok);
                });
                frame.close();
            }
            store.Sync();
        }
        QFile ini(file);
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(ini.readAll());
        QVERIFY(text.contains("[Filter]"));
        QVERIFY(text.contains("Einschliessen="));
        QVERIFY(text.contains("Ausschliessen="));

        QSettingsProfileStore store(file);
        CMainFrame frame(store);
        QCOMPARE(Strings(frame.controller()->pathFilter().includePatterns()), include);
        QCOMPARE(Strings(frame.controller()->pathFilter().excludePatterns()), exclude);
        QVERIFY(!frame.filterPane()->isHidden());
        WithFilterDialog(frame, [&](FilterDialog& dialog) {
            QCOMPARE(dialog.includeField()->toPlainText(), include.join(u'\n'));
            QCOMPARE(dialog.excludeField()->toPlainText(), exclude.join(u'\n'));
        });
    }
};

QTEST_MAIN(PathFilterTest)
#include "path_filter_qtest.moc"
