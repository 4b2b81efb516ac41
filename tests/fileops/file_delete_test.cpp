#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/error_text.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/scripted_ui.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace kirvo {
namespace {

using test::ScriptedUi;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kTime = 1'300'000'000;

ListedPath In(const TempDir& dir, std::string_view relative) { return RootedPath::Join(dir.path(), relative); }

bool Present(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::vector<FileOutcome> Outcomes(const OperationResult& r) {
    std::vector<FileOutcome> out;
    for (const FileReport& f : r.files) out.push_back(f.outcome);
    return out;
}

// Files as listed are deleted without a question; one edited since the
// listing (the same size, another time) is asked about, and kept on "no".
TEST(FileDelete, DeletesFilesAsThemselvesWithoutAskingWhenNotWanted) {
    TempDir dir;
    const std::vector<std::string> names = {"a|b", "a\nb", std::string("\xff\xfe.bin"), "sub/x"};
    std::vector<ListedPath> paths;
    for (const std::string& n : names) {
        WriteFile(dir / n, n, kTime);
        paths.push_back(In(dir, n));
        paths.back().listed = ListedFile::Present(n.size(), kTime, 0);
    }
    WriteFile(dir / "a", "A", kTime);
    WriteFile(dir / "b", "B", kTime);
    WriteFile(dir / "edited", "v2", kTime + 1);
    ListedPath edited = In(dir, "edited");
    edited.listed = ListedFile::Present(2, kTime, 0);
    std::vector<ListedPath> all = paths;
    all.push_back(edited);
    ScriptedUi ui;
    ui.changedAnswers = {ConfirmAnswer::No};
    const OperationResult r = LocalFileOperationService(ui).remove(all, DeleteFlags{false});
    EXPECT_EQ(r.count(FileOutcome::Done), static_cast<int>(paths.size()));
    EXPECT_EQ(r.files.back().outcome, FileOutcome::Skipped);
    EXPECT_EQ(ui.changedQuestions.size(), 1u);
    EXPECT_TRUE(Present(dir / "edited"));
    EXPECT_TRUE(ui.deleteQuestions.empty());
    for (const ListedPath& p : paths) EXPECT_FALSE(Present(p.path.path)) << p.path.path;
    EXPECT_TRUE(Present(dir / "a"));
    EXPECT_TRUE(Present(dir / "b"));
    EXPECT_TRUE(Present(dir / "sub"));  // folders stay, even when emptied
}

TEST(FileDelete, OneQuestionNamingTheCountBeforeAnythingIsDeleted) {
    TempDir dir;
    WriteFile(dir / "1", "1", kTime);
    WriteFile(dir / "2", "2", kTime);
    const std::vector<ListedPath> paths = {In(dir, "1"), In(dir, "2")};

    ScriptedUi declining;
    declining.deleteAnswers = {false};
    OperationResult r = LocalFileOperationService(declining).remove(paths, DeleteFlags{true});
    ASSERT_EQ(declining.deleteQuestions.size(), 1u);
    EXPECT_EQ(declining.deleteQuestions[0].count, 2);
    EXPECT_EQ(declining.deleteQuestions[0].firstNames, (std::vector<std::string>{"1", "2"}));
    EXPECT_FALSE(declining.deleteQuestions[0].toTrash);
    EXPECT_EQ(Outcomes(r), (std::vector<FileOutcome>{FileOutcome::Cancelled, FileOutcome::Cancelled}));
    EXPECT_TRUE(Present(dir / "1"));
    EXPECT_TRUE(Present(dir / "2"));

    ScriptedUi agreeing;
    agreeing.deleteAnswers = {true};
    r = LocalFileOperationService(agreeing).remove(paths, DeleteFlags{true});
    EXPECT_EQ(agreeing.deleteQuestions.size(), 1u);
    EXPECT_TRUE(r.allDone());
    EXPECT_FALSE(Present(dir / "1"));
}

TEST(FileDelete, RemovesLinksThemselvesAndRefusesFolders) {
    TempDir dir;
    WriteFile(dir / "real/file", "kept", kTime);
    ASSERT_EQ(symlink((dir / "real/file").c_str(), (dir / "link").c_str()), 0);
    ASSERT_EQ(symlink((dir / "real").c_str(), (dir / "folderlink").c_str()), 0);
    ScriptedUi ui;
    ui.errorAnswers = {ErrorAnswer::Skip, ErrorAnswer::Skip};
    const std::vector<ListedPath> paths = {In(dir, "link"), In(dir, "real"), In(dir, "missing"), In(dir, "folderlink")};

    const OperationResult r = LocalFileOperationService(ui).remove(paths, DeleteFlags{false});

    EXPECT_EQ(Outcomes(r), (std::vector<FileOutcome>{FileOutcome::Done, FileOutcome::Failed, FileOutcome::Failed,
                                                     FileOutcome::Done}));
    EXPECT_FALSE(Present(dir / "link"));
    EXPECT_FALSE(Present(dir / "folderlink"));
    EXPECT_EQ(test::ReadFile(dir / "real/file"), "kept");
    ASSERT_EQ(ui.errors.size(), 2u);
    EXPECT_EQ(ui.errors[0].path, dir / "real");
    EXPECT_NE(ui.errors[0].reason.find(ErrorText(EISDIR)), std::string::npos);
    EXPECT_EQ(ui.errors[1].path, dir / "missing");
    EXPECT_NE(ui.errors[1].reason.find(ErrorText(ENOENT)), std::string::npos);
}

TEST(FileDelete, PermissionDeniedIsReportedAndRetryable) {
    TempDir dir;
    WriteFile(dir / "locked/f", "f", kTime);
    WriteFile(dir / "other", "o", kTime);
    chmod((dir / "locked").c_str(), 0555);
    // Without root's rights, which would override the folder's mode.
    const std::string result = test::Unprivileged(dir.path(), [&] {
        ScriptedUi ui;
        ui.errorAnswers = {ErrorAnswer::Retry};
        ui.onError = [&](const ScriptedUi::Error&) { chmod((dir / "locked").c_str(), 0755); };
        const OperationResult r = LocalFileOperationService(ui).remove(
            std::vector<ListedPath>{In(dir, "locked/f"), In(dir, "other")}, DeleteFlags{false});
        std::string text = r.allDone() ? "all done" : "not all done";
        for (const auto& error : ui.errors) text += "\n" + error.reason;
        return text;
    });
    EXPECT_EQ(result.substr(0, result.find('\n')), "all done");
    EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 1) << result;  // one error, then the retry
    EXPECT_NE(result.find(ErrorText(EACCES)), std::string::npos) << result;
    EXPECT_FALSE(Present(dir / "locked/f"));
}

TEST(FileDelete, CancelInProgressLeavesTheRest) {
    TempDir dir;
    WriteFile(dir / "1", "1", kTime);
    WriteFile(dir / "2", "2", kTime);
    ScriptedUi ui;
    ui.cancelAtProgressCall = 1;
    const OperationResult r =
        LocalFileOperationService(ui).remove(std::vector<ListedPath>{In(dir, "1"), In(dir, "2")}, DeleteFlags{false});
    EXPECT_EQ(Outcomes(r), (std::vector<FileOutcome>{FileOutcome::Done, FileOutcome::Cancelled}));
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(Present(dir / "2"));
}

}  // namespace
}  // namespace kirvo
