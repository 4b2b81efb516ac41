#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/error_text.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/copy_test_common.h"
#include "fileops/scripted_ui.h"
#include "platform/content_hasher.h"
#include "platform/posix/local_file_transfer.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/temporary_name.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

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


struct stat Stat(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}


std::vector<FileOutcome> Outcomes(const OperationResult& r) {
    std::vector<FileOutcome> out;
    for (const FileReport& f : r.files) out.push_back(f.outcome);
    return out;
}

class FileCopyTest : public ::testing::Test {
protected:
    OperationResult Copy(std::vector<CopyPair> pairs, CopyFlags flags = kNoQuestions) {
        return LocalFileOperationService(ui).copy(pairs, flags);
    }
    CopyPair Pair(std::string_view fromRel, std::string_view toRel) const {
        return {RootedPath::Join(dir / "q/", fromRel), RootedPath::Join(dir / "z/", toRel)};
    }
    std::string Src(std::string_view rel) const { return dir / ("q/" + std::string(rel)); }
    std::string Tgt(std::string_view rel) const { return dir / ("z/" + std::string(rel)); }

    TempDir dir;
    ScriptedUi ui;
};

// Checked copies (read back from the disk) here; each tells its content hash
// and the copy's identity for the state to remember.
TEST_F(FileCopyTest, CopiesContentTimeAndPermissionsIntoNewAndExistingFiles) {
    WriteFile(Src("new.txt"), "fresh", kNew, 123456789);
    WriteFile(Src("deep/er/x.bin"), std::string(100000, '\x7f'), kNew, 5);
    WriteFile(Src("exec.sh"), "#!/bin/sh\n", kNew, 999999999);
    WriteFile(Tgt("exec.sh"), "old and longer content", kOld);
    chmod(Src("new.txt").c_str(), 0640);
    chmod(Src("exec.sh").c_str(), 0755);

    CopyFlags checked = kNoQuestions;
    checked.verify = true;
    const OperationResult r = Copy({Pair("new.txt", "new.txt"),
                                    Pair("deep/er/x.bin", "deep/er/x.bin"),
                                    Pair("exec.sh", "exec.sh")},
                                   checked);

    EXPECT_TRUE(r.allDone());
    EXPECT_FALSE(r.cancelled);
    const char* const copied[] = {"new.txt", "deep/er/x.bin", "exec.sh"};
    for (size_t i = 0; i < 3; ++i) {
        const char* rel = copied[i];
        EXPECT_EQ(ReadFile(Tgt(rel)), ReadFile(Src(rel))) << rel;
        const struct stat s = Stat(Src(rel));
        const struct stat t = Stat(Tgt(rel));
        EXPECT_EQ(t.st_mtim.tv_sec, s.st_mtim.tv_sec) << rel;
        EXPECT_EQ(t.st_mtim.tv_nsec, s.st_mtim.tv_nsec) << rel;
        EXPECT_EQ(t.st_mode & 07777, s.st_mode & 0777) << rel;
        const FileReport& report = r.files[i];
        EXPECT_TRUE(report.verified) << rel;
        ASSERT_TRUE(report.content) << rel;
        ContentHasher hasher;
        const std::string bytes = ReadFile(Tgt(rel));
        hasher.Add(bytes.data(), bytes.size());
        EXPECT_EQ(report.content->hash, hasher.Finish()) << rel;
        EXPECT_EQ(report.content->identity.inode, static_cast<uint64_t>(t.st_ino)) << rel;
        EXPECT_EQ(report.content->identity.changedNanoseconds, static_cast<uint32_t>(t.st_ctim.tv_nsec)) << rel;
    }
    EXPECT_TRUE(TempFilesBelow(dir.path()).empty());
    EXPECT_TRUE(ui.folderQuestions.empty());
    EXPECT_TRUE(ui.overwriteQuestions.empty());
}

TEST_F(FileCopyTest, OddNamesAreCopiedAsThemselves) {
    const std::vector<std::string> names = {"a|b", "a\nb", std::string("caf\xE9.txt")};
    WriteFile(Src("a"), "A", kOld);
    WriteFile(Src("b"), "B", kOld);
    std::vector<CopyPair> pairs;
    for (const std::string& n : names) {
        WriteFile(Src(n), "content of " + n, kNew);
        pairs.push_back(Pair(n, n));
    }
    EXPECT_TRUE(Copy(pairs).allDone());
    for (const std::string& n : names) EXPECT_EQ(ReadFile(Tgt(n)), "content of " + n);
    EXPECT_FALSE(std::filesystem::exists(Tgt("a")));
    EXPECT_FALSE(std::filesystem::exists(Tgt("b")));
}

