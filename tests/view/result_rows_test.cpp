#include "view/result_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/tree_matcher.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using test::FileSpec;
using test::LocalEpoch;
using test::MakeTree;
using test::TempDir;

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = kOld + 3600;

// Two trees below one temporary folder, compared with the usual options.
struct Comparison {
    TempDir dir;
    std::string sourceRoot = dir / "quelle";
    std::string targetRoot = dir / "ziel";
    TreeMatcher matcher;
    ResultRows rows;

    Comparison(std::initializer_list<FileSpec> source, std::initializer_list<FileSpec> target) {
        MakeTree(sourceRoot, source);
        MakeTree(targetRoot, target);
    }
    void Run(DisplayFilterValue filter = DisplayFilterValue::All, FillProgress* progress = nullptr) {
        std::string s = sourceRoot, t = targetRoot;
        matcher.Run(s, t, false, false, true);
        rows.Build(matcher, DisplayFilter(filter), progress);
    }
    // Folder rows as "[Q/folder | Z/folder]", file rows as "state path arrow path".
    std::vector<std::string> Outline() const {
        std::vector<std::string> lines;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows.IsFolderRow(i)) {
                lines.push_back("[" + Shorten(rows.CellText(i, 0), "Q") + " | " + Shorten(rows.CellText(i, 5), "Z") + "]");
            } else {
                lines.push_back(std::to_string(rows.StateImage(i)) + " " + rows.CellText(i, 3) + " " +
                                rows.CellText(i, 4) + " " + rows.CellText(i, 8));
            }
        }
        return lines;
    }
    std::string Shorten(const std::string& text, const char* tag) const {
        const std::string& root = *tag == 'Q' ? sourceRoot : targetRoot;
        if (text.empty()) return text;
        EXPECT_EQ(text.compare(0, root.size() + 1, root + "/"), 0) << text;
        return tag + text.substr(root.size());
    }
};

TEST(ResultRows, TargetOnlyFileInASubFolderGetsItsOwnSecondFolderRow) {
    Comparison c({{"a.txt", kOld}, {"X/b.txt", kOld}},
                 {{"a.txt", kOld}, {"X/b.txt", kOld}, {"X/c.txt", kOld}});
    c.Run();
    EXPECT_EQ(c.Outline(), (std::vector<std::string>{
                               "[Q/ | Z/]", "4 a.txt = a.txt",
                               "[Q/X/ | Z/X/]", "4 X/b.txt = X/b.txt",
                               "[ | Z/X/]", "2  <--- X/c.txt"}));
    EXPECT_EQ(c.rows.targetTotals().folders, 3);
    EXPECT_EQ(c.rows.sourceTotals().folders, 2);
    EXPECT_EQ(c.rows.targetTotals().files, 3);
    EXPECT_EQ(c.rows.sourceTotals().files, 2);
}

TEST(ResultRows, LaterRowsOfAFolderGoUnderTheLaterFolderRow) {
    Comparison c({{"a.txt", kOld}, {"X/b.txt", kOld}, {"X/d.txt", kNew}},
                 {{"a.txt", kOld}, {"X/b.txt", kOld}, {"X/c.txt", kOld}, {"X/d.txt", kOld}});
    c.Run();
    EXPECT_EQ(c.Outline(), (std::vector<std::string>{
                               "[Q/ | Z/]", "4 a.txt = a.txt",
                               "[Q/X/ | Z/X/]", "4 X/b.txt = X/b.txt",
                               "[Q/X/ | Z/X/]", "2  <--- X/c.txt", "2 X/d.txt ---> X/d.txt"}));
    EXPECT_EQ(c.rows.sourceTotals().folders, 3);
    EXPECT_EQ(c.rows.targetTotals().folders, 3);
}

