// The window's dialogs of the file operations: the questions and their answers,
// the error report, and the progress dialog with its delay and Cancel, also
// through the real service on real trees.
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fileops/file_operation_texts.h"
#include "fileops/qt/qt_file_operation_service.h"
#include "fileops/qt/qt_file_operation_ui.h"
#include "fileops/qt/dialog_answerer.h"
#include "support/english_texts.h"
#include "support/temp_tree.h"

using namespace kirvo;
using test::DialogAnswerer;

namespace {

const QStringList kConfirmButtons{"Abbrechen", "Ja", "Ja, alle", "Nein"};

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = 1'400'000'000;

std::vector<std::string> FilesBelow(const std::string& root) {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) found.push_back(e.path().string().substr(root.size()));
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

class QtFileOperationUiTest : public QObject {
    Q_OBJECT

private slots:
    void folderQuestionAnswers_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("answer");
        QTest::newRow("Ja") << "Ja" << int(ConfirmAnswer::Yes);
        QTest::newRow("Ja, alle") << "Ja, alle" << int(ConfirmAnswer::YesToAll);
        QTest::newRow("Nein") << "Nein" << int(ConfirmAnswer::No);
        QTest::newRow("Abbrechen") << "Abbrechen" << int(ConfirmAnswer::Cancel);
        QTest::newRow("Escape") << "<Esc>" << int(ConfirmAnswer::Cancel);
        QTest::newRow("Enter") << "<Enter>" << int(ConfirmAnswer::Yes);
    }
    void folderQuestionAnswers() {
        QFETCH(QString, action);
        QFETCH(int, answer);
        QtFileOperationUi ui(nullptr);
        DialogAnswerer answerer({action});
        QCOMPARE(int(ui.confirmFolderCreation("/ziel/neu/tief")), answer);
        QCOMPARE(answerer.seen.size(), size_t(1));
        const auto& seen = answerer.seen[0];
        QCOMPARE(seen.title, "Kirvo");
        QCOMPARE(seen.text, "Der Ordner „/ziel/neu/tief“ existiert nicht.\nSoll er angelegt werden?");
        QCOMPARE(seen.buttons, kConfirmButtons);
        QCOMPARE(seen.defaultButton, "Ja");
    }

    void overwriteQuestionShowsBothFiles_data() {
        QTest::addColumn<bool>("destinationNewer");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("answer");
        QTest::newRow("older, Enter replaces") << false << "<Enter>" << int(ConfirmAnswer::Yes);
        QTest::newRow("older, Ja, alle") << false << "Ja, alle" << int(ConfirmAnswer::YesToAll);
        QTest::newRow("newer, Enter keeps it") << true << "<Enter>" << int(ConfirmAnswer::No);
        QTest::newRow("newer, Ja") << true << "Ja" << int(ConfirmAnswer::Yes);
        QTest::newRow("newer, Escape") << true << "<Esc>" << int(ConfirmAnswer::Cancel);
    }
    void overwriteQuestionShowsBothFiles() {
        QFETCH(bool, destinationNewer);
        QFETCH(QString, action);
        QFETCH(int, answer);
        QtFileOperationUi ui(nullptr);
        DialogAnswerer answerer({action});
        const FileFacts source{"/quelle/a.txt", 1234567, test::LocalEpoch(2026, 12, 7, 10, 11, 12), 0};
        const FileFacts destination{"/ziel/a.txt", 3, test::LocalEpoch(2025, 1, 2, 3, 4, 5), 0};
        QCOMPARE(int(ui.confirmOverwrite(source, destination, destinationNewer)), answer);
        QCOMPARE(answerer.seen.size(), size_t(1));
        const auto& seen = answerer.seen[0];
        QVERIFY2(seen.text.contains("„/ziel/a.txt“ ist schon vorhanden"), qPrintable(seen.text));
        QVERIFY2(seen.text.contains("Vorhandene Datei: 3 Bytes, geändert am 2.01.2025 03:04:05"), qPrintable(seen.text));
        QVERIFY2(seen.text.contains("Neue Datei: 1234567 Bytes, geändert am 7.12.2026 10:11:12"),
                 qPrintable(seen.text));
        QCOMPARE(seen.text.contains("Achtung: Die vorhandene Datei ist neuer"), destinationNewer);
        QCOMPARE(seen.icon, destinationNewer ? QMessageBox::Warning : QMessageBox::Question);
        QCOMPARE(seen.buttons, kConfirmButtons);
        QCOMPARE(seen.defaultButton, destinationNewer ? "Nein" : "Ja");
    }

