#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_entry.h"
#include "engine/file_pair.h"
#include "engine/run_options.h"
#include "engine/scanned_side.h"
#include "engine/system_time.h"

namespace kirvo {

// The comparison engine: scans a source and a target tree into one entry
// table (TreeScanner), orders it by relative path ignoring ASCII case
// (EntryOrder), joins the entries into FilePairs (EntryPairing) and gives each
// pair its verdict from the local last-write times (TimeVerdict).
class TreeMatcher {
public:
    static constexpr int32_t kEarlierMonth = static_cast<int32_t>(0x80000001);
    static constexpr int32_t kLaterMonth = 0x7FFFFFFE;
    static constexpr char kSeparator = '/';

    TreeMatcher();
    virtual ~TreeMatcher();
    TreeMatcher(const TreeMatcher&) = delete;
    TreeMatcher& operator=(const TreeMatcher&) = delete;

    // Compares the two trees; both paths gain a trailing separator if they
    // lack one. Returns the number of pairs. The three flags are the options
    // "SubOrdner", "SystemOrdner" and "OneSecond".
    int32_t Run(std::string& sourcePath, std::string& targetPath, bool excludeSubFolders,
                bool excludeSystemFolders, bool twoSecondTolerance);
    // The same with every setting of the run in one object.
    int32_t Run(std::string& sourcePath, std::string& targetPath, const RunOptions& options);
    // Back to empty: no entries, no pairs. Roots and flags keep their values.
    void Clear();

    const std::string& sourceRoot() const { return sourceRoot_; }
    const std::string& targetRoot() const { return targetRoot_; }
    std::span<const FilePair> pairs() const { return {pairs_.data(), static_cast<size_t>(pairCount_)}; }
    int32_t pairCount() const { return pairCount_; }
    // entries()[0 .. lastEntry()] sorted, entries()[lastEntry() + 1] null.
    std::span<const FileEntry* const> entries() const { return entries_; }
    int32_t lastEntry() const { return lastEntry_; }
    const RunOptions& options() const { return options_; }
    bool excludeSubFolders() const { return options_.excludeSubFolders; }
    bool excludeSystemFolders() const { return options_.excludeSystemFolders; }
    bool twoSecondTolerance() const { return options_.twoSecondTolerance; }
    // Seconds added to UTC to make the entries' local times in the last run.
    int64_t utcOffset() const { return utcOffset_; }

    // The steps of Run, public so that each can be checked on its own.
    static void NormaliseRoot(std::string& destination, std::string& path);
    int32_t ScanTrees(const std::string& sourceRoot, const std::string& targetRoot);
    bool ExistsInTargetRoot(std::string_view name, const std::string& targetRoot);
    // Sort order: see EntryOrder.
    static int OrderEntries(const FileEntry& a, const FileEntry& b);
    // Sorts entries()[0 .. lastEntry] by OrderEntries.
    void OrderTable(int32_t lastEntry);
    // Pairs entries()[0 .. lastEntry] and gives each pair its verdict.
    int32_t PairEntries(int32_t lastEntry);
    // Seconds, source minus target, or kEarlierMonth / kLaterMonth when the
    // two times lie in different months or years.
    static int32_t TimeDifference(const SystemTime& sourceTime, const SystemTime& targetTime);

private:
    std::string sourceRoot_;
    std::string targetRoot_;
    std::vector<FilePair> pairs_;
    int32_t pairCount_ = 0;
    std::vector<const FileEntry*> entries_;
    int32_t lastEntry_ = -1;
    RunOptions options_;
    int64_t utcOffset_ = 0;  // taken once per run

    ScannedSide sides_[2];                     // the entries of the current run, per side
    bool targetRootNamesRead_ = false;         // cache for ExistsInTargetRoot
    std::vector<std::string> targetRootNames_; // folded, sorted
    std::string targetRootNamesOf_;
};

}  // namespace kirvo
