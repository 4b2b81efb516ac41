// What a filter costs: the comparison and the scan of two trees with and
// without it, and the matching alone over every file and folder listed.
// With bench/filter-20.rules nothing of the trees bench/make-trees writes is
// left out, so both scans list the same files and every file is tried
// against all the patterns.
// Usage: kirvo-filter-bench QUELLE ZIEL REGELDATEI [runs]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/filter_rules_file.h"
#include "engine/path_filter.h"
#include "engine/tree_matcher.h"
#include "platform/root.h"

namespace {

std::atomic<long> gAllocations{0};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

void* operator new(std::size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "Aufruf: kirvo-filter-bench QUELLE ZIEL REGELDATEI [LÄUFE]\n");
        return 2;
    }
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    std::vector<std::string> include, exclude;
    kirvo::PathFilter filter;
    std::string error;
    if (!kirvo::ReadFilterFile(argv[3], include, exclude, error) ||
        !kirvo::PathFilter::Create(include, exclude, filter, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };

    kirvo::TreeMatcher matcher;
    // Wall-clock time, and the processor time of both scanning threads,
    // which the load of other programs on the machine disturbs less.
    std::vector<double> compare[2], scan[2], scanCpu[2];
    int32_t entries[2] = {0, 0};
    for (int r = 0; r < runs; ++r) {
        // Alternating, so a change in the machine's load touches both alike.
        for (const int withFilter : {0, 1}) {
            kirvo::RunOptions options;
            options.filter = withFilter ? &filter : nullptr;
            std::string source = argv[1], target = argv[2];
            const auto t0 = Clock::now();
            matcher.Run(kirvo::Root::Local(source), kirvo::Root::Local(target), options);
            const auto t1 = Clock::now();
            matcher.Clear();  // the options stay: the scan alone, once more
            const std::clock_t c2 = std::clock();
            const auto t2 = Clock::now();
            entries[withFilter] = matcher.ScanTrees(matcher.sourceRoot(), matcher.targetRoot()) + 1;
            const auto t3 = Clock::now();
            scanCpu[withFilter].push_back(static_cast<double>(std::clock() - c2) / CLOCKS_PER_SEC);
            compare[withFilter].push_back(seconds(t1 - t0));
            scan[withFilter].push_back(seconds(t3 - t2));
        }
    }

    // The matching alone, on one thread, over everything the last scan
    // listed, in the order it listed it.
    std::vector<const kirvo::FileEntry*> files;
    std::vector<std::string_view> folders;  // each folder that holds files, once
    for (const kirvo::FileEntry* entry : matcher.entries()) {
        if (entry == nullptr) break;
        files.push_back(entry);
        if (folders.empty() || folders.back() != entry->folder()) folders.push_back(entry->folder());
    }
    std::vector<double> matching;
    long filesListed = 0, foldersEntered = 0, allocations = 0;
    for (int r = 0; r < runs; ++r) {
        const long before = gAllocations.load();
        const auto t0 = Clock::now();
        filesListed = foldersEntered = 0;
        for (const kirvo::FileEntry* file : files) filesListed += filter.File(file->folder(), file->name(), false);
        for (const std::string_view folder : folders) {
            if (folder.empty()) continue;
            const size_t cut = folder.rfind('/', folder.size() - 2);
            const size_t start = cut == std::string_view::npos ? 0 : cut + 1;
            foldersEntered += filter.Folder(folder, folder.substr(start, folder.size() - 1 - start), false).enter;
        }
        const auto t1 = Clock::now();
        allocations = gAllocations.load() - before;
        matching.push_back(seconds(t1 - t0));
    }

    const double scanPlain = Median(scan[0]), scanFiltered = Median(scan[1]), match = Median(matching);
    const double comparePlain = Median(compare[0]), compareFiltered = Median(compare[1]);
    std::printf("filter: %zu include + %zu exclude patterns\n", include.size(), exclude.size());
    std::printf("compare without filter %.3f s, with %.3f s (%+.1f %%)\n", comparePlain, compareFiltered,
                100.0 * (compareFiltered - comparePlain) / comparePlain);
    std::printf("scan without filter %.3f s, with %.3f s (%+.1f %%); %d entries each way: %s\n", scanPlain,
                scanFiltered, 100.0 * (scanFiltered - scanPlain) / scanPlain, entries[0],
                entries[0] == entries[1] ? "same" : "DIFFERENT");
    const double cpuPlain = Median(scanCpu[0]), cpuFiltered = Median(scanCpu[1]);
    std::printf("scan, processor time of both threads: without %.3f s, with %.3f s (%+.1f %%)\n", cpuPlain,
                cpuFiltered, 100.0 * (cpuFiltered - cpuPlain) / cpuPlain);
    std::printf("matching alone: %.3f s for %zu files and %zu folders on one thread, %.0f ns per file, "
                "%.1f %% of the scan's processor time; %ld allocations; %ld files listed, %ld folders entered\n",
                match, files.size(), folders.size(), 1e9 * match / static_cast<double>(files.size()),
                100.0 * match / cpuPlain, allocations, filesListed, foldersEntered);
    return entries[0] == entries[1] ? 0 : 1;
}