// Only our own temporary files are ever removed: a stale one of a killed run
// goes, one a running copy holds stays, and a user's file named like ours is
// the user's. A copy killed while its data is written leaves nothing at all.
TEST_F(FileCopyTest, StaleTemporaryFilesOfOursGoAndAUsersLookalikeStays) {
    WriteFile(Src("f.txt"), "good", kNew);
    WriteFile(Src("g.txt"), "also", kNew);
    WriteFile(Tgt(".f.txt.kirvo-tmp"), "mine", kOld);
    // A run killed in the middle of a copy: its copy has no name yet.
    if (const pid_t child = fork(); child == 0) {
        LocalFileTransfer transfer;
        FolderHandle q, z;
        NodeInfo info;
        uint64_t copied = 0;
        bool finished = false;
        _exit(FolderHandle::OpenRoot(Src(""), q) == 0 && FolderHandle::OpenRoot(Tgt(""), z) == 0 &&
                      transfer.openSource(q, "f.txt", info) == 0 && transfer.createTemporary(z, "f.txt") == 0 &&
                      transfer.copySome(1, copied, finished) == 0
                  ? 0
                  : 1);
    } else {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_EQ(status, 0);
    }
    ASSERT_EQ(TempFilesBelow(Tgt("")).size(), 1u);
    // Named ones (a copy about to replace a file): one a killed run left, one
    // a copy still running (here, in this process) holds.
    const int folder = open(Tgt("").c_str(), O_RDONLY | O_DIRECTORY);
    char stale[256], held[256];
    if (const pid_t child = fork(); child == 0) {
        _exit(OwnTemporaryFile::Create(folder, "f.txt", stale, sizeof stale) >= 0 ? 0 : 1);
    } else {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_EQ(status, 0);
    }
    const int running = OwnTemporaryFile::Create(folder, "f.txt", held, sizeof held);
    ASSERT_GE(running, 0);
    ASSERT_EQ(TempFilesBelow(Tgt("")).size(), 3u);

    // A replace killed right after its exchange: the old version is parked
    // under a name of ours, unmarked, with its second name in the trash. The
    // same name with no second name could be anyone's and stays.
    WriteFile(Tgt("kept-in-trash"), "old", kOld);
    const std::string parked = TemporaryName::For("h.txt", 7), lone = TemporaryName::For("i.txt", 8);
    ASSERT_EQ(link(Tgt("kept-in-trash").c_str(), Tgt(parked).c_str()), 0);
    WriteFile(Tgt(lone), "anyone's", kOld);

    EXPECT_TRUE(Copy({Pair("g.txt", "g.txt")}).allDone());
    EXPECT_EQ(ReadFile(Tgt(".f.txt.kirvo-tmp")), "mine");
    EXPECT_FALSE(std::filesystem::exists(Tgt(parked)));
    EXPECT_EQ(ReadFile(Tgt("kept-in-trash")), "old");
    EXPECT_EQ(ReadFile(Tgt(lone)), "anyone's");
    std::filesystem::remove(Tgt(lone));
    EXPECT_EQ(TempFilesBelow(Tgt("")).size(), 2u);  // the user's file and the running copy's
    unlinkat(folder, held, 0);
    close(running);
    close(folder);
    EXPECT_EQ(TempFilesBelow(Tgt("")), std::vector<std::string>{Tgt(".f.txt.kirvo-tmp")});

    // The name's form: random part and check digits, within the system's limit.
    const std::string longName(250, 'n');
    const std::string temp = TemporaryName::For(longName, 1);
    EXPECT_LE(temp.size(), 255u);
    EXPECT_TRUE(TemporaryName::HasOurForm(temp));
    EXPECT_NE(temp, TemporaryName::For(longName, 2));
    EXPECT_TRUE(TemporaryName::HasOurForm(TemporaryName::For("f.txt", 42)));
    std::string forged = TemporaryName::For("f.txt", 42);
    forged[forged.size() - std::string(".kirvo-tmp").size() - 1] ^= 1;  // a wrong check digit
    EXPECT_FALSE(TemporaryName::HasOurForm(forged));
    EXPECT_FALSE(TemporaryName::HasOurForm(".f.txt.kirvo-tmp"));
    WriteFile(Src(longName), "long", kNew);
    EXPECT_TRUE(Copy({Pair(longName, longName)}).allDone());
    EXPECT_EQ(ReadFile(Tgt(longName)), "long");
}

