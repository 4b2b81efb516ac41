#include "engine/tree_matcher.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/mounted_file_system.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace kirvo {
namespace {

using test::LocalEpoch;
using test::MakeTree;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kT = 1'300'000'000;  // 13 March 2011, well inside a month

// One pair as text: "<verdict> <source path or -> <target path or ->".
std::vector<std::string> Describe(const TreeMatcher& m) {
    std::vector<std::string> out;
    for (const FilePair& p : m.pairs()) {
        std::string line = std::to_string(static_cast<int>(p.verdict));
        line += " " + (p.source ? p.source->relativePath() : std::string("-"));
        line += " " + (p.target ? p.target->relativePath() : std::string("-"));
        out.push_back(line);
    }
    return out;
}

struct Trees {
    TempDir dir;
    std::string source = dir / "quelle";
    std::string target = dir / "ziel";
    TreeMatcher matcher;

    std::vector<std::string> Compare(bool tolerance = true, bool excludeSub = false) {
        std::string s = source, t = target;
        matcher.Run(s, t, excludeSub, false, tolerance);
        return Describe(matcher);
    }
};

TEST(TreeMatcher, VerdictFollowsTheTimeDifferenceAndTolerance) {
    struct Case {
        const char* what;
        int64_t source;
        uint32_t sourceNs;
        int64_t target;
        int withTolerance;
        int without;
    };
    const Case cases[] = {
        {"equal to the second", kT, 0, kT, 0, 0},
        {"milliseconds only", kT, 900'000'000, kT, 0, 0},
        {"source 1 s newer", kT + 1, 0, kT, 0, 1},
        {"source 2 s newer", kT + 2, 0, kT, 0, 1},
        {"source 3 s newer", kT + 3, 0, kT, 1, 1},
        {"target 1 s newer", kT, 0, kT + 1, 0, -1},
        {"target 2 s newer", kT, 0, kT + 2, 0, -1},
        {"target 3 s newer", kT, 0, kT + 3, -1, -1},
        {"days apart within a month", kT + 5 * 86400, 0, kT, 1, 1},
        {"month turn, 1 s", LocalEpoch(2011, 3, 31, 23, 59, 59), 0, LocalEpoch(2011, 4, 1, 0, 0, 0), -1, -1},
        {"year turn, 1 s", LocalEpoch(2011, 1, 1, 0, 0, 0), 0, LocalEpoch(2010, 12, 31, 23, 59, 59), 1, 1},
        {"same day, other month", LocalEpoch(2011, 5, 13, 10, 0, 0), 0, LocalEpoch(2011, 4, 13, 10, 0, 0), 1, 1},
    };
    for (const Case& c : cases) {
        for (bool tolerance : {true, false}) {
            Trees t;
            WriteFile(t.source + "/f.txt", "small", c.source, c.sourceNs);
            WriteFile(t.target + "/f.txt", "a much larger content", c.target);
            const auto pairs = t.Compare(tolerance);
            const int expected = tolerance ? c.withTolerance : c.without;
            EXPECT_EQ(pairs, std::vector<std::string>{std::to_string(expected) + " f.txt f.txt"})
                << c.what << (tolerance ? " (tolerance)" : " (exact)");
        }
    }
}

TEST(TreeMatcher, TimeDifferenceSentinelsAndExactSeconds) {
    auto at = [](int y, int mo, int d, int h, int mi, int s) {
        SystemTime t;
        t.year = static_cast<uint16_t>(y);
        t.month = static_cast<uint16_t>(mo);
        t.day = static_cast<uint16_t>(d);
        t.hour = static_cast<uint16_t>(h);
        t.minute = static_cast<uint16_t>(mi);
        t.second = static_cast<uint16_t>(s);
        return t;
    };
    EXPECT_EQ(TreeMatcher::TimeDifference(at(2011, 3, 31, 23, 59, 59), at(2011, 4, 1, 0, 0, 0)),
              TreeMatcher::kEarlierMonth);
    EXPECT_EQ(TreeMatcher::TimeDifference(at(2012, 1, 1, 0, 0, 0), at(2011, 12, 31, 0, 0, 0)),
              TreeMatcher::kLaterMonth);
    EXPECT_EQ(TreeMatcher::TimeDifference(at(2011, 3, 31, 0, 0, 0), at(2011, 3, 1, 23, 59, 59)), 29 * 86400 + 1);
    EXPECT_EQ(TreeMatcher::TimeDifference(at(2011, 3, 1, 0, 0, 0), at(2011, 3, 31, 23, 0, 0)), -(30 * 86400 + 82800));
}

TEST(TreeMatcher, SingleSidedFilesAndOrderOverManyFolders) {
    Trees t;
    MakeTree(t.source, {{"only-source.txt"}, {"both.txt"}, {"sub/x.txt"}});
    MakeTree(t.target, {{"only-target.txt"}, {"both.txt"}, {"sub/y.txt"}});
    EXPECT_EQ(t.Compare(), (std::vector<std::string>{"0 both.txt both.txt", "1 only-source.txt -",
                                                     "-1 - only-target.txt", "1 sub/x.txt -", "-1 - sub/y.txt"}));
    // Single-sided verdicts never depend on times or the tolerance.
    EXPECT_EQ(t.Compare(false)[1], "1 only-source.txt -");

    // The separator weighs as a backslash (0x5C): a sibling going on with a
    // lower byte comes before the folder that is its prefix, a higher one after.
    Trees order;
    MakeTree(order.source, {{"A/x"}, {"A1/x"}, {"A b/x"}, {"A-b/x"}, {"A_b/x"}, {"Ab/x"}, {"A/B/x"}, {"A/1/x"}});
    EXPECT_EQ(order.Compare(), (std::vector<std::string>{"1 A b/x -", "1 A-b/x -", "1 A1/x -", "1 A/x -",
                                                         "1 A/1/x -", "1 A/B/x -", "1 A_b/x -", "1 Ab/x -"}));
}

TEST(TreeMatcher, ManyFilesAllPairCorrectlyPastTheFirstBlocks) {
    Trees t;
    std::vector<std::string> expected;
    for (int i = 0; i < 130; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "d%02d/f%03d.dat", i % 7, i);
        const int kind = i % 4;  // 0 equal, 1 source newer, 2 source only, 3 target only
        if (kind != 3) WriteFile(t.source + "/" + name, "s", kT + (kind == 1 ? 10 : 0));
        if (kind != 2) WriteFile(t.target + "/" + name, "t", kT);
    }
    const auto pairs = t.Compare();
    ASSERT_EQ(pairs.size(), 130u);
    std::map<int, int> verdicts;
    for (const FilePair& p : t.matcher.pairs()) ++verdicts[static_cast<int>(p.verdict) * 10 + (p.source ? 1 : 0) + (p.target ? 2 : 0)];
    EXPECT_EQ(verdicts[3], 33);    // equal, both sides (i%4==0: 33 of 130)
    EXPECT_EQ(verdicts[13], 33);   // source newer
    EXPECT_EQ(verdicts[11], 32);   // source only
    EXPECT_EQ(verdicts[-8], 32);   // target only: -10 + 2
    for (size_t i = 1; i < t.matcher.pairs().size(); ++i) {
        const FilePair& a = t.matcher.pairs()[i - 1];
        const FilePair& b = t.matcher.pairs()[i];
        const FileEntry& ea = a.source ? *a.source : *a.target;
        const FileEntry& eb = b.source ? *b.source : *b.target;
        EXPECT_LT(TreeMatcher::OrderEntries(ea, eb), 0) << i;
    }
}

