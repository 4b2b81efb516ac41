#pragma once
#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "engine/file_entry.h"
#include "engine/file_pair.h"

namespace kirvo::test {

// Pairs laid out as the engine leaves them: entries in listing order, pairs
// in sorted order, so the pairs reach their entries scattered. Verdicts
// cycle through -1, 0, +1; every second unequal pair is single-sided.
// Header-only, so the benchmarks can use it without the test library.
struct ScatteredPairs {
    std::deque<std::string> folders;
    std::vector<FileEntry> entries;
    std::vector<FilePair> pairs;

    ScatteredPairs(int folderCount, int perFolder) {
        for (int f = 0; f < folderCount; ++f) folders.push_back("folder" + std::to_string(f) + "/");
        const size_t perSide = static_cast<size_t>(folderCount) * perFolder;
        entries.reserve(2 * perSide);
        for (int side = kSourceSide; side <= kTargetSide; ++side)
            for (int f = 0; f < folderCount; ++f)
                for (int i = 0; i < perFolder; ++i)
                    entries.emplace_back(f, side, &folders[static_cast<size_t>(f)], "name.txt",
                                         static_cast<uint64_t>(i) * 1000 + 7, 1'300'000'000, 0);
        pairs.reserve(perSide);
        std::mt19937 random(42);
        std::vector<size_t> order(static_cast<size_t>(perFolder));
        for (int f = 0; f < folderCount; ++f) {
            for (size_t i = 0; i < order.size(); ++i) order[i] = i;
            std::shuffle(order.begin(), order.end(), random);
            for (int i = 0; i < perFolder; ++i) {
                const size_t k = static_cast<size_t>(f) * perFolder + order[static_cast<size_t>(i)];
                const int verdict = i % 3 - 1;
                pairs.push_back({.verdict = VerdictFromDirection(verdict),
                                 .source = verdict == -1 && i % 2 ? nullptr : &entries[k],
                                 .target = verdict == 1 && i % 2 ? nullptr : &entries[k + perSide]});
            }
        }
    }
};

}  // namespace kirvo::test