TEST_F(FileCopyTest, OverwriteQuestionShowsBothFilesAndFollowsTheAnswers) {
    for (const char* n : {"1", "2", "3", "4", "5"}) {
        WriteFile(Src(n), std::string("new ") + n, kNew);
        WriteFile(Tgt(n), "old", kOld);
    }
    ui.overwriteAnswers = {ConfirmAnswer::No, ConfirmAnswer::Yes, ConfirmAnswer::YesToAll,
                           ConfirmAnswer::Cancel};
    const OperationResult r = Copy({Pair("1", "1"), Pair("2", "2"), Pair("3", "3"),
                                    Pair("4", "4"), Pair("5", "5")},
                                   CopyFlags{true, false});
    EXPECT_EQ(Outcomes(r), (std::vector<FileOutcome>{FileOutcome::Skipped, FileOutcome::Done,
                                                     FileOutcome::Done, FileOutcome::Done, FileOutcome::Done}));
    ASSERT_EQ(ui.overwriteQuestions.size(), 3u);  // "Ja, alle" answers for the rest
    const ScriptedUi::Overwrite& q = ui.overwriteQuestions[0];
    EXPECT_EQ(q.source.path, Src("1"));
    EXPECT_EQ(q.source.size, 5u);
    EXPECT_EQ(q.source.modifiedSeconds, kNew);
    EXPECT_EQ(q.destination.path, Tgt("1"));
    EXPECT_EQ(q.destination.size, 3u);
    EXPECT_EQ(q.destination.modifiedSeconds, kOld);
    EXPECT_FALSE(q.destinationNewer);
    EXPECT_EQ(ReadFile(Tgt("1")), "old");
    EXPECT_EQ(ReadFile(Tgt("5")), "new 5");
}

TEST_F(FileCopyTest, NewerDestinationIsNeverReplacedWithoutAsking) {
    WriteFile(Src("f"), "older source", kOld);
    WriteFile(Tgt("f"), "changed since the comparison", kOld, 1);  // one nanosecond newer
    ui.overwriteAnswers = {ConfirmAnswer::No};
    const OperationResult r = Copy({Pair("f", "f")}, kNoQuestions);
    ASSERT_EQ(ui.overwriteQuestions.size(), 1u);
    EXPECT_TRUE(ui.overwriteQuestions[0].destinationNewer);
    EXPECT_EQ(Outcomes(r), std::vector<FileOutcome>{FileOutcome::Skipped});
    EXPECT_EQ(ReadFile(Tgt("f")), "changed since the comparison");

    ui.overwriteAnswers = {ConfirmAnswer::Yes};
    EXPECT_TRUE(Copy({Pair("f", "f")}, kNoQuestions).allDone());
    EXPECT_EQ(ReadFile(Tgt("f")), "older source");
}

