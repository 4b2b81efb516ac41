// Extras › "Auftrag speichern …" and "Aufträge" as a user goes through them:
// the pair and its settings saved under a name, and opened again later.
#include <QInputDialog>
#include <QLabel>
#include <QTreeWidget>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "app/job_store.h"
#include "app/qt/jobs_dialog.h"
#include "fileops/operation_log.h"
#include "platform/file_lock.h"
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

    // "Ausführen" changes nothing by itself: the window shows the job's plan
    // (its mode, direction and deletion limit, not the window's "Abgleichen
    // als"), and "Dateien abgleichen" runs it there with the usual questions.
    void runShowsThePlanAndSynchronisesInTheWindow() {
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt", 1'400'000'000, "neu"}});
        MakeTree(dir / "z", {{"a.txt", 1'300'000'000, "alt"}, {"weg.txt", 1'300'000'000, "w"}});
        Job job;
        job.name = "spiegel";
        job.source = dir / "q";
        job.target = dir / "z";
        job.mode = SyncMode::Mirror;
        job.direction = Job::Direction::ToTarget;
        job.maxDelete = "0";
        std::string error;
        QVERIFY(JobStore().Save(job, error));
        Window w;
        for (Option option : {Option::VorUeberschreiben, Option::VorLoeschen, Option::VorDir}) w.SetOption(option, false);
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<JobsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTest::mouseClick(dialog->button(QStringLiteral("run")), Qt::LeftButton);
        });
        w.frame.actions().action(CommandId::ShowJobs)->trigger();
        w.WaitForComparison();
        QCOMPARE(ReadFile(dir / "z/weg.txt"), "w");  // nothing done yet
        QCOMPARE(w.rowCount(), 3);                    // the folder row, a.txt and weg.txt
        QVERIFY(w.frame.actions().action(CommandId::SyncModeMirror)->isChecked());
        QCOMPARE(w.controller()->options().syncMode(), SyncMode::Update);  // the window's own stays
        QVERIFY(w.frame.messagePane()->text().startsWith(QStringLiteral("Auftrag „spiegel“ (Spiegeln, Quelle → Ziel)")));

        {
            // The job's own turn, as kirvo-cli run takes it: a run of it elsewhere is not overrun.
            FileLock elsewhere(JobStore::LockPathOf("spiegel"));
            QCOMPARE(elsewhere.tryTake(error), FileLock::State::Taken);
            w.frame.actions().action(CommandId::Synchronize)->trigger();
            w.WaitForComparison();
            QCOMPARE(w.prompts.log.last(), "warn: Der Auftrag \"spiegel\" läuft gerade; nichts wurde geändert.");
            QCOMPARE(ReadFile(dir / "z/weg.txt"), "w");
        }
        w.prompts.log.clear();
        w.frame.actions().action(CommandId::Synchronize)->trigger();
        w.WaitForComparison();
        QVERIFY(w.prompts.log.at(1).contains(QStringLiteral("mehr als die erlaubte Grenze")));  // the job's limit
        QVERIFY(!std::filesystem::exists(dir / "z/weg.txt"));
        QCOMPARE(ReadFile(dir / "z/a.txt"), "neu");
        QCOMPARE(w.rowCount(), 0);
        QCOMPARE(w.frame.messagePane()->text(), QStringLiteral("1 ersetzt, 1 in den Papierkorb"));
        // Its last run stands in the jobs dialog, as one by kirvo-cli run would.
        QString lastRun;
        QTimer::singleShot(0, [&lastRun] {
            auto* dialog = qobject_cast<JobsDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            lastRun = dialog->findChild<QTreeWidget*>(QStringLiteral("jobs"))->topLevelItem(0)->text(5);
            dialog->reject();
        });
        w.frame.actions().action(CommandId::ShowJobs)->trigger();
        QCOMPARE(lastRun.section(QStringLiteral(" – "), 1), QStringLiteral("1 ersetzt, 1 in den Papierkorb – Status 0"));
        JobStore().Remove("spiegel", error);
    }

    // A job run by its timer (or kirvo-cli, another Kirvo) changes the pair
    // the window shows: the list is compared again, without a click. A run
    // on another pair (here one whose path begins like the source's) does not.
    void aRunElsewhereOnTheShownPairComparesAgain() {
        TempDir dir;
        MakeTree(dir / "q", {{"a.txt", 1'400'000'000, "neu"}});
        MakeTree(dir / "z", {{"a.txt", 1'300'000'000, "alt"}});
        Window w;
        w.Compare(dir / "q", dir / "z");
        QCOMPARE(w.rowCount(), 2);
        const auto run = [](const std::string& from, const std::string& to) {
            OperationLog log;  // as another program writes it
            log.beginRun({"kirvo-cli run abends", from, to});
            log.write({OperationLog::kReplaced, from + "/a.txt", to + "/a.txt", 3, 3, OperationLog::kOk});
            log.endRun();
        };
        run(dir / "q2", dir / "z2");
        QTest::qWait(2500);
        QCOMPARE(w.rowCount(), 2);
        MakeTree(dir / "z", {{"a.txt", 1'400'000'000, "neu"}});
        run(dir / "q", dir / "z");
        QTRY_COMPARE_WITH_TIMEOUT(w.rowCount(), 0, 5000);
        w.WaitForComparison();
        QCOMPARE(w.frame.messagePane()->text(), QStringLiteral("Ein anderer Lauf hat die Ordner geändert; die Liste ist neu verglichen."));
    }
};

QTEST_MAIN(JobsTest)
#include "jobs_qtest.moc"