TEST(TreeMatcher, CaseVariantsPairByteIdenticalFirstWhateverTheArrangement) {
    struct Case {
        std::vector<std::string> source, target, expected;
    };
    const Case cases[] = {
        {{"Readme.TXT"}, {"readme.txt"}, {"0 Readme.TXT readme.txt"}},
        {{"A.txt", "a.txt"}, {"a.txt", "A.txt"}, {"0 A.txt A.txt", "0 a.txt a.txt"}},
        {{"A.txt", "a.txt"}, {"a.txt"}, {"1 A.txt -", "0 a.txt a.txt"}},
        {{"A.txt", "a.txt"}, {"A.txt"}, {"0 A.txt A.txt", "1 a.txt -"}},
        {{"a.txt"}, {"A.txt", "a.txt"}, {"-1 - A.txt", "0 a.txt a.txt"}},
        {{"A.txt", "a.txt"}, {"b.TXT"}, {"1 A.txt -", "1 a.txt -", "-1 - b.TXT"}},
    };
    for (size_t c = 0; c < std::size(cases); ++c) {
        Trees t;
        for (const auto& n : cases[c].source) WriteFile(t.source + "/" + n, "s", kT);
        for (const auto& n : cases[c].target) WriteFile(t.target + "/" + n, "t", kT);
        EXPECT_EQ(t.Compare(), cases[c].expected) << "case " << c;
    }
    // Two sources and one target that matches neither byte for byte: nobody pairs.
    Trees t;
    WriteFile(t.source + "/A.txt", "s", kT);
    WriteFile(t.source + "/a.txt", "s", kT);
    WriteFile(t.target + "/A.TXT", "t", kT);
    EXPECT_EQ(t.Compare(), (std::vector<std::string>{"-1 - A.TXT", "1 A.txt -", "1 a.txt -"}));
}