// The destination is checked against what the comparison listed: a file changed
// since, or one that appeared, is asked about by name, side and change, and the
// answer stands in for the overwrite question; an unchanged one is not asked about.
TEST_F(FileCopyTest, DestinationChangedSinceTheComparisonIsAskedAbout) {
    struct Case {
        const char* name;
        ListedFile listed;
        ConfirmAnswer answer;
        bool asked;
        std::string after;
    };
    const Case cases[] = {
        {"unchanged", ListedFile::Present(3, kOld, 0), ConfirmAnswer::Cancel, false, "new"},
        {"changed, kept", ListedFile::Present(2, kOld, 0), ConfirmAnswer::No, true, "old"},
        {"changed, replaced", ListedFile::Present(3, kOld, 5), ConfirmAnswer::Yes, true, "new"},
        {"appeared, kept", ListedFile::Absent(), ConfirmAnswer::No, true, "old"},
        {"nothing listed", ListedFile{}, ConfirmAnswer::Cancel, false, "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(Src(c.name), "new", kNew);
        WriteFile(Tgt(c.name), "old", kOld);
        ScriptedUi asked;
        asked.changedAnswers = {c.answer};
        asked.overwriteAnswers = {ConfirmAnswer::Yes};
        CopyPair pair = Pair(c.name, c.name);
        pair.to.side = TreeSide::Target;
        pair.listedTo = c.listed;
        const OperationResult r = LocalFileOperationService(asked).copy(std::vector<CopyPair>{pair}, CopyFlags{true, false});
        EXPECT_EQ(ReadFile(Tgt(c.name)), c.after);
        ASSERT_EQ(asked.changedQuestions.size(), c.asked ? 1u : 0u);
        EXPECT_EQ(asked.overwriteQuestions.size(), c.asked ? 0u : 1u);
        if (!c.asked) continue;
        const ChangedFile& q = asked.changedQuestions[0];
        EXPECT_EQ(q.path, Tgt(c.name));
        EXPECT_EQ(q.side, TreeSide::Target);
        EXPECT_EQ(q.listedPresent, c.listed.state == ListedFile::State::Present);
        EXPECT_EQ(q.listed.size, c.listed.size);
        EXPECT_EQ(q.now.size, 3u);
        EXPECT_EQ(q.now.modifiedSeconds, kOld);
    }
}

TEST_F(FileCopyTest, FolderCreationQuestionAnswers) {
    struct Case {
        const char* name;
        std::vector<ConfirmAnswer> answers;
        std::vector<FileOutcome> outcomes;  // for n/a.txt, n/b.txt, m/c.txt
        size_t questions;
    };
    const Case cases[] = {
        {"yes asks per folder", {ConfirmAnswer::Yes, ConfirmAnswer::Yes}, {FileOutcome::Done, FileOutcome::Done, FileOutcome::Done}, 2},
        {"yes to all asks once", {ConfirmAnswer::YesToAll}, {FileOutcome::Done, FileOutcome::Done, FileOutcome::Done}, 1},
        {"no is not asked again for that folder", {ConfirmAnswer::No, ConfirmAnswer::Yes}, {FileOutcome::Skipped, FileOutcome::Skipped, FileOutcome::Done}, 2},
        {"cancel stops", {ConfirmAnswer::Cancel}, {FileOutcome::Cancelled, FileOutcome::Cancelled, FileOutcome::Cancelled}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir d;
        ScriptedUi script;
        script.folderAnswers.assign(c.answers.begin(), c.answers.end());
        for (const char* f : {"n/a.txt", "n/b.txt", "m/c.txt"}) WriteFile(d / ("q/" + std::string(f)), f, kNew);
        test::MakeDirs(d / "z");
        std::vector<CopyPair> pairs;
        for (const char* f : {"n/a.txt", "n/b.txt", "m/c.txt"})
            pairs.push_back({RootedPath::Join(d / "q/", f), RootedPath::Join(d / "z/", "deep/" + std::string(f))});
        const OperationResult r = LocalFileOperationService(script).copy(pairs, CopyFlags{false, true});
        EXPECT_EQ(Outcomes(r), c.outcomes);
        EXPECT_EQ(script.folderQuestions.size(), c.questions);
        EXPECT_EQ(script.folderQuestions.front(), d / "z/deep/n");
        EXPECT_EQ(std::filesystem::exists(d / "z/deep/n/a.txt"), c.outcomes[0] == FileOutcome::Done);
        if (c.outcomes[0] != FileOutcome::Done) {
            EXPECT_FALSE(std::filesystem::exists(d / "z/deep/n"));
        }
    }
}

TEST_F(FileCopyTest, LinkAtDestinationIsReplacedNeverWrittenThrough) {
    WriteFile(Src("f"), "copied", kNew);
    WriteFile(dir / "elsewhere", "must stay", kOld);
    test::MakeDirs(Tgt(""));
    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), Tgt("f").c_str()), 0);
    ASSERT_EQ(symlink((dir / "nothing").c_str(), Tgt("dangling").c_str()), 0);
    WriteFile(Src("dangling"), "x", kNew);
    ui.errorAnswers = {ErrorAnswer::Skip};

    const OperationResult r = Copy({Pair("f", "f"), Pair("dangling", "dangling")});

    EXPECT_EQ(Outcomes(r), (std::vector<FileOutcome>{FileOutcome::Done, FileOutcome::Failed}));
    EXPECT_TRUE(S_ISREG(Stat(Tgt("f")).st_mode));
    EXPECT_EQ(ReadFile(Tgt("f")), "copied");
    EXPECT_EQ(ReadFile(dir / "elsewhere"), "must stay");
    EXPECT_TRUE(S_ISLNK(Stat(Tgt("dangling")).st_mode));  // not ours to replace
    EXPECT_FALSE(std::filesystem::exists(dir / "nothing"));
}

