#include "view/selection_stats.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/tree_matcher.h"
#include "support/temp_tree.h"
#include "view/result_rows.h"

namespace kirvo {
namespace {

using test::MakeTree;
using test::TempDir;

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = kOld + 60;

TEST(SelectionStats, CountsTheRealSizesOfMarkedFiles) {
    TempDir dir;
    MakeTree(dir / "q", {{"only-source.bin", kOld, std::string(500, 's')},
                         {"both.bin", kNew, std::string(100, 's')},
                         {"equal.bin", kOld, std::string(7000, 'e')}});
    MakeTree(dir / "z", {{"only-target.bin", kOld, std::string(2048, 't')},
                         {"both.bin", kOld, std::string(300, 't')},
                         {"equal.bin", kOld, std::string(9000, 'e')}});
    TreeMatcher matcher;
    std::string s = dir / "q", t = dir / "z";
    matcher.Run(s, t, false, false, true);
    ResultRows rows(matcher, DisplayFilter(DisplayFilterValue::All));
    // [root] both.bin equal.bin only-source.bin only-target.bin
    ASSERT_EQ(rows.size(), 5u);

    SelectionStats stats(rows);
    EXPECT_EQ(stats.sourceFiles(), 2);
    EXPECT_EQ(stats.sourceBytes(), 600u);
    EXPECT_EQ(stats.targetFiles(), 2);
    EXPECT_EQ(stats.targetBytes(), 2348u);  // 2048 counts as 2048, not as "2 KB" read back
    EXPECT_EQ(stats.SourceText(), "2 Dateien mit 600 Bytes (600 Bytes) ausgewählt ");
    EXPECT_EQ(stats.TargetText(), "2 Dateien mit 2 KB (2348 Bytes) ausgewählt ");

    rows.ToggleMark(1);  // both.bin out
    stats.Update(rows);
    EXPECT_EQ(stats.SourceText(), "1 Datei mit 500 Bytes (500 Bytes) ausgewählt ");
    EXPECT_EQ(stats.TargetText(), "1 Datei mit 2 KB (2048 Bytes) ausgewählt ");
    rows.ToggleMark(1);
    stats.Update(rows);
    EXPECT_EQ(stats.sourceBytes(), 600u);

    rows.ToggleFolderMarks(0);  // everything unmarked; the equal row stays as it is
    stats.Update(rows);
    EXPECT_EQ(stats.SourceText(), "0 Dateien mit 0 Bytes (0 Bytes) ausgewählt ");
    EXPECT_EQ(stats.TargetText(), "0 Dateien mit 0 Bytes (0 Bytes) ausgewählt ");
    EXPECT_EQ(rows.StateImage(2), ResultRows::kEqual);

    rows.Clear();
    stats.Update(rows);
    EXPECT_EQ(stats.targetFiles(), 0);
}

TEST(SelectionStats, TextKeepsExactBytesBeyondTheUnitRounding) {
    EXPECT_EQ(SelectionStats::Text(3, 1572865), "3 Dateien mit 1.5 MB (1572865 Bytes) ausgewählt ");
    EXPECT_EQ(SelectionStats::Text(1, 5'000'000'000'000ull),
              "1 Datei mit 4.5 TB (5000000000000 Bytes) ausgewählt ");
}

}  // namespace
}  // namespace kirvo