TEST(TreeMatcher, CaseVariantFoldersPairTheirFiles) {
    Trees t;
    MakeTree(t.source, {{"Bilder/2009/a.jpg"}});
    MakeTree(t.target, {{"bilder/2009/A.JPG"}});
    EXPECT_EQ(t.Compare(), std::vector<std::string>{"0 Bilder/2009/a.jpg bilder/2009/A.JPG"});
}

TEST(TreeMatcher, RootComparedWithItselfIsAllEqual) {
    Trees t;
    MakeTree(t.source, {{"a"}, {"b/c"}, {"b/d/e", kT + 100}});
    std::string s = t.source, same = t.source + "/";
    t.matcher.Run(s, same, false, false, false);
    ASSERT_EQ(t.matcher.pairCount(), 3);
    for (const FilePair& p : t.matcher.pairs()) {
        EXPECT_EQ(p.verdict, Verdict::Equal);
        EXPECT_NE(p.source, nullptr);
        EXPECT_NE(p.target, nullptr);
    }
}

TEST(TreeMatcher, NormalisesRootsAndKeepsThemAfterClear) {
    Trees t;
    MakeTree(t.source, {{"a"}});
    std::string s = t.source, tg = t.target + "/";
    t.matcher.Run(s, tg, false, false, true);
    EXPECT_EQ(s, t.source + "/");  // the caller's text gains the separator too
    EXPECT_EQ(t.matcher.sourceRoot(), t.source + "/");
    EXPECT_EQ(t.matcher.targetRoot(), t.target + "/");
    t.matcher.Clear();
    t.matcher.Clear();
    EXPECT_EQ(t.matcher.pairCount(), 0);
    EXPECT_EQ(t.matcher.lastEntry(), -1);
    EXPECT_EQ(t.matcher.entries()[0], nullptr);
    EXPECT_EQ(t.matcher.sourceRoot(), t.source + "/");

    std::string root = "/";
    std::string dest;
    TreeMatcher::NormaliseRoot(dest, root);
    EXPECT_EQ(dest, "/");
}

TEST(TreeMatcher, MissingRootsCompareAsEmptyAndRootsThatAreFilesAsUnknown) {
    Trees t;
    MakeTree(t.source, {{"a.txt"}});
    WriteFile(t.dir / "file-as-root", "x", kT);
    std::string s = t.source, missing = t.dir / "gibt-es-nicht";
    t.matcher.Run(s, missing, false, false, true);
    EXPECT_EQ(Describe(t.matcher), std::vector<std::string>{"1 a.txt -"});
    std::string file = t.dir / "file-as-root", s2 = t.source;
    t.matcher.Run(file, s2, false, false, true);
    EXPECT_EQ(Describe(t.matcher), std::vector<std::string>{"4 - a.txt"});
    ASSERT_EQ(t.matcher.unknownPlaces().size(), 1u);
    EXPECT_EQ(t.matcher.unknownPlaces()[0].path, "");
    EXPECT_EQ(t.matcher.unknownPlaces()[0].error, ENOTDIR);
    std::string m1 = t.dir / "nix1", m2 = t.dir / "nix2";
    EXPECT_EQ(t.matcher.Run(m1, m2, false, false, true), 0);
    EXPECT_EQ(t.matcher.lastEntry(), -1);
}

