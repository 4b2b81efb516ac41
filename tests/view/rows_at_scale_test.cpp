#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "support/scattered_pairs.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"

namespace kirvo {
namespace {

// Many pairs laid out as the engine leaves them.
TEST(RowsAtScale, ScatteredPairsGiveOneFolderRowPerFolderAndExactStatistics) {
    constexpr int kFolders = 40;
    constexpr int kPerFolder = 60;
    const test::ScatteredPairs laid(kFolders, kPerFolder);
    const std::vector<FilePair>& pairs = laid.pairs;
    const std::string sourceRoot = "/q/", targetRoot = "/z/";

    ResultRows rows;
    rows.Build(pairs, sourceRoot, targetRoot, DisplayFilter(DisplayFilterValue::All));
    // One folder row per folder, and one more where the first target-only pair moves the target marker.
    EXPECT_EQ(rows.size(), static_cast<size_t>(kFolders) * (kPerFolder + 2) - 1);

    SelectionStats stats;
    stats.Update(rows);
    uint64_t expectedSource = 0;
    int32_t expectedSourceFiles = 0;
    for (const FilePair& p : pairs)
        if (p.verdict != Verdict::Equal && p.source) expectedSource += p.source->size(), ++expectedSourceFiles;
    EXPECT_EQ(stats.sourceBytes(), expectedSource);
    EXPECT_EQ(stats.sourceFiles(), expectedSourceFiles);

}

}  // namespace
}  // namespace kirvo