TEST(ResultRows, FirstSideSeedsTheOtherSidesMarker) {
    // A target-only pair first: the source marker takes the same number, so
    // the source file of the root joins the same folder row, and vice versa.
    Comparison targetFirst({{"b.txt", kOld}}, {{"a.txt", kOld}});
    targetFirst.Run();
    EXPECT_EQ(targetFirst.Outline(),
              (std::vector<std::string>{"[Q/ | Z/]", "2  <--- a.txt", "2 b.txt ---> "}));
    EXPECT_EQ(targetFirst.rows.sourceTotals().folders, 1);
    EXPECT_EQ(targetFirst.rows.targetTotals().folders, 1);

    Comparison sourceFirst({{"a.txt", kOld}}, {{"b.txt", kOld}});
    sourceFirst.Run();
    EXPECT_EQ(sourceFirst.Outline(),
              (std::vector<std::string>{"[Q/ | Z/]", "2 a.txt ---> ", "2  <--- b.txt"}));

    // Markers compare folder numbers of different sides: source folder 1 and
    // target folder 1 share a row although their names differ.
    Comparison crossed({{"A/a.txt", kOld}}, {{"B/b.txt", kOld}});
    crossed.Run();
    EXPECT_EQ(crossed.Outline(),
              (std::vector<std::string>{"[Q/A/ | Z/B/]", "2 A/a.txt ---> ", "2  <--- B/b.txt"}));
}

TEST(ResultRows, SingleSidedRowsFillOnlyTheirColumns) {
    Comparison c({{"only-source.txt", LocalEpoch(2009, 3, 6, 7, 5, 9), std::string(1536, 's')}},
                 {{"sub/only-target.txt", LocalEpoch(2010, 12, 24, 18, 30, 0), std::string(1023, 't')}});
    c.Run();
    ASSERT_EQ(c.rows.size(), 4u);
    const std::vector<std::string> sourceRow = {"only-source.txt", "2 KB", " 6.03.2009 07:05:09",
                                                "only-source.txt", "--->", "", "", "", ""};
    const std::vector<std::string> targetRow = {"", "", "", "", "<---", "only-target.txt", "1023 Byte",
                                                "24.12.2010 18:30:00", "sub/only-target.txt"};
    for (int col = 0; col < ResultRows::kColumnCount; ++col) {
        EXPECT_EQ(c.rows.CellText(1, col), sourceRow[col]) << col;
        EXPECT_EQ(c.rows.CellText(3, col), targetRow[col]) << col;
    }
    EXPECT_EQ(c.rows.CellText(0, 0), c.sourceRoot + "/");
    EXPECT_EQ(c.rows.CellText(0, 5), "");  // no target file under the root row
    EXPECT_EQ(c.rows.CellText(2, 0), "");
    EXPECT_EQ(c.rows.CellText(2, 5), c.targetRoot + "/sub/");
    for (int col : {1, 2, 3, 4, 6, 7, 8}) EXPECT_EQ(c.rows.CellText(0, col), "") << col;
    EXPECT_EQ(c.rows.CellText(1, 9), "");
    EXPECT_EQ(c.rows.CellText(99, 0), "");
    EXPECT_EQ(c.rows.Pair(0), nullptr);
    EXPECT_EQ(c.rows.PairIndex(0), -1);
    ASSERT_NE(c.rows.Pair(1), nullptr);
    EXPECT_EQ(c.rows.Pair(1), &c.matcher.pairs()[static_cast<size_t>(c.rows.PairIndex(1))]);
    EXPECT_EQ(c.rows.Pair(1)->source->name(), "only-source.txt");
    EXPECT_EQ(c.rows.SourceSummaryText(), "1 Datei in 1 Ordner mit 2 KB (1536 Bytes) ");
    EXPECT_EQ(c.rows.TargetSummaryText(), "1 Datei in 1 Ordner mit 1023 Bytes (1023 Bytes) ");
}