TEST(TreeMatcher, EmptyFoldersAndDotNames) {
    Trees t;
    MakeTree(t.source, {{".config"}, {"..data"}, {".hidden/x"}});
    test::MakeDirs(t.source + "/empty-only-here");
    test::MakeDirs(t.target);
    EXPECT_EQ(t.Compare(), (std::vector<std::string>{"1 ..data -", "1 .config -", "1 .hidden/x -"}));
}

TEST(TreeMatcher, SubFolderExclusionTestsOnlyTheSourceRootsFolders) {
    Trees t;
    MakeTree(t.source, {{"kept/a"}, {"KEPT2/b"}, {"gone/c"}, {"kept/deeper/d"}, {"named-by-file/e"}, {"root.txt"}});
    MakeTree(t.target, {{"kept/z"}, {"kept2/z"}, {"named-by-file"}, {"only-target/f"}});
    const auto pairs = t.Compare(true, true);
    EXPECT_EQ(pairs, (std::vector<std::string>{
                         "-1 - named-by-file", "1 root.txt -", "1 KEPT2/b -", "-1 - kept2/z", "1 kept/a -",
                         "-1 - kept/z", "1 kept/deeper/d -", "1 named-by-file/e -", "-1 - only-target/f"}));
    // Without the option everything is scanned.
    EXPECT_EQ(t.Compare(true, false).size(), 10u);
}

TEST(TreeMatcher, FoldersAreNumberedBreadthFirstPerSide) {
    Trees t;
    MakeTree(t.source, {{"r"}, {"a/1"}, {"a/b/2"}, {"c/3"}});
    MakeTree(t.target, {{"c/3"}});
    t.Compare();
    std::map<std::string, int> indexOf;
    for (const FilePair& p : t.matcher.pairs()) {
        if (p.source) indexOf["s:" + std::string(p.source->folder())] = p.source->folderIndex();
        if (p.target) indexOf["t:" + std::string(p.target->folder())] = p.target->folderIndex();
    }
    EXPECT_EQ(indexOf["s:"], 0);
    EXPECT_GT(indexOf["s:a/b/"], indexOf["s:a/"]);
    EXPECT_GT(indexOf["s:a/b/"], indexOf["s:c/"]);  // the deeper folder comes after all of level one
    EXPECT_EQ(indexOf["t:c/"], 1);
}

TEST(TreeMatcher, LinksFifosAndSocketsAreHandledSafely) {
    Trees t;
    MakeTree(t.source, {{"real.txt"}, {"sub/inner.txt"}});
    test::MakeDirs(t.target);
    ASSERT_EQ(symlink("..", (t.source + "/sub/loop").c_str()), 0);
    ASSERT_EQ(symlink("real.txt", (t.source + "/link-to-file").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (t.source + "/dangling").c_str()), 0);
    ASSERT_EQ(symlink("/", (t.source + "/to-root").c_str()), 0);
    ASSERT_EQ(mkfifo((t.source + "/fifo").c_str(), 0600), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = t.source + "/sock";
    if (sockPath.size() < sizeof addr.sun_path) {
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sockPath.c_str());
        ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    }
    EXPECT_EQ(t.Compare(), (std::vector<std::string>{"1 link-to-file -", "1 real.txt -", "1 sub/inner.txt -"}));
    close(sock);
}

