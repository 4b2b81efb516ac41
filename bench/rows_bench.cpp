// Building the rows and the selection statistics for a million pairs.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "support/scattered_pairs.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"

namespace kirvo {
namespace {

// Processor time, not wall time: the machine may be busy with other work.
double MillisecondsSince(std::clock_t start) {
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// A million pairs laid out as the engine leaves them.
void Run() {
    constexpr int kFolders = 1000;
    constexpr int kPerFolder = 1000;
    const test::ScatteredPairs laid(kFolders, kPerFolder);
    const std::vector<FilePair>& pairs = laid.pairs;
    const std::string sourceRoot = "/q/", targetRoot = "/z/";

    ResultRows rows;
    std::clock_t start = std::clock();
    rows.Build(pairs, sourceRoot, targetRoot, DisplayFilter(DisplayFilterValue::All));
    const double buildMs = MillisecondsSince(start);
    // One folder row per folder, and one more where the first target-only pair moves the target marker.
    if (rows.size() != static_cast<size_t>(kFolders) * (kPerFolder + 2) - 1) std::printf("unexpected row count\n");

    SelectionStats stats;
    double statsMs = 1e9;
    for (int attempt = 0; attempt < 5; ++attempt) {  // best of five: caches are shared too
        start = std::clock();
        stats.Update(rows);
        statsMs = std::min(statsMs, MillisecondsSince(start));
    }
    uint64_t expectedSource = 0;
    int32_t expectedSourceFiles = 0;
    for (const FilePair& p : pairs)
        if (p.verdict != kirvo::Verdict::Equal && p.source) expectedSource += p.source->size(), ++expectedSourceFiles;
    if (stats.sourceBytes() != expectedSource || stats.sourceFiles() != expectedSourceFiles)
        std::printf("unexpected statistics\n");

    std::printf("rows: build %.1f ms for %zu rows, statistics %.1f ms (processor time)\n", buildMs, rows.size(),
                statsMs);
}

}  // namespace
}  // namespace kirvo

int main() {
    kirvo::Run();
    return 0;
}
