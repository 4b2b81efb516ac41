#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "view/result_rows.h"
#include "view/selection_stats.h"

namespace kirvo {
namespace {

// Many pairs laid out as the engine leaves them: entries in listing
// order, pairs in sorted order, so the pairs reach their entries scattered.
TEST(RowsAtScale, ScatteredPairsGiveOneFolderRowPerFolderAndExactStatistics) {
    constexpr int kFolders = 40;
    constexpr int kPerFolder = 60;
    std::deque<std::string> folders;
    for (int f = 0; f < kFolders; ++f) folders.push_back("folder" + std::to_string(f) + "/");
    std::vector<FileEntry> entries;
    entries.reserve(2u * kFolders * kPerFolder);
    for (int side = kSourceSide; side <= kTargetSide; ++side)
        for (int f = 0; f < kFolders; ++f)
            for (int i = 0; i < kPerFolder; ++i)
                entries.emplace_back(f, side, &folders[static_cast<size_t>(f)], "name.txt",
                                     static_cast<uint64_t>(i) * 1000 + 7, 1'300'000'000, 0);
    std::vector<FilePair> pairs;
    pairs.reserve(static_cast<size_t>(kFolders) * kPerFolder);
    std::mt19937 random(42);
    std::vector<size_t> order(kPerFolder);
    for (int f = 0; f < kFolders; ++f) {
        for (size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        for (int i = 0; i < kPerFolder; ++i) {
            const size_t k = static_cast<size_t>(f) * kPerFolder + order[static_cast<size_t>(i)];
            const int verdict = i % 3 - 1;
            pairs.push_back({verdict, verdict == -1 && i % 2 ? nullptr : &entries[k],
                             verdict == 1 && i % 2 ? nullptr : &entries[k + kFolders * kPerFolder]});
        }
    }
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
        if (p.verdict != 0 && p.source) expectedSource += p.source->size(), ++expectedSourceFiles;
    EXPECT_EQ(stats.sourceBytes(), expectedSource);
    EXPECT_EQ(stats.sourceFiles(), expectedSourceFiles);

}

}  // namespace
}  // namespace kirvo
