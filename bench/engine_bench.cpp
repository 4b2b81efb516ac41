// The engine's own split: scan, sort + pair, for two given trees.
// Usage: kirvo-engine-bench QUELLE ZIEL [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/tree_matcher.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Aufruf: kirvo-engine-bench QUELLE ZIEL [LÄUFE]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    using Clock = std::chrono::steady_clock;
    std::vector<double> scan, order, pair;
    kirvo::TreeMatcher matcher;
    for (int r = 0; r < runs; ++r) {
        std::string s = argv[1], t = argv[2];
        matcher.Clear();
        std::string sr, tr;
        kirvo::TreeMatcher::NormaliseRoot(sr, s);
        kirvo::TreeMatcher::NormaliseRoot(tr, t);
        const auto t0 = Clock::now();
        const int32_t last = matcher.ScanTrees(sr, tr);
        const auto t1 = Clock::now();
        matcher.OrderTable(last);
        const auto t2 = Clock::now();
        matcher.PairEntries(last);
        const auto t3 = Clock::now();
        scan.push_back(std::chrono::duration<double>(t1 - t0).count());
        order.push_back(std::chrono::duration<double>(t2 - t1).count());
        pair.push_back(std::chrono::duration<double>(t3 - t2).count());
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("entries %d pairs %d\nscan %.3f s\nsort %.3f s\npair %.3f s\n", matcher.lastEntry() + 1,
                matcher.pairCount(), median(scan), median(order), median(pair));
    return 0;
}
