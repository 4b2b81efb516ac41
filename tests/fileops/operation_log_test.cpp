#include "fileops/operation_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fileops/local_file_operation_service.h"
#include "fileops/scripted_ui.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using test::ReadFile;
using test::ScriptedUi;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kTime = 1'300'000'000;

// One line per file, escaped as in the TSV output; a log that cannot be written
// is told about once and stops nothing.
TEST(OperationLog, EveryActionIsOneLineAndAnUnwritableLogStopsNothing) {
    TempDir dir;
    WriteFile(dir / "q/a\tb", "1234", kTime);
    WriteFile(dir / "z/weg", "xy", kTime);
    OperationLog log(dir / "state/kirvo/protokoll.log");
    ScriptedUi ui;
    LocalFileOperationService service(ui, &log);
    service.copy(std::vector<CopyPair>{{RootedPath::Join(dir / "q", "a\tb"), RootedPath::Join(dir / "z", "a\tb"), {}}},
                 CopyFlags{false, false});
    service.remove(std::vector<ListedPath>{RootedPath::Join(dir / "z", "weg"), RootedPath::Join(dir / "z", "fehlt")},
                   DeleteFlags{false, false});
    ui.errorAnswers = {ErrorAnswer::Skip};
    log.write({OperationLog::kReplaced, "q/rel", "sftp://nas:2222/~/z/rel", 1, 2, OperationLog::kOk});
    const std::string text = ReadFile(log.path());
    const std::vector<std::string> expected = {
        std::string(OperationLog::kHeader) + "\n",
        "\tkopiert\t" + dir / "q/a\\tb" + "\t" + dir / "z/a\\tb" + "\t4\t\tok\n",
        "\tgelöscht\t" + dir / "z/weg" + "\t\t2\t\tok\n",
        "\tgelöscht\t" + dir / "z/fehlt" + "\t\t\t\tfehlgeschlagen: Die Datei ist nicht mehr vorhanden: ",
        // Relative local paths are made absolute; those on another machine stay as they are.
        "\tersetzt\t" + std::filesystem::current_path().string() + "/q/rel\tsftp://nas:2222/~/z/rel\t1\t2\tok\n",
    };
    size_t at = 0;
    for (const std::string& part : expected) {
        at = text.find(part, at);
        EXPECT_NE(at, std::string::npos) << part << "\n" << text;
    }
    EXPECT_TRUE(ui.notices.empty());

    WriteFile(dir / "kein-ordner", "", kTime);
    OperationLog broken(dir / "kein-ordner/protokoll.log");
    ScriptedUi told;
    LocalFileOperationService unlogged(told, &broken);
    WriteFile(dir / "q/b", "b", kTime);
    WriteFile(dir / "q/c", "c", kTime);
    const OperationResult r = unlogged.copy(
        std::vector<CopyPair>{{RootedPath::Join(dir / "q", "b"), RootedPath::Join(dir / "z", "b"), {}},
                              {RootedPath::Join(dir / "q", "c"), RootedPath::Join(dir / "z", "c"), {}}},
        CopyFlags{false, false});
    EXPECT_TRUE(r.allDone());
    ASSERT_EQ(told.notices.size(), 1u);
    EXPECT_NE(told.notices[0].find("Das Protokoll „" + dir / "kein-ordner/protokoll.log" + "“ kann nicht geschrieben"),
              std::string::npos);
}

}  // namespace
}  // namespace kirvo
