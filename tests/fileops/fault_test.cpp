#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/error_text.h"
#include "engine/tree_matcher.h"
#include "fileops/file_operation_texts.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/copy_test_common.h"
#include "fileops/scripted_ui.h"
#include "platform/posix/local_file_transfer.h"
#include "support/faulty_mount.h"
#include "support/mounted_file_system.h"
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
using test::InChild;



std::string Describe(const OperationResult& r) {
    std::string text;
    for (const FileReport& f : r.files)
        text += std::to_string(static_cast<int>(f.outcome)) + " " + f.reason + "\n";
    return text;
}

using SmallFileSystem = test::MountedFileSystem;

// The contents of the files in a trash folder (the home trash for ""), in no order.
std::vector<std::string> TrashedContents(const std::string& trash) {
    const std::string files = (trash.empty() ? std::string(std::getenv("XDG_DATA_HOME")) + "/Trash" : trash) + "/files";
    std::vector<std::string> contents;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(files, ec)) contents.push_back(ReadFile(e.path()));
    return contents;
}

class FaultTest : public ::testing::Test {
public:
    CopyPair Pair(std::string_view rel) const {
        return {RootedPath::Join(dir / "q/", rel), RootedPath::Join(dir / "z/", rel)};
    }
    std::string Src(std::string_view rel) const { return dir / ("q/" + std::string(rel)); }
    std::string Tgt(std::string_view rel) const { return dir / ("z/" + std::string(rel)); }

    TempDir dir;
};