TEST(ResultRows, FilterDecidesRowsFolderRowsAndTotals) {
    Comparison c({{"same.txt", kOld, "12"}, {"newer.txt", kNew, "123"}, {"Eq/e.txt", kOld, "1234"}},
                 {{"same.txt", kOld, "12"}, {"newer.txt", kOld, "1"}, {"older.txt", kOld}, {"Eq/e.txt", kOld}});
    const struct {
        DisplayFilterValue filter;
        std::vector<std::string> outline;
        uint64_t sourceBytes;
    } cases[] = {
        {DisplayFilterValue::All,
         {"[Q/ | Z/]", "2 newer.txt ---> newer.txt", "2  <--- older.txt", "4 same.txt = same.txt",
          "[Q/Eq/ | Z/Eq/]", "4 Eq/e.txt = Eq/e.txt"},
         9},
        {DisplayFilterValue::Unequal, {"[Q/ | Z/]", "2 newer.txt ---> newer.txt", "2  <--- older.txt"}, 3},
        {DisplayFilterValue::SourceToTarget, {"[Q/ | Z/]", "2 newer.txt ---> newer.txt"}, 3},
        {DisplayFilterValue::TargetToSource, {"[ | Z/]", "2  <--- older.txt"}, 0},
        {DisplayFilterValue::Equal,
         {"[Q/ | Z/]", "4 same.txt = same.txt", "[Q/Eq/ | Z/Eq/]", "4 Eq/e.txt = Eq/e.txt"}, 6},
    };
    for (const auto& k : cases) {
        c.Run(k.filter);
        EXPECT_EQ(c.Outline(), k.outline) << static_cast<int>(k.filter);
        EXPECT_EQ(c.rows.sourceTotals().bytes, k.sourceBytes) << static_cast<int>(k.filter);
    }
    c.Run(DisplayFilterValue::TargetToSource);
    EXPECT_EQ(c.rows.SourceSummaryText(), "0 Dateien in 0 Ordnern mit 0 Bytes (0 Bytes) ");
    EXPECT_EQ(c.rows.TargetSummaryText(), "1 Datei in 1 Ordner mit 1 Byte (1 Byte) ");
}

TEST(ResultRows, ManyFoldersAndPairsStayInOrder) {
    Comparison c({}, {});
    std::vector<std::string> expected;
    // Folders d00..d05 with 12 files each, the odd-numbered files on the source side only.
    for (int d = 0; d < 6; ++d) {
        const std::string folder = "d0" + std::to_string(d) + "/";
        expected.push_back("[Q/" + folder + " | Z/" + folder + "]");
        for (int f = 0; f < 12; ++f) {
            const std::string rel = folder + "f" + std::to_string(10 + f) + ".txt";
            test::WriteFile(c.sourceRoot + "/" + rel, "s", kNew);
            if (f % 2 == 0) test::WriteFile(c.targetRoot + "/" + rel, "t", kOld);
            expected.push_back("2 " + rel + " ---> " + (f % 2 == 0 ? rel : ""));
        }
    }
    test::MakeDirs(c.targetRoot);
    c.Run();
    EXPECT_EQ(c.matcher.pairCount(), 72);
    EXPECT_EQ(c.Outline(), expected);
    EXPECT_EQ(c.rows.sourceTotals().files, 72);
    EXPECT_EQ(c.rows.sourceTotals().folders, 6);
    EXPECT_EQ(c.rows.targetTotals().files, 36);
    EXPECT_EQ(c.rows.targetTotals().folders, 6);
}

