// Extras › "Auftrag speichern …" and "Aufträge" as a user goes through them:
// the pair and its settings saved under a name, and opened again later.
#include <QInputDialog>
#include <QTreeWidget>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "app/job_store.h"
#include "app/qt/jobs_dialog.h"
#include "fileops/qt/dialog_answerer.h"
#include "support/temp_tree.h"
#include "../../view/qt/view_fixture.h"

using namespace kirvo;
using namespace kirvo::test;

class JobsTest : public QObject {
    Q_OBJECT

private slots:
    void savedPairOpensWithItsSettingsAndCompares() {
        TempDir dir;
        MakeTree(dir / "q", {{"neu.txt", 1'400'000'000, "n"}, {"alt/x.tmp", 1'400'000'000, "x"}});
        MakeTree(dir / "z", {{"gleich.txt", 1'300'000'000, "g"}});
        std::string ignored;
        JobStore().Remove("abends", ignored);  // from an earlier run of this test
        Window w;
        w.pathBar()->setText(PathBar::Side::Source, QString::fromStdString(dir / "q"));
        w.pathBar()->setText(PathBar::Side::Target, QString::fromStdString(dir / "z"));
        w.frame.actions().action(CommandId::OptionSubOrdner)->trigger();
        w.frame.actions().action(CommandId::CompareByContent)->trigger();

        // The name is typed into the question; the confirmation is taken with Enter.
        DialogAnswerer answers({QStringLiteral("<Enter>")});
        QTimer::singleShot(0, [] {
            auto* question = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(question);
            QApplication::setActiveWindow(question);
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abends"));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        });
        w.frame.actions().action(CommandId::SaveJob)->trigger();
        QCOMPARE(answers.unexpected, 0);
        QVERIFY(answers.seen.at(0).text.startsWith(QStringLiteral("Auftrag „abends“ gespeichert")));
        Job job;
        std::vector<std::string> warnings;
        QVERIFY(JobStore().Load("abends", job, ignored, warnings));
        QCOMPARE(job.source, dir / "q");
        QCOMPARE(job.target, dir / "z");
        QVERIFY(job.excludeSubFolders);
        QCOMPARE(job.compareBy, CompareBy::Content);

        // Later, with other paths and settings: "Aufträge", the job, "Öffnen".
        w.pathBar()->setText(PathBar::Side::Source, QStringLiteral("/anderswo"));
        w.frame.actions().action(CommandId::OptionSubOrdner)->trigger();
        w.frame.actions().action(CommandId::CompareByTime)->trigger();
        bool listed = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<JobsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            const QTreeWidgetItem* job = dialog->list()->currentItem();
            listed = job->text(0) == QStringLiteral("abends") && job->text(3) == QStringLiteral("Neuere kopieren");
            QTest::mouseClick(dialog->button(QStringLiteral("open")), Qt::LeftButton);
            if (dialog->isVisible()) dialog->reject();
        });
        w.frame.actions().action(CommandId::ShowJobs)->trigger();
        w.WaitForComparison();
        QVERIFY(listed);
        QCOMPARE(w.pathBar()->text(PathBar::Side::Source), QString::fromStdString(dir / "q"));
        QVERIFY(w.controller()->options().subOrdner());
        QCOMPARE(w.controller()->options().compareBy(), CompareBy::Content);
        QCOMPARE(w.controller()->matcher().pairCount(), 2);  // neu.txt and gleich.txt; alt/ is not in the target
        JobStore().Remove("abends", ignored);
    }
};

QTEST_MAIN(JobsTest)
#include "jobs_qtest.moc"
