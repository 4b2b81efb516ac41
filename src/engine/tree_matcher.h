#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/content_comparer.h"
#include "engine/file_entry.h"
#include "engine/file_pair.h"
#include "engine/run_options.h"
#include "engine/scanned_side.h"
#include "engine/system_time.h"
#include "engine/unknown_place_table.h"
#include "platform/root.h"

namespace kirvo {

// The comparison engine: scans a source and a target tree into one entry
// table (TreeScanner), orders it by relative path ignoring ASCII case
// (EntryOrder), joins the entries into FilePairs (EntryPairing) and gives each
// pair its verdict (PairClassifier): from the local last-write times, and
// under the setting "Vergleich" also from the sizes or the contents
// (ContentComparer). What either side could not read is kept as its unknown
// places (UnknownPlaceTable): nothing there is taken for missing.
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
    // The same for two roots as parsed where they were named, with every
    // setting of the run in one object. When the run's progress asks to stop
    // during the scan, the engine is left empty (0 pairs). Comparing by
    // content, the files are read too unless options.deferContents.
    int32_t Run(const Root& source, const Root& target, const RunOptions& options);
    // Comparing by content: reads and compares the pairs of equal size that
    // the last Run left waiting (at most once; nothing for the other settings).
    // When the run's content progress asks to stop, every verdict is put back
    // to the time comparison's and false comes back.
    bool CompareContents();
    // After a run that changed only these files (paths relative to each
    // root; no folder made, removed or renamed): looks at each of them again,
    // then pairs and judges the table anew; everything else stays as the last
    // Run found it. False, with the matcher unchanged, where only a whole Run
    // can say what is there now: a folder of one of them is not in the last
    // scan or no longer readable, a name is now a folder or cannot be
    // inspected, the lister would ask another machine per name, contents are
    // compared, or the local time's offset moved. Works with the entry
    // table let go too (ReleaseEntryTable), and leaves it so.
    bool LookAgain(std::span<const std::string> sourcePaths, std::span<const std::string> targetPaths);
    // Why pairs()[pairIndex] is a conflict; empty for every other pair.
    std::string_view conflictReason(size_t pairIndex) const;
    // The places either side could not read, in list order (by path).
    std::span<const UnknownPlace> unknownPlaces() const { return unknown_.all(); }
    // The place that makes pairs()[pairIndex] Unknown; null for every other pair.
    const UnknownPlace* unknownPlaceOf(size_t pairIndex) const { return unknown_.PlaceOf(pairIndex); }
    // With RunOptions::identities: the device and inode of an entry's file;
    // false where none is known (another machine, a link to another device).
    bool identityOf(const FileEntry& entry, uint64_t& device, uint64_t& inode) const;
    // The modification time to the nanosecond and the inode's change time
    // (0 where unknown), UTC nanoseconds; without RunOptions::identities the
    // time to the millisecond and false.
    bool exactTimesOf(const FileEntry& entry, int64_t& modifiedNs, int64_t& changedNs) const;
    // Every folder the scan of a side walked, the root ("") first, each
    // ending in the separator; what the filter left out is not among them.
    const std::deque<std::string>& folders(Side side) const { return sides_[side == kSourceSide ? 0 : 1].folders; }
    // Back to empty: no entries, no pairs. Roots and flags keep their values.
    void Clear();
    // Lets the sorted entry table go (a pointer per file) for callers that
    // read nothing but the pairs: they keep their entries; entries() then
    // holds the end marker alone and lastEntry() is -1.
    void ReleaseEntryTable();

    // The roots of the last run: where each lies (location, ending in the
    // separator) and what kind it is.
    const Root& source() const { return source_; }
    const Root& target() const { return target_; }
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
    std::unique_ptr<DirectoryLister> MakeLister(const std::string& root) const;
    // Verdicts from the listing; the pairs whose contents are to be read go to waitingForContents_.
    void ClassifyPairs();
    // A file's time that the other side's file system cannot keep: the pair is
    // a conflict, never newer or older (the copy would carry another time).
    bool TimeNotStorable(const FilePair& pair) const;
    void BackToTimeVerdicts();
    // Both files of a pair as the memory knows them, by their listed
    // identities (nothing opened); none where it does not know both.
    std::optional<ContentComparer::Outcome> RecallContents(const FilePair& pair, ContentProgress* progress) const;

    int32_t RunRoots(const RunOptions& options);

    Root source_;
    Root target_;
    std::string sourceRoot_;
    std::string targetRoot_;
    std::vector<FilePair> pairs_;
    int32_t pairCount_ = 0;
    std::vector<const FileEntry*> entries_;
    int32_t lastEntry_ = -1;
    RunOptions options_;
    int64_t utcOffset_ = 0;  // taken once per run
    DirectoryLister::TimeRange storable_[2];  // per side: the times its root can keep

    // Conflicts' reasons by pair index: a side table, so that pairs stay small.
    std::unordered_map<size_t, std::string> conflictReasons_;
    std::vector<size_t> waitingForContents_;   // pair indexes, ascending
    UnknownPlaceTable unknown_;

    ScannedSide sides_[2];                     // the entries of the current run, per side
    bool targetRootNamesRead_ = false;         // cache for ExistsInTargetRoot
    bool targetRootUnread_ = false;            // its listing failed or broke off
    std::vector<std::string> targetRootNames_; // folded, sorted
    std::string targetRootNamesOf_;
};

}  // namespace kirvo