TEST_F(FileCopyTest, EachFailureIsReportedOnceAndTheRestGoesOn) {
    WriteFile(Src("is-folder"), "x", kNew);
    WriteFile(Tgt("is-folder/keep"), "inside", kOld);
    WriteFile(Src("sub/f"), "x", kNew);
    WriteFile(Tgt("sub"), "a file where a folder should be", kOld);
    WriteFile(Src("ok"), "fine", kNew);
    mkfifo(Src("fifo").c_str(), 0600);  // must not block
    const std::string tooLong(300, 'l');
    struct Expect {
        CopyPair pair;
        std::string reportedPath;
        std::string systemText;
    };
    const std::vector<Expect> expected = {
        {Pair("gone", "gone"), Src("gone"), ErrorText(ENOENT)},
        {Pair("is-folder", "is-folder"), Tgt("is-folder"), ErrorText(EISDIR)},
        {Pair("sub/f", "sub/f"), Tgt("sub"), ErrorText(ENOTDIR)},
        {Pair("fifo", "fifo"), Src("fifo"), "keine normale Datei"},
        {Pair("ok", tooLong), Tgt(tooLong), ErrorText(ENAMETOOLONG)},
        {Pair("ok", "../outside"), Tgt(".."), "„.“ oder „..“"},
    };
    std::vector<CopyPair> pairs;
    for (const Expect& e : expected) pairs.push_back(e.pair);
    pairs.push_back(Pair("ok", "ok"));
    ui.errorAnswers.assign(expected.size(), ErrorAnswer::Skip);

    const OperationResult r = Copy(pairs);

    ASSERT_EQ(ui.errors.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(ui.errors[i].path, expected[i].reportedPath) << i;
        EXPECT_NE(ui.errors[i].reason.find(expected[i].systemText), std::string::npos) << ui.errors[i].reason;
        EXPECT_EQ(r.files[i].outcome, FileOutcome::Failed) << i;
        EXPECT_EQ(r.files[i].reason, ui.errors[i].reason);
    }
    EXPECT_EQ(r.files.back().outcome, FileOutcome::Done);
    EXPECT_EQ(ReadFile(Tgt("is-folder/keep")), "inside");
    EXPECT_EQ(ReadFile(Tgt("sub")), "a file where a folder should be");
    EXPECT_TRUE(TempFilesBelow(dir.path()).empty());
}

TEST_F(FileCopyTest, ReadOnlyDestinationFolderFailsWithoutChangingIt) {
    WriteFile(Src("f"), "new", kNew);
    WriteFile(Tgt("f"), "old", kOld);
    chmod(Tgt("").c_str(), 0555);
    // Without root's rights, which would override the folder's mode.
    const std::string result = test::Unprivileged(dir.path(), [&] {
        ui.errorAnswers = {ErrorAnswer::Skip};
        std::string text;
        for (FileOutcome outcome : Outcomes(Copy({Pair("f", "f")}))) text += std::to_string(static_cast<int>(outcome));
        for (const auto& error : ui.errors) text += "\n" + error.reason;
        return text;
    });
    EXPECT_EQ(result.substr(0, result.find('\n')), std::to_string(static_cast<int>(FileOutcome::Failed)));
    EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 1) << result;  // one error reported
    EXPECT_NE(result.find(ErrorText(EACCES)), std::string::npos) << result;
    EXPECT_EQ(ReadFile(Tgt("f")), "old");
}

