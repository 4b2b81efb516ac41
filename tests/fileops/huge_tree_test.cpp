#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/scripted_ui.h"
#include "fileops/tree_tools.h"

namespace kirvo {
namespace {

using test::ReadDeep;
using test::Scratch;
using test::SyncYes;
using test::Unequal;
using test::WriteDeep;

constexpr int64_t kNew = 1'400'000'000;

// 100,000 files in one folder: compared, copied and deleted.
TEST(HugeTreeSlow, HundredThousandFilesInOneFolder) {
    Scratch scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string q = scratch.path() + "/q", z = scratch.path() + "/z";
    const int folder = test::MakeFoldersAt(q, "viele");
    ASSERT_GE(folder, 0);
    constexpr int kFiles = 100'000;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "datei-" + std::to_string(i);
        const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, name.data(), name.size()), static_cast<ssize_t>(name.size()));
        const struct timespec times[2] = {{kNew, 0}, {kNew, 0}};
        futimens(fd, times);
        close(fd);
    }
    close(folder);

    const test::SyncOutcome r = SyncYes(q, z);
    EXPECT_EQ(r.status, kExitEqual) << r.err;
    EXPECT_EQ(ReadDeep(z, "viele/datei-99999"), "datei-99999");

    std::vector<ListedPath> all;
    for (int i = 0; i < kFiles; ++i) all.push_back(RootedPath::Join(z, "viele/datei-" + std::to_string(i)));
    test::ScriptedUi ui;
    EXPECT_TRUE(LocalFileOperationService(ui).remove(all, DeleteFlags{false}).allDone());
    EXPECT_EQ(Unequal(q, z).size(), static_cast<size_t>(kFiles));
}

// 5,000 nested folders (paths of 10,000 bytes): compared, copied, deleted.
TEST(HugeTreeSlow, FiveThousandLevels) {
    Scratch scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string q = scratch.path() + "/q", z = scratch.path() + "/z";
    std::string half, deep;
    for (int i = 0; i < 5000; ++i) (i < 2500 ? half : deep) += "d/";
    deep = half + deep;
    ASSERT_TRUE(WriteDeep(q, deep + "unten.txt", "ganz unten", kNew));
    ASSERT_TRUE(WriteDeep(q, half + "mitte.txt", "in der Mitte", kNew));
    test::MakeFoldersAt(z, "");

    const test::SyncOutcome r = SyncYes(q, z);
    EXPECT_EQ(r.status, kExitEqual) << r.out << r.err.substr(0, 2000);
    EXPECT_EQ(ReadDeep(z, deep + "unten.txt"), "ganz unten");
    EXPECT_EQ(ReadDeep(z, half + "mitte.txt"), "in der Mitte");

    test::ScriptedUi ui;
    EXPECT_TRUE(LocalFileOperationService(ui)
                    .remove(std::vector<ListedPath>{RootedPath::Join(z, deep + "unten.txt")}, DeleteFlags{false})
                    .allDone());
    EXPECT_EQ(ReadDeep(z, deep + "unten.txt"), "<missing>");
    EXPECT_EQ(Unequal(q, z), std::vector<std::string>{"+1 " + deep + "unten.txt"});
}

}  // namespace
}  // namespace kirvo