TEST(TreeMatcher, UnusualNamesAndLongPathsAreComparedLikeAnyOther) {
    Trees t;
    const std::string odd[] = {"tab\there", "line\nfeed", "pipe|name", "back\\slash", "latin1-\xE4\xF6\xFC", " space"};
    for (const auto& n : odd) {
        WriteFile(t.source + "/" + n, "s", kT);
        WriteFile(t.target + "/" + n, "t", kT + 60);
    }
    std::string deep;
    for (int i = 0; i < 12; ++i) deep += std::string(40, static_cast<char>('a' + i)) + "/";
    WriteFile(t.source + "/" + deep + "tief.txt", "s", kT);
    WriteFile(t.target + "/" + deep + "tief.txt", "t", kT);
    const auto pairs = t.Compare();
    ASSERT_EQ(pairs.size(), 7u);
    for (const FilePair& p : t.matcher.pairs()) {
        ASSERT_TRUE(p.source && p.target);
        EXPECT_EQ(p.source->name(), p.target->name());
        EXPECT_EQ(p.verdict, p.source->name() == "tief.txt" ? Verdict::Equal : Verdict::TargetToSource);
    }
    EXPECT_GT(deep.size(), 260u);
}

// Builds `levels` nested folders of 60-byte names below root with mkdirat,
// so the whole path may exceed the system's path limit, and a file at the bottom.
void MakeDeepChain(const std::string& root, int levels, int64_t mtime) {
    test::MakeDirs(root);
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const std::string name(60, 'd');
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
        const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(child, 0);
        fd = child;
    }
    const int file = openat(fd, "unten.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    futimens(file, times);
    close(file);
    close(fd);
}

TEST(TreeMatcher, TreesDeeperThanThePathLimitAreCompared) {
    Trees t;
    MakeDeepChain(t.source, 80, kT + 100);  // 80 * 61 bytes: past 4096
    MakeDeepChain(t.target, 80, kT);
    const auto pairs = t.Compare();
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(t.matcher.pairs()[0].verdict, Verdict::SourceToTarget);
    EXPECT_GT(t.matcher.pairs()[0].source->folder().size(), 4096u);
}

TEST(TreeMatcher, UnreadableFolderIsSkippedSilently) {
    Trees t;
    MakeTree(t.source, {{"open/a"}, {"closed/b"}});
    test::MakeDirs(t.target);
    chmod((t.source + "/closed").c_str(), 0);
    // Without root's rights: root reads every folder.
    const std::string result = test::Unprivileged(t.dir.path(), [&] {
        std::string text;
        for (const std::string& pair : t.Compare()) text += pair + "\n";
        return text;
    });
    EXPECT_EQ(result, "1 open/a -\n");
}

// A real NTFS volume (ntfs-3g on a loop image) carries the system attribute;
// elsewhere no folder is a system folder, so the option changes nothing.
TEST(TreeMatcher, SystemFoldersOnNtfsAreLeftOutWithTheOption) {
    Trees t;
    test::MountedFileSystem ntfs = test::MountedFileSystem::Ntfs(t.dir / "ntfs.img", t.source);
    if (!ntfs.mounted()) GTEST_SKIP() << "no ntfs-3g mount here";
    MakeTree(t.source, {{"System Volume Information/a"}, {"normal/b"}});
    const std::string mark = "setfattr -n system.ntfs_attrib_be -v 0x00000014 '" + t.source + "/System Volume Information'";
    const bool marked = std::system(mark.c_str()) == 0;
    MakeTree(t.target, {{"tmpfs-like/c"}});
    std::string s = t.source, tg = t.target;
    t.matcher.Run(s, tg, false, true, true);
    const auto excluded = Describe(t.matcher);
    t.matcher.Run(s, tg, false, false, true);
    const auto all = Describe(t.matcher);
    ASSERT_TRUE(marked);
    EXPECT_EQ(excluded, (std::vector<std::string>{"1 normal/b -", "-1 - tmpfs-like/c"}));
    EXPECT_EQ(all.size(), 3u);
}

TEST(TreeMatcher, SizesAreExactBeyondFourGigabytes) {
    Trees t;
    WriteFile(t.source + "/big", "", kT);
    ASSERT_EQ(truncate((t.source + "/big").c_str(), (5LL << 30) + 7), 0);
    test::SetModified(t.source + "/big", kT);
    test::MakeDirs(t.target);
    t.Compare();
    ASSERT_EQ(t.matcher.pairCount(), 1);
    EXPECT_EQ(t.matcher.pairs()[0].source->size(), (5ULL << 30) + 7);
}

}  // namespace
}  // namespace kirvo