TEST(ResultRows, MarksFlipOnlyUnequalFileRows) {
    Comparison c({{"a.txt", kNew}, {"b.txt", kOld}, {"c.txt", kNew}, {"Y/d.txt", kNew}},
                 {{"a.txt", kOld}, {"b.txt", kOld}, {"c.txt", kOld}, {"Y/d.txt", kOld}});
    c.Run();
    // [root] a(2) b(4) c(2) [Y] d(2)
    auto states = [&] {
        std::string s;
        for (size_t i = 0; i < c.rows.size(); ++i) s += std::to_string(c.rows.StateImage(i));
        return s;
    };
    EXPECT_EQ(states(), "324232");
    c.rows.ToggleMark(1);
    EXPECT_EQ(states(), "314232");
    for (size_t row : {0u, 2u, 4u, 99u}) c.rows.ToggleMark(row);
    EXPECT_EQ(states(), "314232");
    c.rows.ToggleFolderMarks(0);  // opposite pattern, equal row passed over, stops at [Y]
    EXPECT_EQ(states(), "324132");
    c.rows.ToggleFolderMarks(4);
    EXPECT_EQ(states(), "324131");
    c.rows.ToggleFolderMarks(4);
    c.rows.ToggleFolderMarks(99);
    EXPECT_EQ(states(), "324132");
    EXPECT_TRUE(c.rows.IsMarked(1));
    EXPECT_FALSE(c.rows.IsMarked(3));
}

struct RecordingProgress : FillProgress {
    std::vector<std::string> sourceTexts, targetTexts;
    std::vector<int32_t> ticks;
    int started = 0;
    void FillStarted() override { ++started; }
    void ShowFileCount(Side side, const std::string& text) override {
        (side == kSourceSide ? sourceTexts : targetTexts).push_back(text);
    }
    void PairTick(int32_t p) override { ticks.push_back(p); }
};

TEST(ResultRows, ProgressFollowsTheRepaintInterval) {
    EXPECT_EQ(ResultRows::RepaintInterval(0), 4);
    EXPECT_EQ(ResultRows::RepaintInterval(499), 4);
    EXPECT_EQ(ResultRows::RepaintInterval(500), 5);
    EXPECT_EQ(ResultRows::RepaintInterval(1000), 10);

    Comparison c({}, {{"t.txt", kOld}});
    for (int i = 0; i < 999; ++i) test::WriteFile(c.sourceRoot + "/s" + std::to_string(1000 + i), "", kOld);
    RecordingProgress progress;
    c.Run(DisplayFilterValue::All, &progress);
    ASSERT_EQ(c.matcher.pairCount(), 1000);
    EXPECT_EQ(progress.started, 1);
    std::vector<std::string> expected;
    for (int n = 0; n < 999; ++n)
        if (n < 11 || n % 10 == 0) expected.push_back(std::to_string(n) + (n == 1 ? " Datei" : " Dateien"));
    EXPECT_EQ(progress.sourceTexts, expected);
    EXPECT_EQ(progress.targetTexts, std::vector<std::string>{"0 Dateien"});
    // Every tenth pair, and pair 0 once more after its folder row.
    ASSERT_EQ(progress.ticks.size(), 101u);
    EXPECT_EQ(progress.ticks[0], 0);
    EXPECT_EQ(progress.ticks[1], 0);
    EXPECT_EQ(progress.ticks[2], 10);
    EXPECT_EQ(progress.ticks.back(), 990);
}

TEST(ResultRows, CaseVariantsPairByteIdenticalNamesFirstWhateverTheCreationOrder) {
    // Source newer everywhere, so a pair reads "--->" and a lone target "<---".
    const struct {
        std::vector<std::string> source, target;
        std::vector<std::string> outline;
    } cases[] = {
        {{"A.txt"}, {"A.txt"}, {"2 A.txt ---> A.txt"}},
        {{"A.txt"}, {"a.txt"}, {"2 A.txt ---> a.txt"}},
        {{"a.txt"}, {"A.txt"}, {"2 a.txt ---> A.txt"}},
        {{"A.txt", "a.txt"}, {"A.txt"}, {"2 A.txt ---> A.txt", "2 a.txt ---> "}},
        {{"A.txt", "a.txt"}, {"a.txt"}, {"2 A.txt ---> ", "2 a.txt ---> a.txt"}},
        {{"A.txt"}, {"A.txt", "a.txt"}, {"2 A.txt ---> A.txt", "2  <--- a.txt"}},
        {{"a.txt"}, {"A.txt", "a.txt"}, {"2  <--- A.txt", "2 a.txt ---> a.txt"}},
        {{"A.txt", "a.txt"}, {"A.txt", "a.txt"}, {"2 A.txt ---> A.txt", "2 a.txt ---> a.txt"}},
    };
    for (const auto& k : cases) {
        for (bool reversed : {false, true}) {
            Comparison c({}, {});
            auto write = [&](const std::string& root, std::vector<std::string> names, int64_t mtime) {
                if (reversed) std::reverse(names.begin(), names.end());
                for (const std::string& n : names) test::WriteFile(root + "/" + n, n, mtime);
            };
            write(c.sourceRoot, k.source, kNew);
            write(c.targetRoot, k.target, kOld);
            c.Run();
            std::vector<std::string> expected = {"[Q/ | Z/]"};
            expected.insert(expected.end(), k.outline.begin(), k.outline.end());
            EXPECT_EQ(c.Outline(), expected) << k.source.size() << "/" << k.target.size() << " reversed " << reversed;
        }
    }
}