TEST_F(FileCopyTest, ErrorAnswersRetrySkipAllAndCancel) {
    for (const char* n : {"a", "b", "c"}) {
        WriteFile(Src(n), n, kNew);
        test::MakeDirs(Tgt(n));  // every destination is a folder
    }
    const std::vector<CopyPair> pairs = {Pair("a", "a"), Pair("b", "b"), Pair("c", "c")};

    // Retry after the cause is gone copies the file.
    ui.errorAnswers = {ErrorAnswer::Retry, ErrorAnswer::SkipAll};
    ui.onError = [&](const ScriptedUi::Error& e) {
        if (ui.errors.size() == 1) std::filesystem::remove(e.path);
    };
    OperationResult r = Copy(pairs);
    EXPECT_EQ(Outcomes(r), (std::vector<FileOutcome>{FileOutcome::Done, FileOutcome::Failed, FileOutcome::Failed}));
    EXPECT_EQ(ui.errors.size(), 2u);  // "Alle überspringen": c fails without a report
    EXPECT_EQ(ReadFile(Tgt("a")), "a");

    ui = ScriptedUi{};
    ui.errorAnswers = {ErrorAnswer::Cancel};
    r = Copy(pairs);
    EXPECT_EQ(Outcomes(r), (std::vector<FileOutcome>{FileOutcome::Done, FileOutcome::Failed, FileOutcome::Cancelled}));
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.count(FileOutcome::Done), 1);
}

TEST_F(FileCopyTest, CancelInProgressStopsAndLeavesDestinationsIntact) {
    const std::string big(LocalFileOperationService::kChunkBytes * 2 + 10, 'b');
    WriteFile(Src("small"), "s", kNew);
    WriteFile(Src("big"), big, kNew);
    WriteFile(Tgt("big"), "old big", kOld);
    WriteFile(Src("later"), "l", kNew);
    // Calls: 0 before small, 1 before big, 2 after the first chunk of big.
    ui.cancelAtProgressCall = 2;

    const OperationResult r = Copy({Pair("small", "small"), Pair("big", "big"), Pair("later", "later")});

    EXPECT_EQ(Outcomes(r), (std::vector<FileOutcome>{FileOutcome::Done, FileOutcome::Cancelled, FileOutcome::Cancelled}));
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(ReadFile(Tgt("big")), "old big");
    EXPECT_FALSE(std::filesystem::exists(Tgt("later")));
    EXPECT_TRUE(TempFilesBelow(dir.path()).empty());
    ASSERT_EQ(ui.progressCalls.size(), 3u);
    EXPECT_EQ(ui.progressCalls[1].filesDone, 1);
    EXPECT_EQ(ui.progressCalls[1].filesTotal, 3);
    EXPECT_EQ(ui.progressCalls[1].bytesDone, 1u);
    EXPECT_EQ(ui.progressCalls[2].bytesDone, 1u + LocalFileOperationService::kChunkBytes);
    EXPECT_EQ(ui.progressCalls[2].bytesTotal, 2u + big.size());
}

TEST_F(FileCopyTest, SourceChangedWhileCopyingIsReportedAndRetried) {
    const std::string big(LocalFileOperationService::kChunkBytes + 100, 'b');
    WriteFile(Src("growing"), big, kNew);
    WriteFile(Tgt("growing"), "old", kOld);
    bool appended = false;
    ui.onProgress = [&](const ProgressInfo& p) {
        if (p.bytesDone > 0 && !appended) {  // after the first chunk
            appended = true;
            WriteFile(Src("growing"), big + "more", kNew + 10);
        }
    };
    ui.errorAnswers = {ErrorAnswer::Retry};
    const OperationResult r = Copy({Pair("growing", "growing")});
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].path, Src("growing"));
    EXPECT_TRUE(r.allDone());  // the retry copied the file as it is now
    EXPECT_EQ(ReadFile(Tgt("growing")), big + "more");
    EXPECT_EQ(Stat(Tgt("growing")).st_mtim.tv_sec, kNew + 10);
    EXPECT_TRUE(TempFilesBelow(dir.path()).empty());
}

TEST_F(FileCopyTest, CopiesAcrossFileSystems) {
    struct stat shm, tmp;
    if (stat("/dev/shm", &shm) != 0 || stat(dir.path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    char pattern[] = "/dev/shm/kirvo-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string other = pattern;
    const std::string content(3 * 1024 * 1024 + 7, 'c');
    WriteFile(other + "/f", content, kNew, 42);
    const OperationResult r = Copy({{RootedPath::Join(other, "f"), RootedPath::Join(dir / "z/", "f")}});
    std::filesystem::remove_all(other);
    EXPECT_TRUE(r.allDone());
    EXPECT_EQ(ReadFile(Tgt("f")), content);
    EXPECT_EQ(Stat(Tgt("f")).st_mtim.tv_nsec, 42);
}

}  // namespace
}  // namespace kirvo
