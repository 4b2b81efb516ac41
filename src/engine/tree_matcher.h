#pragma once
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/chunked_store.h"
#include "engine/file_entry.h"
#include "engine/file_pair.h"
#include "engine/name_store.h"
#include "engine/system_time.h"

namespace kirvo {

struct DirectoryRecord;

// The comparison engine: scans a source and a target tree into one entry
// table, orders it by relative path ignoring ASCII case, and pairs the
// entries into FilePairs with a verdict from the local last-write times.
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
    // Back to empty: no entries, no pairs. Roots and flags keep their values.
    void Clear();

    const std::string& sourceRoot() const { return sourceRoot_; }
    const std::string& targetRoot() const { return targetRoot_; }
    std::span<const FilePair> pairs() const { return {pairs_.data(), static_cast<size_t>(pairCount_)}; }
    int32_t pairCount() const { return pairCount_; }
    // entries()[0 .. lastEntry()] sorted, entries()[lastEntry() + 1] null.
    std::span<const FileEntry* const> entries() const { return entries_; }
    int32_t lastEntry() const { return lastEntry_; }
    bool excludeSubFolders() const { return excludeSubFolders_; }
    bool excludeSystemFolders() const { return excludeSystemFolders_; }
    bool twoSecondTolerance() const { return twoSecondTolerance_; }
    // Seconds added to UTC to make the entries' local times in the last run.
    int64_t utcOffset() const { return utcOffset_; }

    // The steps of Run, public so that each can be checked on its own.
    static void NormaliseRoot(std::string& destination, std::string& path);
    int32_t ScanTrees(const std::string& sourceRoot, const std::string& targetRoot);
    bool ExistsInTargetRoot(std::string_view name, const std::string& targetRoot);
    // Sort order: folder, then name, ignoring ASCII case. Entries equal that
    // way are put in a fixed order (bytes, then side), so the result never
    // depends on the order in which the file system listed them.
    static int OrderEntries(const FileEntry& a, const FileEntry& b);
    // Sorts entries()[0 .. lastEntry] by OrderEntries.
    void OrderTable(int32_t lastEntry);
    int32_t PairEntries(int32_t lastEntry);
    // Seconds, source minus target, or kEarlierMonth / kLaterMonth when the
    // two times lie in different months or years.
    static int32_t TimeDifference(const SystemTime& sourceTime, const SystemTime& targetTime);

private:
    void ScanSide(int32_t side, const std::string& root, const std::string& targetRoot);
    void MakeEntry(int32_t folderIndex, int32_t side, const std::string* folder,
                   const DirectoryRecord& record);
    void SortFolderGroup(std::vector<const FileEntry*>::iterator begin,
                         std::vector<const FileEntry*>::iterator end);
    int32_t Verdict(const FileEntry& source, const FileEntry& target) const;
    void PairGroup(size_t begin, size_t end);

    std::string sourceRoot_;
    std::string targetRoot_;
    std::vector<FilePair> pairs_;
    int32_t pairCount_ = 0;
    std::vector<const FileEntry*> entries_;
    int32_t lastEntry_ = -1;
    bool excludeSystemFolders_ = false;
    bool excludeSubFolders_ = false;
    bool twoSecondTolerance_ = false;

    ChunkedStore<FileEntry> store_[2];           // the entries of the current run, per side
    std::deque<std::string> folders_[2];       // relative folder texts per side; stable addresses
    NameStore names_[2];
    int64_t utcOffset_ = 0;                    // taken once per run
    bool targetRootNamesRead_ = false;         // cache for ExistsInTargetRoot
    std::vector<std::string> targetRootNames_; // folded, sorted
    std::string targetRootNamesOf_;
};

}  // namespace kirvo
