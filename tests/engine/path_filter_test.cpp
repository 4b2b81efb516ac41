#include "engine/path_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tree_matcher.h"
#include "support/temp_tree.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"

namespace kirvo {
namespace {

using test::MakeDirs;
using test::MakeTree;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kT = 1'300'000'000;

TEST(PathPattern, SyntaxTable) {
    struct Case {
        const char* pattern;
        const char* folder;
        const char* name;
        bool isFolder;
        bool matches;
    };
    const Case cases[] = {
        // Without a separator: the name, at any depth, files and folders.
        {"*.jpg", "", "a.jpg", false, true},
        {"*.jpg", "x/y/", "a.jpg", false, true},
        {"*.jpg", "", "a.jpg", true, true},
        {"*.jpg", "", "a.jpeg", false, false},
        {"*.jpg", "a.jpg/", "b.txt", false, false},  // only the name counts
        {"a*", "", "a", false, true},                 // * may be empty
        // With one inside: the whole path from the root; a leading one changes nothing.
        {"a/*.jpg", "a/", "x.jpg", false, true},
        {"a/*.jpg", "", "x.jpg", false, false},
        {"a/*.jpg", "b/a/", "x.jpg", false, false},
        {"a/*.jpg", "a/b/", "x.jpg", false, false},  // * stops at the separator
        {"/a/*.jpg", "a/", "x.jpg", false, true},
        {"/x.jpg", "", "x.jpg", false, true},
        {"/x.jpg", "a/", "x.jpg", false, false},
        {"a*/b", "ab/", "b", false, true},
        {"a*/b", "a/c/", "b", false, false},
        // A trailing separator: folders only.
        {"build/", "src/", "build", true, true},
        {"build/", "src/", "build", false, false},
        {"src/build/", "src/", "build", true, true},
        {"src/build/", "x/src/", "build", true, false},
        // ** as a whole component: any number of folders, none included.
        {"**/x", "", "x", false, true},
        {"**/x", "a/b/", "x", false, true},
        {"a/**/b", "a/", "b", false, true},
        {"a/**/b", "a/c/d/", "b", false, true},
        {"a/**/b", "", "b", false, false},
        {"a/**/b", "x/a/", "b", false, false},
        {"x/**", "", "x", true, true},
        {"x/**", "", "x", false, false},
        {"x/**", "x/", "a.txt", false, true},
        {"x/**", "x/y/", "z", true, true},
        {"x/**", "y/x/", "a", false, false},
        {"/**", "a/", "b", false, true},
        {"a**b", "", "axyb", false, true},  // not a whole component: two stars
        {"a**b", "a/", "b", false, false},
        {"**", "q/", "anything", false, true},
        // Sets: ranges, negation, a leading ], classes; never the separator.
        {"[abc].txt", "", "b.txt", false, true},
        {"[abc].txt", "", "d.txt", false, false},
        {"[a-c]x", "", "Bx", false, true},
        {"[!a-c]x", "", "dx", false, true},
        {"[!a-c]x", "", "Ax", false, false},
        {"[^a-c]x", "", "ax", false, false},
        {"[]]x", "", "]x", false, true},
        {"[!]]x", "", "]x", false, false},
        {"[[:digit:]]*", "", "1a", false, true},
        {"[[:digit:]]*", "", "a1", false, false},
        {"file[0-9]", "", "file", false, false},
        {"[a-]", "", "-", false, true},
        // Escapes take the next byte as it is.
        {"\\*.txt", "", "*.txt", false, true},
        {"\\*.txt", "", "a.txt", false, false},
        {"a\\?", "", "a?", false, true},
        {"a\\?", "", "ab", false, false},
        {"\\[x]", "", "[x]", false, true},
        {"[\\]]", "", "]", false, true},
        // Case: only A to Z fold; every other byte, and ? one byte.
        {"README", "", "readme", false, true},
        {"Fotos/", "", "FOTOS", true, true},
        {"\xc3\xa4*", "", "\xc3\x84.txt", false, false},  // ä does not match Ä
        {"\xc3\xa4*", "", "\xc3\xa4.txt", false, true},
        {"?.txt", "", "\xc3\xa4.txt", false, false},
        {"??.txt", "", "\xc3\xa4.txt", false, true},
        {"~$*", "", "~$Brief.docx", false, true},
        {"*~", "", "notes.txt~", false, true},
        {"#*#", "", "#entwurf#", false, true},
    };
    for (const Case& c : cases) {
        PathPattern pattern;
        std::string reason;
        ASSERT_TRUE(PathPattern::Compile(c.pattern, pattern, reason)) << c.pattern << ": " << reason;
        EXPECT_EQ(pattern.Matches(c.folder, c.name, c.isFolder), c.matches)
            << c.pattern << " against " << c.folder << c.name << (c.isFolder ? " (folder)" : " (file)");
    }
    // "Ausschließen" from the list: the pattern of exactly one file or folder,
    // whatever its name holds.
    const Case exactly[] = {
        {"a/[x]*?.txt", "a/", "[x]*?.txt", false, true},
        {"a/[x]*?.txt", "a/", "x1?.txt", false, false},
        {"a/[x]*?.txt", "b/a/", "[x]*?.txt", false, false},
        {"b\\c ", "", "b\\c ", false, true},
        {"Fotos/", "", "Fotos", true, true},
        {"Fotos/", "", "Fotos", false, false},
    };
    for (const Case& c : exactly) {
        PathPattern pattern;
        std::string reason;
        const std::string text = PathPattern::Exactly(c.pattern);
        ASSERT_TRUE(PathPattern::Compile(PathPattern::TrimLine(text), pattern, reason)) << text << ": " << reason;
        EXPECT_EQ(pattern.Matches(c.folder, c.name, c.isFolder), c.matches) << text << " against " << c.name;
    }
}

TEST(PathPattern, InvalidPatternsAreRefusedWithTheirReason) {
    const struct {
        const char* pattern;
        const char* reason;
    } cases[] = {
        {"", "leer"},
        {"/", "leer"},
        {"//", "leer"},
        {"[abc", "[ wird nicht mit ] geschlossen"},
        {"[]", "[ wird nicht mit ] geschlossen"},
        {"[!]", "[ wird nicht mit ] geschlossen"},
        {"a[\\", "am Ende"},
        {"abc\\", "am Ende"},
        {"a//b", "leeren Abschnitt"},
        {"a\\/b", "nicht mit \\ maskieren"},
        {"[z-a]", "Bereich z-a ist leer"},
        {"[[:wort:]]", "[:wort:]"},
    };
    for (const auto& c : cases) {
        PathPattern pattern;
        std::string reason;
        EXPECT_FALSE(PathPattern::Compile(c.pattern, pattern, reason)) << c.pattern;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.pattern << ": " << reason;
    }
    PathFilter filter;
    std::string error;
    const std::vector<std::string> include{"*.jpg"}, exclude{"ok", "[x"};
    EXPECT_FALSE(PathFilter::Create(include, exclude, filter, error));
    EXPECT_EQ(error.rfind("Ungültiges Muster \"[x\" unter \"Ausschließen\": ", 0), 0u) << error;
    EXPECT_TRUE(filter.LeavesOutNothing());  // unchanged
}

TEST(PathPattern, LinesAreTrimmedUnlessTheBlankIsEscaped) {
    EXPECT_EQ(PathPattern::TrimLine("  *.tmp \t\r"), "*.tmp");
    EXPECT_EQ(PathPattern::TrimLine("name\\ "), "name\\ ");
    EXPECT_EQ(PathPattern::TrimLine("name\\\\ "), "name\\\\");
    EXPECT_EQ(PathPattern::TrimLine(" \t "), "");
}

// One pair as text, with each entry's folder number: filtering must not
// change how the folders are numbered either.
std::vector<std::string> Describe(const TreeMatcher& m) {
    std::vector<std::string> out;
    for (const FilePair& p : m.pairs()) {
        std::string line = std::to_string(static_cast<int>(p.verdict));
        for (const FileEntry* e : {p.source, p.target})
            line += e ? " " + std::to_string(e->folderIndex()) + ":" + e->relativePath() : std::string(" -");
        out.push_back(line);
    }
    return out;
}

std::vector<std::string> Compare(const std::string& source, const std::string& target, const RunOptions& options,
                                 TreeMatcher& matcher) {
    std::string s = source, t = target;
    matcher.Run(Root::Local(s), Root::Local(t), options);
    return Describe(matcher);
}

PathFilter Filter(std::vector<std::string> include, std::vector<std::string> exclude) {
    PathFilter filter;
    std::string error;
    EXPECT_TRUE(PathFilter::Create(include, exclude, filter, error)) << error;
    return filter;
}

TEST(PathFilterScan, AFolderExcludedOnTheOneSideThatHasItIsLeftOut) {
    TempDir dir;
    MakeTree(dir / "q", {{"a.txt"}, {"node_modules/lib/x.js"}, {"src/node_modules/y.js"}, {"src/b.c"}});
    MakeTree(dir / "z", {{"a.txt"}, {".git/HEAD"}, {"src/b.c"}, {"src/.GIT/objects/o"}});
    const PathFilter filter = Filter({}, {"node_modules/", ".git/"});
    RunOptions options;
    options.filter = &filter;
    TreeMatcher m;
    EXPECT_EQ(Compare(dir / "q", dir / "z", options, m), (std::vector<std::string>{"0 0:a.txt 0:a.txt",
                                                                                   "0 1:src/b.c 1:src/b.c"}));
}

TEST(PathFilterScan, IncludeAndExcludeTogether) {
    TempDir dir;
    MakeTree(dir / "q", {{"a.jpg"}, {"a.txt"}, {"Fotos/x.txt"}, {"Fotos/y.tmp"}, {"Fotos/privat/z.jpg"},
                         {"Urlaub/b.JPG"}, {"Urlaub/c.png"}, {"Urlaub/fotos/d.doc"}});
    MakeDirs(dir / "z");
    const PathFilter filter = Filter({"*.jpg", "Fotos/"}, {"*.tmp", "/Fotos/privat/"});
    RunOptions options;
    options.filter = &filter;
    TreeMatcher m;
    std::vector<std::string> listed;
    for (const std::string& line : Compare(dir / "q", dir / "z", options, m))
        listed.push_back(line.substr(line.find(':') + 1, line.rfind(' ') - line.find(':') - 1));
    // Exclude wins over an including folder; include needs the file or a folder above it.
    EXPECT_EQ(listed, (std::vector<std::string>{"a.jpg", "Fotos/x.txt", "Urlaub/b.JPG", "Urlaub/fotos/d.doc"}));
}

// The result under a filter equals the comparison of copies of both trees
// from which the left-out files and folders were removed: pairs, folder
// numbers, rows, totals and statistics.
TEST(PathFilterScan, ResultEqualsThatOfPrunedCopies) {
    enum Sides { kS = 1, kZ = 2, kBoth = 3 };
    struct Entry {
        const char* path;
        int sides;
        // nullptr: kept. Otherwise left out, and what remains of its folders
        // in the pruned copy ("" none below the root).
        const char* remains;
    };
    struct Case {
        const char* what;
        std::vector<std::string> include;
        std::vector<std::string> exclude;
        bool excludeSubFolders;
        std::vector<Entry> entries;
    };
    const std::vector<Case> cases = {
        {"excludes at every depth, one-sided folders, case variants",
         {},
         {".git/", "node_modules/", "*.tmp", "thumbs.db", "/build/", "docs/**/*.pdf"},
         false,
         {{"a.txt", kBoth, nullptr},
          {"a.TMP", kBoth, ""},
          {"Thumbs.db", kZ, ""},
          {".git/HEAD", kS, ""},
          {".git/refs/main", kS, ""},
          {"src/main.c", kBoth, nullptr},
          {"src/x.tmp", kS, "src/"},
          {"src/.git/config", kZ, "src/"},
          {"src/build/out.o", kBoth, nullptr},  // anchored: only the root's build
          {"build/out.o", kBoth, ""},
          {"node_modules/m/i.js", kZ, ""},
          {"lib/node_modules/n.js", kS, "lib/"},
          {"lib/util.c", kZ, nullptr},
          {"docs/a.pdf", kBoth, ""},
          {"docs/x/y/b.pdf", kS, "docs/x/y/"},
          {"docs/x/y/b.txt", kBoth, nullptr},
          {"other/docs/c.pdf", kBoth, nullptr}}},
        {"includes with sub-folder exclusion: a target root file that is not listed is no counterpart",
         {"*.jpg", "fotos/"},
         {"*.raw"},
         true,
         {{"a.jpg", kBoth, nullptr},
          {"a.txt", kBoth, ""},
          {"Bilder", kZ, ""},  // names the source folder below, but is not listed
          {"Bilder/b.jpg", kS, nullptr},  // kept, but "SubOrdner" skips its folder on both runs
          {"Fotos/c.txt", kBoth, nullptr},
          {"Fotos/d.raw", kBoth, "Fotos/"},
          {"Fotos/Tief/e.doc", kS, nullptr},
          {"Reise/f.JPG", kBoth, nullptr},
          {"Reise/g.png", kZ, "Reise/"},
          {"Reise/fotos/h.doc", kZ, nullptr}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        // Both copies are made in the same order, so folders are listed in
        // the same order too.
        for (size_t i = 0; i < c.entries.size(); ++i) {
            const Entry& e = c.entries[i];
            const int64_t times[2] = {kT, kT + 3600 * (static_cast<int64_t>(i % 3) - 1)};
            const std::string content(i * 100, 'x');
            for (int side = 0; side < 2; ++side) {
                if (!(e.sides & (1 << side))) continue;
                const std::string tree = side == 0 ? "q" : "z";
                WriteFile(dir / (tree + "/" + e.path), content, times[side]);
                if (e.remains == nullptr) {
                    WriteFile(dir / ("pruned-" + tree + "/" + e.path), content, times[side]);
                } else {
                    MakeDirs(dir / ("pruned-" + tree + "/" + e.remains));
                }
            }
        }
        const PathFilter filter = Filter(c.include, c.exclude);
        RunOptions filtered;
        filtered.filter = &filter;
        filtered.excludeSubFolders = c.excludeSubFolders;
        filtered.excludeSystemFolders = true;
        RunOptions plain = filtered;
        plain.filter = nullptr;
        TreeMatcher a, b, unfiltered;
        const auto withFilter = Compare(dir / "q", dir / "z", filtered, a);
        EXPECT_EQ(withFilter, Compare(dir / "pruned-q", dir / "pruned-z", plain, b));
        EXPECT_LT(withFilter.size(), Compare(dir / "q", dir / "z", plain, unfiltered).size());

        const ResultRows rowsA(a, DisplayFilter(DisplayFilterValue::All));
        const ResultRows rowsB(b, DisplayFilter(DisplayFilterValue::All));
        ASSERT_EQ(rowsA.size(), rowsB.size());
        for (size_t row = 0; row < rowsA.size(); ++row) {
            EXPECT_EQ(rowsA.StateImage(row), rowsB.StateImage(row)) << row;
            for (int column : {1, 2, 3, 4, 6, 7, 8}) EXPECT_EQ(rowsA.CellText(row, column), rowsB.CellText(row, column));
            for (int column : {0, 5}) EXPECT_EQ(rowsA.CellText(row, column).empty(), rowsB.CellText(row, column).empty());
        }
        EXPECT_EQ(rowsA.SourceSummaryText(), rowsB.SourceSummaryText());
        EXPECT_EQ(rowsA.TargetSummaryText(), rowsB.TargetSummaryText());
        EXPECT_EQ(SelectionStats(rowsA).SourceText(), SelectionStats(rowsB).SourceText());
        EXPECT_EQ(SelectionStats(rowsA).TargetText(), SelectionStats(rowsB).TargetText());
    }
}

}  // namespace
}  // namespace kirvo
