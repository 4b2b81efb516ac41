// Copies are flushed to disk in batches and renamed after the flush: whatever
// lands in one batch must behave as if each file had been finished on its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fileops/file_operation_texts.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/copy_test_common.h"
#include "fileops/scripted_ui.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using test::ReadFile;
using test::ScriptedUi;
using test::TempDir;
using test::WriteFile;
using test::kNew;
using test::kNoQuestions;
using test::kOld;
using test::TempFilesBelow;



// One request whose later pairs read or write what an earlier pair of the same
// request has written: each later pair sees the earlier copy finished.
TEST(BatchedCopy, LaterPairsSeeEarlierCopiesOfTheSameRequest) {
    TempDir dir;
    const std::string a = dir / "a", b = dir / "b", c = dir / "c";
    WriteFile(a + "/f", "first", kNew);
    WriteFile(a + "/g", "second", kNew + 10);
    WriteFile(b + "/f", "old", kOld);
    struct Case {
        const char* name;
        std::vector<CopyPair> pairs;
        std::string path;      // checked afterwards
        std::string content;
    };
    // b/ is reached through a second spelling of its path as well: the same folder
    // must be recognised whatever root names it.
    const std::string bAgain = dir / "a/../b";
    const Case cases[] = {
        {"a chain a -> b -> c",
         {{RootedPath::Join(a, "f"), RootedPath::Join(b, "f")}, {RootedPath::Join(b, "f"), RootedPath::Join(c, "f")}},
         c + "/f", "first"},
        {"a chain through a new file",
         {{RootedPath::Join(a, "g"), RootedPath::Join(b, "new/g")},
          {RootedPath::Join(bAgain, "new/g"), RootedPath::Join(c, "g")}},
         c + "/g", "second"},
        {"the same destination twice: the later copy wins",
         {{RootedPath::Join(a, "f"), RootedPath::Join(b, "twice")},
          {RootedPath::Join(a, "g"), RootedPath::Join(bAgain, "twice")}},
         b + "/twice", "second"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        ScriptedUi ui;
        const OperationResult r = LocalFileOperationService(ui).copy(k.pairs, kNoQuestions);
        EXPECT_TRUE(r.allDone());
        EXPECT_TRUE(ui.errors.empty());
        EXPECT_EQ(ReadFile(k.path), k.content);
        EXPECT_TRUE(TempFilesBelow(dir.path()).empty());
    }
}

// More files than one batch holds, in several folders: every one is copied and
// reported done, none is left as a temporary file.
TEST(BatchedCopy, ManyFilesAcrossBatches) {
    TempDir dir;
    std::vector<CopyPair> pairs;
    for (int i = 0; i < 300; ++i) {
        const std::string rel = "d" + std::to_string(i % 7) + "/f" + std::to_string(i);
        WriteFile(dir / ("q/" + rel), rel, kNew + i);
        if (i % 3 == 0) WriteFile(dir / ("z/" + rel), "old", kOld);
        pairs.push_back({RootedPath::Join(dir / "q", rel), RootedPath::Join(dir / "z", rel)});
    }
    ScriptedUi ui;
    const OperationResult r = LocalFileOperationService(ui).copy(pairs, kNoQuestions);
    EXPECT_EQ(r.count(FileOutcome::Done), 300);
    for (const CopyPair& p : pairs) EXPECT_EQ(ReadFile(p.to.path), p.from.relative());
    EXPECT_TRUE(TempFilesBelow(dir / "z").empty());
}

// A destination that becomes a folder while its copy waits for the flush: the
// failure is reported then, with the usual answers, and Retry copies it again.
TEST(BatchedCopy, FailureAtTheRenameIsReportedAndRetried) {
    TempDir dir;
    WriteFile(dir / "q/first", "first", kNew);
    WriteFile(dir / "q/second", "second", kNew);
    WriteFile(dir / "z/first", "old", kOld);
    const std::vector<CopyPair> pairs = {
        {RootedPath::Join(dir / "q", "first"), RootedPath::Join(dir / "z", "first")},
        {RootedPath::Join(dir / "q", "second"), RootedPath::Join(dir / "z", "second")}};
    ScriptedUi ui;
    ui.errorAnswers = {ErrorAnswer::Retry};
    ui.onProgress = [&](const ProgressInfo& p) {
        if (p.filesDone == 1 && ui.errors.empty()) {  // before the second file: the first waits
            std::filesystem::remove(dir / "z/first");
            WriteFile(dir / "z/first/inside", "kept", kOld);
        }
    };
    ui.onError = [&](const ScriptedUi::Error&) { std::filesystem::remove_all(dir / "z/first"); };
    const OperationResult r = LocalFileOperationService(ui).copy(pairs, kNoQuestions);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].path, dir / "z/first");
    // Not what the copy was decided on any more: nothing is replaced.
    EXPECT_EQ(ui.errors[0].reason, FileOperationTexts::kDestinationChanged);
    EXPECT_TRUE(r.allDone());
    EXPECT_EQ(ReadFile(dir / "z/first"), "first");
    EXPECT_EQ(ReadFile(dir / "z/second"), "second");
    EXPECT_TRUE(TempFilesBelow(dir / "z").empty());
}

}  // namespace
}  // namespace kirvo