    void deleteQuestionNamesTheCountAndKeepsFilesByDefault_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("toTrash");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("english");
        const QString seven = "Sollen die 7 Dateien im Ziel endgültig gelöscht werden?\n\n„a“\n„b“\nund 5 weitere";
        QTest::newRow("Ja") << 7 << false << "Ja" << true << seven << false;
        QTest::newRow("one, Ja") << 1 << false << "Ja" << true << "Soll „a“ im Ziel endgültig gelöscht werden?" << false;
        QTest::newRow("Nein") << 7 << false << "Nein" << false << seven << false;
        QTest::newRow("Enter") << 7 << false << "<Enter>" << false << seven << false;
        QTest::newRow("Escape") << 7 << false << "<Esc>" << false << seven << false;
        // Into the trash, which gives them back: Enter agrees.
        QTest::newRow("trash, Enter") << 1 << true << "<Enter>" << true
                                      << "Soll „a“ im Ziel in den Papierkorb verschoben werden?" << false;
        QTest::newRow("trash, Escape") << 1 << true << "<Esc>" << false
                                       << "Soll „a“ im Ziel in den Papierkorb verschoben werden?" << false;
        // On an English desktop: the question, its buttons and the default answer.
        QTest::newRow("English, Yes") << 7 << false << "Yes" << true
                                      << "Delete the 7 files in the target for good?\n\n“a”\n“b”\nand 5 more" << true;
        QTest::newRow("English, Enter") << 1 << false << "<Enter>" << false << "Delete “a” in the target for good?"
                                        << true;
    }
    void deleteQuestionNamesTheCountAndKeepsFilesByDefault() {
        QFETCH(int, count);
        QFETCH(bool, toTrash);
        QFETCH(QString, action);
        QFETCH(bool, answer);
        QFETCH(QString, text);
        QFETCH(bool, english);
        std::optional<test::EnglishTexts> language;
        if (english) QVERIFY(language.emplace().switched());
        QtFileOperationUi ui(nullptr);
        DialogAnswerer answerer({action});
        const DeleteRequest request{count, TreeSide::Target,
                                    count == 1 ? std::vector<std::string>{"a"} : std::vector<std::string>{"a", "b"},
                                    toTrash};
        QCOMPARE(ui.confirmDelete(request), answer);
        QCOMPARE(answerer.seen.size(), size_t(1));
        QCOMPARE(answerer.seen[0].text, text);
        QCOMPARE(answerer.seen[0].buttons, (english ? QStringList{"No", "Yes"} : QStringList{"Ja", "Nein"}));
    }

    void changedAndNoTrashQuestionsKeepTheFileOnEnter() {
        QtFileOperationUi ui(nullptr);
        DialogAnswerer answerer({"<Enter>", "<Enter>", "Ja"});
        const ChangedFile changed{TreeSide::Target, FileAction::Trash, "/ziel/f.txt", true,
                                  {{}, 12, test::LocalEpoch(2024, 1, 1, 10, 0, 0), 0},
                                  {"/ziel/f.txt", 20, test::LocalEpoch(2026, 12, 7, 14, 30, 5), 0}};
        QCOMPARE(int(ui.confirmChanged(changed)), int(ConfirmAnswer::No));
        QCOMPARE(int(ui.confirmWithoutTrash("/ziel/f.txt", TreeSide::Target, FileAction::Delete, "kein Platz")),
                 int(ConfirmAnswer::No));
        QCOMPARE(int(ui.confirmWithoutTrash("/ziel/f.txt", TreeSide::Target, FileAction::Delete, "kein Platz")),
                 int(ConfirmAnswer::Yes));
        QCOMPARE(answerer.seen.size(), size_t(3));
        QCOMPARE(answerer.seen[0].text,
                 "Die Datei „/ziel/f.txt“ im Ziel wurde seit dem Vergleich geändert.\n\n"
                 "Beim Vergleich: 12 Bytes, geändert am 1.01.2024 10:00:00\n"
                 "Jetzt: 20 Bytes, geändert am 7.12.2026 14:30:05\n\n"
                 "Soll sie trotzdem in den Papierkorb verschoben werden?");
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Warning);
        QCOMPARE(answerer.seen[0].defaultButton, "Nein");
        QCOMPARE(answerer.seen[1].text, "Die Datei „/ziel/f.txt“ im Ziel kann nicht in den Papierkorb: kein Platz.\n\n"
                                        "Soll sie endgültig gelöscht werden?");
        QCOMPARE(answerer.seen[1].defaultButton, "Nein");
    }

    void errorReportNamesFileAndReason_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("answer");
        QTest::newRow("Wiederholen") << "Wiederholen" << int(ErrorAnswer::Retry);
        QTest::newRow("Überspringen") << "Überspringen" << int(ErrorAnswer::Skip);
        QTest::newRow("Alle überspringen") << "Alle überspringen" << int(ErrorAnswer::SkipAll);
        QTest::newRow("Abbrechen") << "Abbrechen" << int(ErrorAnswer::Cancel);
        QTest::newRow("Escape") << "<Esc>" << int(ErrorAnswer::Cancel);
        QTest::newRow("Enter") << "<Enter>" << int(ErrorAnswer::Skip);
    }
    void errorReportNamesFileAndReason() {
        QFETCH(QString, action);
        QFETCH(int, answer);
        QtFileOperationUi ui(nullptr);
        DialogAnswerer answerer({action});
        // A name that is not UTF-8 is still shown, with a replacement character.
        const std::string path = std::string("/ziel/b") + char(0xff) + ".txt";
        QCOMPARE(int(ui.reportError(path, "Die Zieldatei kann nicht angelegt werden: Keine Berechtigung")), answer);
        QCOMPARE(answerer.seen.size(), size_t(1));
        const auto& seen = answerer.seen[0];
        QCOMPARE(seen.text, QString::fromUtf8("„/ziel/b\uFFFD.txt“\n\nDie Zieldatei kann nicht angelegt werden: "
                                              "Keine Berechtigung."));
        QCOMPARE(seen.icon, QMessageBox::Critical);
        QCOMPARE(seen.buttons, (QStringList{"Abbrechen", "Alle überspringen", "Wiederholen", "Überspringen"}));
    }

    void quickRequestsShowNoProgress() {
        QtFileOperationUi ui(nullptr, std::chrono::hours(1));
        ui.beginRequest(QtFileOperationUi::Request::Copy);
        for (int i = 0; i < 3; ++i) QVERIFY(ui.progress({"/q/a.txt", i, 3, 0, 10}));
        QVERIFY(ui.progressDialog() == nullptr);
        ui.endRequest();
    }

    void progressShowsFileAndCountsAndCloses() {
        QWidget window;
        window.setGeometry(300, 200, 700, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QtFileOperationUi ui(&window, std::chrono::milliseconds(0));
        ui.beginRequest(QtFileOperationUi::Request::Copy);
        QVERIFY(ui.progress({"/quelle/unter/gross.bin", 1, 4, 2'000'000, 8'000'000}));
        QProgressDialog* dialog = ui.progressDialog();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), "Kirvo – Kopieren");
        QCOMPARE(dialog->labelText(), "gross.bin\n/quelle/unter/\n\nDatei 2 von 4 – 1.9 MB von 7.6 MB\n");
        QCOMPARE(dialog->value(), 250);
        // Centred on the main window.
        QVERIFY((dialog->frameGeometry().center() - window.frameGeometry().center()).manhattanLength() <= 2);
        // The data written to the disk before the renames: said so.
        QVERIFY(ui.progress({"/quelle/unter/gross.bin", 1, 4, 8'000'000, 8'000'000, true}));
        QCOMPARE(dialog->labelText(),
                 "gross.bin\n/quelle/unter/\n\nDatei 2 von 4 – 7.6 MB von 7.6 MB\nSchreibe auf den Datenträger …");
        QVERIFY(dialog->findChild<QPushButton*>() != nullptr);
        QCOMPARE(dialog->findChild<QPushButton*>()->text(), "Abbrechen");
        ui.endRequest();
        QVERIFY(ui.progressDialog() == nullptr);

        // A delete request counts files.
        ui.beginRequest(QtFileOperationUi::Request::Delete);
        QVERIFY(ui.progress({"/ziel/x", 3, 4, 0, 0}));
        QCOMPARE(ui.progressDialog()->windowTitle(), "Kirvo – Löschen");
        QCOMPARE(ui.progressDialog()->value(), 750);
        ui.endRequest();
    }

    void cancelInTheProgressDialogStopsTheRequest() {
        QtFileOperationUi ui(nullptr, std::chrono::milliseconds(0));
        ui.beginRequest(QtFileOperationUi::Request::Copy);
        QVERIFY(ui.progress({"/q/a", 0, 2, 0, 2}));
        QTest::mouseClick(ui.progressDialog()->findChild<QPushButton*>(), Qt::LeftButton);
        QVERIFY(!ui.progress({"/q/b", 1, 2, 1, 2}));
        ui.endRequest();
        // The next request starts afresh.
        ui.beginRequest(QtFileOperationUi::Request::Copy);
        QVERIFY(ui.progress({"/q/a", 0, 1, 0, 1}));
        ui.endRequest();
    }

    void realServiceCancelledFromTheDialogLeavesNoTemporaryFile() {
        test::TempDir dir;
        test::MakeTree(dir / "q", {{"a.txt", kNew, "aaa"}, {"b.txt", kNew, "bbb"}, {"c.txt", kNew, "ccc"}});
        test::MakeDirs(dir / "z");
        QtFileOperationService service(nullptr, std::chrono::milliseconds(0));
        // Due at the first turn of the event loop, which the first progress call
        // gives once the dialog is up.
        bool clicked = false;
        QTimer::singleShot(0, [&service, &clicked] {
            QProgressDialog* p = service.ui().progressDialog();
            if (p && p->isVisible()) QTest::mouseClick(p->findChild<QPushButton*>(), Qt::LeftButton);
            clicked = p != nullptr;
        });
        std::vector<CopyPair> pairs;
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) pairs.push_back(Pair(dir / "q", dir / "z", name));
        const OperationResult result = service.copy(pairs, CopyFlags{false, false});
        QVERIFY(clicked);
        QVERIFY(result.cancelled);
        QCOMPARE(result.count(FileOutcome::Done), 0);
        // Exactly the files reported done are there, complete; nothing else is.
        std::vector<std::string> done;
        for (const FileReport& report : result.files) {
            if (report.outcome == FileOutcome::Done) done.push_back(report.destination.substr((dir / "z").size()));
        }
        QCOMPARE(FilesBelow(dir / "z"), done);
        for (const std::string& name : done) QCOMPARE(test::ReadFile(dir / "z" + name).size(), size_t(3));
        QVERIFY(service.ui().progressDialog() == nullptr);
    }

    void realServiceAsksBeforeReplacingANewerFile() {
        test::TempDir dir;
        test::WriteFile(dir / "q/a.txt", "neu", kOld);
        test::WriteFile(dir / "z/a.txt", "aelter?", kNew);
        QtFileOperationService service(nullptr);
        // No overwrite question by the options, yet the newer destination is asked about.
        DialogAnswerer answerer({"<Enter>"});
        const std::vector<CopyPair> pairs{Pair(dir / "q", dir / "z", "a.txt")};
        const OperationResult result = service.copy(pairs, CopyFlags{false, false});
        QCOMPARE(answerer.seen.size(), size_t(1));
        QVERIFY(answerer.seen[0].text.contains("Vorhandene Datei: 7 Bytes"));
        QVERIFY(answerer.seen[0].text.contains("Neue Datei: 3 Bytes"));
        QCOMPARE(result.count(FileOutcome::Skipped), 1);
        QCOMPARE(test::ReadFile(dir / "z/a.txt"), "aelter?");
    }

private:
    static CopyPair Pair(const std::string& from, const std::string& to, const std::string& name) {
        CopyPair pair;
        PlanCopyOfRow(PlanRow{true, 1, name, "", {}, {}}, from + "/", to + "/", pair);
        return pair;
    }
};

QTEST_MAIN(QtFileOperationUiTest)
#include "qt_file_operation_ui_qtest.moc"
