// The local lister on real folders, as an ordinary user (root reads
// everything): what it cannot open or inspect it says, and never passes off
// as absent; our own temporary files and the home trash are left out, a
// user's file or folder of the same name is not.
#include "platform/posix/posix_directory_lister.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/posix/own_temporary_file.h"
#include "support/faulty_mount.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace kirvo {
namespace {

// "name KIND[error]" per record, sorted, then "-> error" of the listing.
std::string List(const std::string& root, const std::string& relative) {
    PosixDirectoryLister lister;
    const ListingStatus opened = lister.OpenRoot(root);
    if (!opened.complete()) return "root " + std::to_string(opened.error);
    lister.SetInFlight(1);
    DirectoryLister::Request request;
    request.relative = relative;
    std::vector<std::string> names;
    const ListingStatus status = ListAndWait(lister, request, [&](const DirectoryRecord& record) {
        if (record.name == "." || record.name == "..") return;
        static const char* const kKinds[] = {"F", "D", "O", "U"};
        std::string line = std::string(record.name) + " " + kKinds[static_cast<int>(record.kind)];
        if (record.kind == RecordKind::Unknown) line += std::to_string(record.error);
        names.push_back(line);
    });
    std::sort(names.begin(), names.end());
    std::string out;
    for (const std::string& name : names) out += name + "|";
    return out + "-> " + std::to_string(status.error);
}

TEST(PosixDirectoryLister, SaysWhatItCannotReadAndLeavesOutOnlyOurTemporaryFiles) {
    test::TempDir dir;
    const std::string t = dir / "t";
    test::MakeTree(t, {{"open/a.txt"}, {"open/sub/x"}, {"locked/x.txt"}, {"unsearchable/f.txt"}, {"unsearchable/d/y"},
                       {"file.txt"}, {"home/Trash/files/weg.txt"}, {"home/Dokumente/brief.txt"}, {"tief/.Trash/a"},
                       {"tief/.Trash-1000/b"}, {"tief/lost+found/c"}, {"tief/.Trash-x/d"}});
    test::MakeDirs(t + "/links");
    ASSERT_EQ(symlink("../locked/x.txt", (t + "/links/to-locked").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (t + "/links/dangling").c_str()), 0);
    ASSERT_EQ(symlink("loop", (t + "/links/loop").c_str()), 0);
    // Ours (name form, marker) in one folder; a user's file of the very same name in another.
    test::MakeDirs(t + "/ours");
    const int folder = open((t + "/ours").c_str(), O_RDONLY | O_DIRECTORY);
    char ours[512];
    const int temporary = OwnTemporaryFile::Create(folder, "brief.odt", ours, sizeof ours);
    ASSERT_GE(temporary, 0);
    test::WriteFile(t + "/users/" + ours, "mine", 1'300'000'000);
    chmod((t + "/locked").c_str(), 0);
    chmod((t + "/unsearchable").c_str(), 0444);

    const struct {
        std::string root, relative, expected;
    } cases[] = {
        {t, "open/", "a.txt F|sub D|-> 0"},
        {t, "locked/", "-> " + std::to_string(EACCES)},
        {t, "unsearchable/", "d D|f.txt U" + std::to_string(EACCES) + "|-> 0"},
        {t, "links/", "dangling O|loop O|to-locked U" + std::to_string(EACCES) + "|-> 0"},
        {t, "ours/", "-> 0"},
        {t, "users/", std::string(ours) + " F|-> 0"},
        // The home trash a root holds is not the user's data; folders named like a disk's trash
        // or lost+found below its top are.
        {t, "home/", "Dokumente D|-> 0"},
        {t, "tief/", ".Trash D|.Trash-1000 D|.Trash-x D|lost+found D|-> 0"},
        {t + "/file.txt/", "", "root " + std::to_string(ENOTDIR)},
        {t + "/missing/", "", "root " + std::to_string(ENOENT)},
    };
    const std::string listed = test::Unprivileged(dir.path(), [&] {
        setenv("XDG_DATA_HOME", (t + "/home").c_str(), 1);
        std::string out;
        for (const auto& c : cases) out += List(c.root, c.relative) + "\n";
        return out;
    });
    close(temporary);
    close(folder);
    std::string expected;
    for (const auto& c : cases) expected += c.expected + "\n";
    EXPECT_EQ(listed, expected);
}

// Every request to a user-space file system puts the asking thread to sleep
// until the server answers: each listing counts as one that waited, and the
// automatic number stays where such file systems start.
TEST(PosixDirectoryLister, CountsTheListingsThatWaitedForTheirFileSystem) {
    test::TempDir dir, mounts;
    test::MakeTree(dir / "b", {{"a/x.txt"}, {"c/y.txt"}});
    const test::FaultyMount mount(dir / "b", mounts / "m", {});
    if (!mount.usable()) {
        ASSERT_FALSE(test::FaultyMount::Required()) << mount.why();
        GTEST_SKIP() << mount.why();
    }
    PosixDirectoryLister lister;
    ASSERT_TRUE(lister.OpenRoot(mounts / "m/").complete());
    lister.SetInFlight(1);
    for (const char* relative : {"", "a/", "c/"}) {
        DirectoryLister::Request request;
        request.relative = relative;
        ListAndWait(lister, request, [](const DirectoryRecord&) {});
    }
    EXPECT_EQ(lister.waits().listings, 3);
    EXPECT_EQ(lister.waits().waited, 3);
    EXPECT_EQ(lister.AutomaticInFlight(), PosixDirectoryLister::kRemoteInFlight);
    EXPECT_EQ(lister.AutomaticLimit(), PosixDirectoryLister::kRemoteInFlight);
}

}  // namespace
}  // namespace kirvo