TEST(ResultRows, EachSideShowsItsOwnFolderBytesAndLongPathsInFull) {
    std::string deep;
    for (int i = 0; i < 12; ++i) deep += "verzeichnis-mit-langem-namen-" + std::to_string(i) + "/";
    ASSERT_GT(deep.size(), 300u);
    Comparison c({{"Docs/a.txt", kNew}, {deep + "tief.txt", kNew}}, {{"docs/a.txt", kOld}, {deep + "tief.txt", kOld}});
    c.Run();
    EXPECT_EQ(c.Outline(), (std::vector<std::string>{"[Q/Docs/ | Z/docs/]", "2 Docs/a.txt ---> docs/a.txt",
                                                     "[Q/" + deep + " | Z/" + deep + "]",
                                                     "2 " + deep + "tief.txt ---> " + deep + "tief.txt"}));
}

TEST(ResultRows, FoldersDifferingOnlyInCaseOnOneSideKeepTheirOwnRows) {
    Comparison c({{"Docs/a", kNew}, {"docs/b", kNew}, {"Docs/c", kNew}, {"docs/d", kNew}},
                 {{"docs/b", kOld}, {"docs/e", kOld}});
    c.Run();
    EXPECT_EQ(c.Outline(), (std::vector<std::string>{"[Q/Docs/ | ]", "2 Docs/a ---> ", "2 Docs/c ---> ",
                                                     "[Q/docs/ | Z/docs/]", "2 docs/b ---> docs/b", "2 docs/d ---> ",
                                                     "2  <--- docs/e"}));
    EXPECT_EQ(c.rows.sourceTotals().folders, 2);
    EXPECT_EQ(c.rows.targetTotals().folders, 1);
    c.rows.ToggleFolderMarks(0);  // the whole folder, not one file
    EXPECT_EQ(c.rows.StateImage(1), ResultRows::kUnmarked);
    EXPECT_EQ(c.rows.StateImage(2), ResultRows::kUnmarked);
    EXPECT_EQ(c.rows.StateImage(4), ResultRows::kMarked);
    EXPECT_EQ(c.rows.StateImage(6), ResultRows::kMarked);
}

TEST(ResultRows, ClearAndEmptyEngineGiveNoRowsAndZeroTotals) {
    Comparison c({{"a.txt", kNew}}, {});
    c.Run();
    EXPECT_EQ(c.rows.size(), 2u);
    c.rows.Clear();
    EXPECT_TRUE(c.rows.empty());
    EXPECT_EQ(c.rows.SourceSummaryText(), "0 Dateien in 0 Ordnern mit 0 Bytes (0 Bytes) ");
    c.matcher.Clear();
    c.rows.Build(c.matcher, DisplayFilter());
    EXPECT_TRUE(c.rows.empty());
    EXPECT_EQ(c.rows.TargetSummaryText(), "0 Dateien in 0 Ordnern mit 0 Bytes (0 Bytes) ");
}

}  // namespace
}  // namespace kirvo
