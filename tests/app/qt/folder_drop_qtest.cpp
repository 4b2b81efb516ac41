// Folders dropped from a file manager onto the path fields and onto the list.
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QtTest>

#include "app/in_memory_profile_store.h"
#include "app/qt/folder_drop.h"
#include "app/qt/main_frame.h"
#include "app/qt/path_bar.h"
#include "drop_sequence.h"
#include "support/temp_tree.h"
#include "view/qt/kirvo_view.h"

using namespace kirvo;

namespace {

QMimeData* Urls(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data->setUrls(urls);
    return data;
}

}  // namespace

class FolderDropTest : public QObject {
    Q_OBJECT

private slots:
    void onlyExistingLocalFoldersCount() {
        test::TempDir dir;
        test::MakeTree(dir.path(), {{"a/x"}, {"b/y"}, {"file.txt"}});
        std::unique_ptr<QMimeData> data(Urls({QString::fromStdString(dir / "a"), QString::fromStdString(dir / "file.txt"),
                                              QString::fromStdString(dir / "fehlt"), QString::fromStdString(dir / "b")}));
        data->setUrls(data->urls() << QUrl("https://example.org/x"));
        QCOMPARE(DroppedFolders(data.get()),
                 (QStringList{QString::fromStdString(dir / "a"), QString::fromStdString(dir / "b")}));
        QVERIFY(DroppedFolders(nullptr).isEmpty());
    }

    void twoFoldersOnTheListFillBothFieldsAndCompare() {
        test::TempDir dir;
        test::MakeTree(dir.path(), {{"q/neu.txt"}, {"z/alt.txt"}});
        InMemoryProfileStore store;
        store.WriteProfileInt("Optionen", "Beep", 0);
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        CKirvoView* view = frame.view();
        const QString q = QString::fromStdString(dir / "q"), z = QString::fromStdString(dir / "z");
        QVERIFY(test::DropPaths(view->viewport(), {q, z}));
        QCOMPARE(frame.pathBar()->text(PathBar::Side::Source), q);
        QCOMPARE(frame.pathBar()->text(PathBar::Side::Target), z);
        QTRY_COMPARE(view->rowCount(), 3);  // one folder row, the source-only and the target-only file
    }

    void anythingButTwoFoldersOnTheListIsRefused() {
        test::TempDir dir;
        test::MakeTree(dir.path(), {{"q/a"}, {"z/b"}, {"f.txt"}});
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        CKirvoView* view = frame.view();
        const QString before = frame.pathBar()->text(PathBar::Side::Source);
        QVERIFY(!test::DropPaths(view->viewport(), {QString::fromStdString(dir / "q")}));
        QVERIFY(!test::DropPaths(view->viewport(), {QString::fromStdString(dir / "q"), QString::fromStdString(dir / "f.txt")}));
        QCOMPARE(frame.pathBar()->text(PathBar::Side::Source), before);
        QCOMPARE(view->rowCount(), 0);
    }

    void twoFoldersOnOnePathFieldFillBoth() {
        test::TempDir dir;
        test::MakeTree(dir.path(), {{"q/a"}, {"z/b"}});
        InMemoryProfileStore store;
        CMainFrame frame(store);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        PathBar* bar = frame.pathBar();
        const QString q = QString::fromStdString(dir / "q"), z = QString::fromStdString(dir / "z");
        QVERIFY(test::DropPaths(bar->comboBox(PathBar::Side::Target)->lineEdit(), {q, z}));
        QCOMPARE(bar->text(PathBar::Side::Source), q);
        QCOMPARE(bar->text(PathBar::Side::Target), z);
        QVERIFY(test::DropPaths(bar->comboBox(PathBar::Side::Target)->lineEdit(), {q}));
        QCOMPARE(bar->text(PathBar::Side::Target), q);
        QCOMPARE(bar->text(PathBar::Side::Source), q);
    }
};

QTEST_MAIN(FolderDropTest)
#include "folder_drop_qtest.moc"
