// One file of the list: its differences (built-in view or another program,
// reached by double-click, Enter and the context menu), opened, shown in the
// file manager, its path copied, excluded. Files on another machine are
// fetched first.
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QScopeGuard>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>

#include "support/ssh_server.h"
#include "support/temp_tree.h"
#include "view/qt/file_diff_dialog.h"
#include "view_fixture.h"

using namespace kirvo;
using namespace kirvo::test;

namespace {

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = kOld + 7200;

FileDiffDialog* OpenDiffDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<FileDiffDialog*>(widget); dialog && dialog->isVisible()) return dialog;
    }
    return nullptr;
}

QPoint CellCenter(const Window& w, int row, int column) {
    return w.view()->visualRect(w.model()->index(row, column)).center();
}

// The item `text` of the list's context menu at a cell, chosen with the keyboard.
void ChooseFromContextMenu(const Window& w, int row, int column, const QString& text) {
    QTimer::singleShot(50, [text] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* action : menu->actions()) {
            if (action->text() == text) menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    const QPoint at = CellCenter(w, row, column);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, w.view()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(w.view()->viewport(), &event);
}

}  // namespace

class FileDiffTest : public QObject {
    Q_OBJECT

public slots:
    // Where QDesktopServices sends file URLs in these tests.
    void opened(const QUrl& url) { opened_ << url.toLocalFile(); }

private slots:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "opened"); }

    void theDifferencesOfTwoFiles_data() {
        QTest::addColumn<bool>("remoteTarget");
        QTest::newRow("local") << false;
        QTest::newRow("target on another machine") << true;
    }
    void theDifferencesOfTwoFiles() {
        QFETCH(bool, remoteTarget);
        std::optional<SshServer> server;
        if (remoteTarget) {
            server.emplace();
            if (!server->running()) QSKIP(server->error().c_str());
        }
        TempDir dir;
        MakeTree(dir / "q", {{"sub/text.txt", kNew, "eins\nzwei\ndrei\n"}, {"nur.txt", kNew}});
        MakeTree(dir / "z", {{"sub/text.txt", kOld, "eins\nZWEI\ndrei\n"}});
        Window w;
        w.SetOption(Option::Beep, false);
        w.Compare(dir / "q", remoteTarget ? server->Url(dir / "z") : dir / "z");
        w.ShowWithFocusInList();
        const int row = w.RowOf("text.txt");
        // None of the usual programs in PATH: the built-in view.
        const QByteArray path = qgetenv("PATH");
        const QTemporaryDir emptyBin;
        qputenv("PATH", QFile::encodeName(emptyBin.path()));
        const auto restorePath = qScopeGuard([&path] { qputenv("PATH", path); });

        // A double-click on the row: the built-in view, side by side.
        QTest::mouseDClick(w.view()->viewport(), Qt::LeftButton, {}, CellCenter(w, row, 3));
        QTRY_VERIFY(OpenDiffDialog() && OpenDiffDialog()->ready());
        FileDiffDialog* dialog = OpenDiffDialog();
        QCOMPARE(dialog->summary(), "1 Unterschied.");
        QCOMPARE(dialog->leftText().split(u'\n').at(1).simplified(), "2 zwei");
        QCOMPARE(dialog->rightText().split(u'\n').at(1).simplified(), "2 ZWEI");
        dialog->close();
        QTRY_VERIFY(!OpenDiffDialog());
        w.ShowWithFocusInList();

        // Enter on a row with one file does nothing; on the row with both, the
        // program set gets the two files' full paths (fetched from the other machine).
        QTemporaryDir bin;
        const QString program = bin.filePath(QStringLiteral("vergleich"));
        const QString arguments = bin.filePath(QStringLiteral("argumente"));
        WriteFile(program.toStdString(), "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + arguments.toStdString() + "\n", kOld);
        QFile(program).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        w.controller()->options().setDiffProgram(program.toStdString());
        w.view()->setCurrentIndex(w.model()->index(w.RowOf("nur.txt"), 0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        w.view()->setCurrentIndex(w.model()->index(row, 0));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        const auto given = [&arguments] {
            if (!QFile::exists(arguments)) return QStringList();
            return QString::fromStdString(ReadFile(arguments.toStdString())).split(u'\n', Qt::SkipEmptyParts);
        };
        QTRY_COMPARE(given().size(), 2);
        const QStringList paths = given();
        QCOMPARE(paths[0].toStdString(), dir / "q/sub/text.txt");
        if (remoteTarget) {
            QVERIFY(paths[1].endsWith("/ziel/text.txt"));
            QCOMPARE(ReadFile(paths[1].toStdString()), "eins\nZWEI\ndrei\n");
        } else {
            QCOMPARE(paths[1].toStdString(), dir / "z/sub/text.txt");
        }
        QVERIFY(!OpenDiffDialog());
    }

    void theContextMenuActsOnThePointedFile() {
        TempDir dir;
        MakeTree(dir / "q", {{"sub/a [1].txt", kNew}, {"b.txt", kNew}});
        MakeTree(dir / "z", {{"sub/a [1].txt", kOld}});
        Window w;
        w.SetOption(Option::Beep, false);
        w.Compare(dir / "q", dir / "z");
        w.ShowWithFocusInList();
        const int row = w.RowOf("a [1].txt");
        ChooseFromContextMenu(w, row, 5, QStringLiteral("Pfad kopieren"));  // on the target's side
        QCOMPARE(QApplication::clipboard()->text().toStdString(), dir / "z/sub/a [1].txt");
        opened_.clear();
        ChooseFromContextMenu(w, row, 1, QStringLiteral("Öffnen"));
        QCOMPARE(opened_, QStringList{QString::fromStdString(dir / "q/sub/a [1].txt")});
        ChooseFromContextMenu(w, row, 1, QStringLiteral("Im Dateimanager zeigen"));  // no file manager here: the folder
        QCOMPARE(opened_.size(), 2);
        QCOMPARE(QDir::cleanPath(opened_[1]).toStdString(), dir / "q/sub");
        // "Ausschließen": that file alone is left out from now on.
        ChooseFromContextMenu(w, row, 1, QStringLiteral("Ausschließen"));
        w.WaitForComparison();
        QCOMPARE(w.RowOf("a [1].txt"), -1);
        QVERIFY(w.RowOf("b.txt") > 0);
        QCOMPARE(w.controller()->pathFilter().excludePatterns(), std::vector<std::string>{"/sub/a \\[1\\].txt"});
        QVERIFY(!w.frame.filterPane()->isHidden());
    }

private:
    QStringList opened_;
};

QTEST_MAIN(FileDiffTest)
#include "file_diff_qtest.moc"