// Disk full, through a file size limit on the process: the copy fails with the
// system's reason, the destination keeps its old content, no temporary file stays.
TEST_F(FaultTest, FileSizeLimitFailsTheCopyAndKeepsTheDestination) {
    WriteFile(Src("big"), std::string(1 << 20, 'b'), kNew);
    WriteFile(Tgt("big"), "old", kOld);
    WriteFile(Src("small"), "fits", kNew);
    const std::string result = InChild(
        [&] {
            ScriptedUi ui;
            ui.errorAnswers = {ErrorAnswer::Skip};
            return Describe(LocalFileOperationService(ui).copy(std::vector<CopyPair>{Pair("big"), Pair("small")},
                                                                kNoQuestions));
        },
        [] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{256 * 1024, 256 * 1024};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    EXPECT_EQ(result, "2 " + FileOperationTexts::Reason(FileOperationTexts::kCopyFailed, EFBIG) + "\n0 \n");
    EXPECT_EQ(ReadFile(Tgt("big")), "old");
    EXPECT_EQ(ReadFile(Tgt("small")), "fits");
    EXPECT_TRUE(TempFilesBelow(dir.path()).empty());
}

// Disk full for real on a small file system; afterwards the space is free again.
TEST_F(FaultTest, FullFileSystemFailsTheCopyAndFreesTheSpace) {
    SmallFileSystem small(Tgt(""), "size=1m");
    if (!small.mounted()) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    WriteFile(Src("big"), std::string(3 << 20, 'b'), kNew);
    WriteFile(Src("after"), std::string(512 * 1024, 'a'), kNew);
    WriteFile(Tgt("big"), "old", kOld);
    ScriptedUi ui;
    ui.errorAnswers = {ErrorAnswer::Skip};
    const OperationResult r = LocalFileOperationService(ui).copy(std::vector<CopyPair>{Pair("big"), Pair("after")},
                                                                 kNoQuestions);
    EXPECT_EQ(r.files[0].outcome, FileOutcome::Failed);
    EXPECT_NE(r.files[0].reason.find(ErrorText(ENOSPC)), std::string::npos) << r.files[0].reason;
    EXPECT_EQ(r.files[1].outcome, FileOutcome::Done);  // the failed copy's space was given back
    EXPECT_EQ(ReadFile(Tgt("big")), "old");
    EXPECT_EQ(ReadFile(Tgt("after")), std::string(512 * 1024, 'a'));
    EXPECT_TRUE(TempFilesBelow(Tgt("")).empty());
}

// A destination that fails one of the copy's last steps (the tests' faulty
// file system): the flush of the data, or setting the copy's permissions. The
// copy is reported failed with the system's reason, never renamed into place.
// A big file is flushed on a thread of its own while the run goes on.
TEST_F(FaultTest, FailingFlushOrPermissionsFailTheCopyAndKeepTheDestination) {
    const struct {
        const char* call;
        size_t size;
    } cases[] = {{"fsync", 3}, {"chmod", 3}, {"fsync", 64u << 20}};
    for (const auto& [call, size] : cases) {
        SCOPED_TRACE(std::string(call) + " " + std::to_string(size));
        TempDir backing;
        WriteFile(Src("f"), std::string(size, 'n'), kNew);
        WriteFile(backing / "f", "old", kOld);
        test::FaultyMount mount(backing.path(), Tgt(""), {"--rw", std::string("--fail=") + call});
        if (!mount.usable()) GTEST_SKIP() << mount.why();
        ScriptedUi ui;
        ui.errorAnswers = {ErrorAnswer::Skip};
        const OperationResult r = LocalFileOperationService(ui).copy(std::vector<CopyPair>{Pair("f")}, kNoQuestions);
        EXPECT_EQ(Describe(r), "2 " + FileOperationTexts::Reason(FileOperationTexts::kCannotWrite, EIO) + "\n");
        EXPECT_EQ(ReadFile(Tgt("f")), "old");
        EXPECT_TRUE(TempFilesBelow(backing.path()).empty());
    }
}

TEST_F(FaultTest, ReadOnlyFileSystemRefusesCopyAndDelete) {
    SmallFileSystem small(Tgt(""), "size=1m");
    if (!small.mounted()) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    WriteFile(Src("f"), "new", kNew);
    WriteFile(Src("sub/g"), "new", kNew);
    WriteFile(Tgt("f"), "old", kOld);
    ASSERT_TRUE(small.makeReadOnly());
    ScriptedUi ui;
    ui.errorAnswers = {ErrorAnswer::Skip, ErrorAnswer::Skip, ErrorAnswer::Skip, ErrorAnswer::Skip};
    LocalFileOperationService service(ui);
    const OperationResult copied = service.copy(std::vector<CopyPair>{Pair("f"), Pair("sub/g")}, kNoQuestions);
    const OperationResult removed =
        service.remove(std::vector<ListedPath>{RootedPath::Join(Tgt(""), "f")}, DeleteFlags{false});
    // Into the trash: the same error, not a question whether to delete for good.
    const OperationResult trashed =
        service.remove(std::vector<ListedPath>{RootedPath::Join(Tgt(""), "f")}, DeleteFlags{false, true});
    ASSERT_EQ(ui.errors.size(), 4u);
    EXPECT_TRUE(ui.withoutTrashQuestions.empty());
    for (const auto& e : ui.errors) EXPECT_NE(e.reason.find(ErrorText(EROFS)), std::string::npos) << e.reason;
    EXPECT_EQ(copied.count(FileOutcome::Failed), 2);
    EXPECT_EQ(removed.count(FileOutcome::Failed), 1);
    EXPECT_EQ(trashed.count(FileOutcome::Failed), 1);
    EXPECT_EQ(ReadFile(Tgt("f")), "old");
}

// Permission denied, for real (a rename out of a read-only folder too): as
// root the child gives up its rights first.
TEST_F(FaultTest, PermissionDeniedOnSourceFileSourceFolderAndDestination) {
    WriteFile(Src("locked-file"), "secret", kNew);
    WriteFile(Src("locked-folder/f"), "secret", kNew);
    WriteFile(Src("free"), "free", kNew);
    WriteFile(Tgt("readonly/f"), "old", kOld);
    WriteFile(Src("readonly/f"), "new", kNew);
    test::MakeDirs(Tgt(""));
    const bool root = geteuid() == 0;
    const uid_t nobody = 65534;
    chmod(dir.path().c_str(), 0755);
    chmod(Src("").c_str(), 0755);
    if (root) {
        // Writable for the child where it should be, nowhere else.
        ASSERT_EQ(chown(Tgt("").c_str(), nobody, nobody), 0);
    }
    chmod(Src("locked-file").c_str(), 0);
    chmod(Src("locked-folder").c_str(), 0);
    chmod(Tgt("readonly").c_str(), 0555);
    const auto body = [&] {
        ScriptedUi ui;
        ui.errorAnswers.assign(5, ErrorAnswer::Skip);
        LocalFileOperationService service(ui);
        const OperationResult r = service.copy(
            std::vector<CopyPair>{Pair("locked-file"), Pair("locked-folder/f"), Pair("readonly/f"), Pair("free")},
            kNoQuestions);
        const OperationResult d =
            service.remove(std::vector<ListedPath>{RootedPath::Join(Tgt(""), "readonly/f")}, DeleteFlags{false});
        const OperationResult m = service.move(
            std::vector<MovePair>{{RootedPath::Join(Tgt(""), "readonly/f"), RootedPath::Join(Tgt(""), "moved")}});
        std::string text = Describe(r) + Describe(d) + Describe(m);
        for (const auto& e : ui.errors) text += e.path + "\n";
        return text;
    };
    const std::string result = root ? InChild(body,
                                              [] {
                                                  setgroups(0, nullptr);
                                                  if (setresgid(65534, 65534, 65534) != 0 ||
                                                      setresuid(65534, 65534, 65534) != 0)
                                                      _exit(3);
                                              })
                                    : body();
    const std::string denied = ErrorText(EACCES);
    const std::string expected =
        "2 " + FileOperationTexts::Reason(FileOperationTexts::kSourceUnreadable, EACCES) + "\n" +
        "2 " + FileOperationTexts::Reason(FileOperationTexts::kSourceFolderUnusable, EACCES) + "\n" +
        "2 " + FileOperationTexts::Reason(FileOperationTexts::kCannotCreate, EACCES) + "\n" + "0 \n" +
        "2 " + FileOperationTexts::Reason(FileOperationTexts::kCannotDelete, EACCES) + "\n" +
        "2 " + FileOperationTexts::Reason(FileOperationTexts::kCannotMove, EACCES) + "\n" + Src("locked-file") +
        "\n" + Src("locked-folder") + "\n" + Tgt("readonly/f") + "\n" + Tgt("readonly/f") + "\n" +
        Tgt("readonly/f") + "\n";
    EXPECT_EQ(result, expected);
    chmod(Tgt("readonly").c_str(), 0755);
    EXPECT_EQ(ReadFile(Tgt("readonly/f")), "old");
    EXPECT_FALSE(std::filesystem::exists(Tgt("moved")));
    EXPECT_EQ(ReadFile(Tgt("free")), "free");
    EXPECT_TRUE(TempFilesBelow(Tgt("")).empty());
}

// The source or the destination changes while a large file is being copied
// (after its first chunk), or another program saves the destination at the
// moment the copy takes its place (after the old version went into the trash).
// The destination ends up old, the other program's or complete, never mixed,
// and no version the user had is lost. Where the file system cannot exchange
// two names (NTFS through ntfs-3g), the copy looks once more before the rename.
TEST_F(FaultTest, ChangesDuringTheCopy) {
    const std::string big(LocalFileOperationService::kChunkBytes * 2 + 123, 'b');
    const auto save = [](FaultTest& t, const char* content, int64_t time) {  // as an editor saves
        WriteFile(t.Tgt(".f.swp"), content, time);
        rename(t.Tgt(".f.swp").c_str(), t.Tgt("f").c_str());
    };
    enum class When { WhileCopying, BeforePlacing };
    struct Case {
        const char* name;
        std::function<void(FaultTest&)> change;
        FileOutcome outcome;
        std::string destination;  // content afterwards; "<dir>" for a folder, "<big>" for the copy
        When when = When::WhileCopying;
        ConfirmAnswer changedAnswer = ConfirmAnswer::No;
        std::string trashed = {};  // what the trash gained
        bool ntfs = false;
    };
    const Case cases[] = {
        {"source deleted", [](FaultTest& t) { unlink(t.Src("f").c_str()); }, FileOutcome::Failed, "old"},
        {"source truncated", [](FaultTest& t) { truncate(t.Src("f").c_str(), 10); }, FileOutcome::Failed, "old"},
        {"source grown",
         [](FaultTest& t) {
             std::ofstream(t.Src("f"), std::ios::app) << "more";
         },
         FileOutcome::Failed, "old"},
        {"source replaced by another file",
         [](FaultTest& t) {
             WriteFile(t.Src("other"), "other", kNew);
             rename(t.Src("other").c_str(), t.Src("f").c_str());
         },
         FileOutcome::Failed, "old"},
        {"source rewritten in place with its size and time kept",
         [](FaultTest& t) {
             const int fd = open(t.Src("f").c_str(), O_WRONLY);
             (void)!pwrite(fd, "XX", 2, 0);  // already copied
             (void)!pwrite(fd, "YY", 2, 3 * (1 << 20) + 5);
             close(fd);
             test::SetModified(t.Src("f"), kNew);
         },
         FileOutcome::Failed, "old"},
        {"destination replaced by a folder",
         [](FaultTest& t) {
             unlink(t.Tgt("f").c_str());
             WriteFile(t.Tgt("f/inside"), "kept", kOld);
         },
         FileOutcome::Failed, "<dir>"},
        {"destination saved anew with the same size and time", [&](FaultTest& t) { save(t, "NEW", kOld); },
         FileOutcome::Skipped, "NEW"},
        {"destination saved while the copy takes its place", [&](FaultTest& t) { save(t, "saved", kOld + 9); },
         FileOutcome::Skipped, "saved", When::BeforePlacing},
        {"destination saved while the copy takes its place, replaced all the same",
         [&](FaultTest& t) { save(t, "saved", kOld + 9); }, FileOutcome::Done, "<big>", When::BeforePlacing,
         ConfirmAnswer::Yes, "saved"},
        {"destination saved while the copy takes its place, on NTFS", [&](FaultTest& t) { save(t, "saved", kOld + 9); },
         FileOutcome::Skipped, "saved", When::BeforePlacing, ConfirmAnswer::No, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FaultTest& t = *this;
        std::filesystem::remove_all(dir.path());
        std::optional<SmallFileSystem> ntfs;
        if (c.ntfs && !(ntfs.emplace(SmallFileSystem::Ntfs(dir / "ntfs.img", Tgt(""))).mounted())) continue;
        WriteFile(Src("f"), big, kNew);
        WriteFile(Tgt("f"), "old", kOld);
        const std::vector<std::string> trashedBefore = TrashedContents(c.ntfs ? Tgt(".Trash-0") : "");
        ScriptedUi ui;
        ui.errorAnswers = {ErrorAnswer::Skip};
        ui.changedAnswers = {c.changedAnswer};
        ui.withoutTrashAnswers = {ConfirmAnswer::Yes};  // NTFS through ntfs-3g has no safe trash
        bool changed = false;
        const auto change = [&] {
            if (!changed) c.change(t);
            changed = true;
        };
        ui.onProgress = [&](const ProgressInfo& p) {
            if (p.bytesDone > 0 && c.when == When::WhileCopying) change();
        };
        LocalFileTransfer::beforePlacing = [&](const std::string&) {
            if (c.when == When::BeforePlacing) change();
        };
        const OperationResult r =
            LocalFileOperationService(ui).copy(std::vector<CopyPair>{Pair("f")}, CopyFlags{false, false, true});
        LocalFileTransfer::beforePlacing = nullptr;
        EXPECT_TRUE(changed);
        EXPECT_EQ(r.files[0].outcome, c.outcome) << r.files[0].reason;
        if (c.destination == "<dir>") {
            EXPECT_EQ(ReadFile(Tgt("f/inside")), "kept");
        } else {
            const std::string now = ReadFile(Tgt("f"));
            const std::string& expected = c.destination == "<big>" ? big : c.destination;
            EXPECT_TRUE(now == expected) << now.size() << " bytes instead of " << expected.size();
        }
        std::vector<std::string> gained = TrashedContents(c.ntfs ? Tgt(".Trash-0") : "");
        for (const std::string& before : trashedBefore) gained.erase(std::find(gained.begin(), gained.end(), before));
        EXPECT_EQ(gained, c.trashed.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.trashed});
        EXPECT_TRUE(TempFilesBelow(dir.path()).empty());
    }
}

// Files and folders vanish and appear while the scan runs: every run ends, and
// what it lists is consistent (ordered, each entry in one pair).
TEST(ScanFaults, FilesVanishingWhileTheScanRuns) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    for (int f = 0; f < 40; ++f)
        for (int i = 0; i < 25; ++i) {
            const std::string rel = "d" + std::to_string(f) + "/f" + std::to_string(i);
            WriteFile(q + "/" + rel, "s", kNew);
            WriteFile(z + "/" + rel, "t", kOld);
        }
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        std::mt19937 random(7);
        while (!stop.load()) {
            const std::string side = random() % 2 ? q : z;
            const std::string folder = side + "/d" + std::to_string(random() % 40);
            const std::string file = folder + "/f" + std::to_string(random() % 25);
            switch (random() % 4) {
            case 0: unlink(file.c_str()); break;
            case 1: WriteFile(file, "again", kNew); break;
            case 2: std::filesystem::remove_all(folder); break;
            case 3: rename(folder.c_str(), (folder + "x").c_str()); rename((folder + "x").c_str(), folder.c_str()); break;
            }
        }
    });
    for (int run = 0; run < 30; ++run) {
        TreeMatcher matcher;
        std::string s = q, t = z;
        const int32_t count = matcher.Run(s, t, false, false, true);
        int32_t entries = 0;
        for (const FilePair& p : matcher.pairs()) {
            ASSERT_TRUE(p.source || p.target);
            entries += (p.source ? 1 : 0) + (p.target ? 1 : 0);
        }
        EXPECT_EQ(count, matcher.pairCount());
        EXPECT_EQ(entries, matcher.lastEntry() + 1);
    }
    stop.store(true);
    churn.join();
}

}  // namespace
}  // namespace kirvo
