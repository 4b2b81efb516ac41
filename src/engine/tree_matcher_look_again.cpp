#include <algorithm>
#include <map>
#include <unordered_map>

#include "engine/tree_matcher.h"
#include "platform/directory_lister.h"

namespace kirvo {
namespace {

// A file as it is now, found by looking at its name alone.
struct Found {
    int32_t side;  // index into the sides (0 source, 1 target)
    int32_t folder;
    std::string name;
    bool link;
    uint64_t size;
    int64_t seconds;
    uint32_t nanoseconds;
    int64_t changedNs;
    uint64_t device;
    uint64_t inode;
};

// The names looked at, per side and folder index, sorted.
using LookedAt = std::map<int32_t, std::vector<std::string>>;

bool Among(const LookedAt& looked, const FileEntry& entry) {
    const auto folder = looked.find(entry.folderIndex());
    if (folder == looked.end()) return false;
    return std::binary_search(folder->second.begin(), folder->second.end(), entry.name(),
                              [](std::string_view a, std::string_view b) { return a < b; });
}

}  // namespace

bool TreeMatcher::LookAgain(std::span<const std::string> sourcePaths, std::span<const std::string> targetPaths) {
    if (options_.compareBy == CompareBy::Content || CurrentUtcOffsetSeconds() != utcOffset_) return false;
    // The run's progress and its content readers belonged to that run.
    options_.progress = nullptr;
    options_.contentProgress = nullptr;
    const std::span<const std::string> touched[2] = {sourcePaths, targetPaths};
    LookedAt looked[2];
    std::vector<Found> found;
    // First every name is looked at; the matcher changes only once all could be.
    for (int s = 0; s < 2; ++s) {
        if (touched[s].empty()) continue;
        const ScannedSide& side = sides_[s];
        if (options_.identities && side.identities.size() != side.entries.size()) return false;
        std::unordered_map<std::string_view, int32_t> folderIndex;
        for (size_t i = 0; i < side.folders.size(); ++i) folderIndex.emplace(side.folders[i], static_cast<int32_t>(i));
        for (const std::string& path : touched[s]) {
            const size_t slash = path.rfind(kSeparator);
            const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
            const auto folder = folderIndex.find(std::string_view(path).substr(0, nameAt));
            if (folder == folderIndex.end() || nameAt == path.size()) return false;
            looked[s][folder->second].push_back(path.substr(nameAt));
        }
        const std::string& root = s == 0 ? sourceRoot_ : targetRoot_;
        const std::unique_ptr<DirectoryLister> lister = MakeLister(root);
        if (!lister->LooksAtNamesAlone() || !lister->OpenRoot(root).complete()) return false;
        lister->SetInFlight(1);
        for (auto& looking : looked[s]) {
            const auto folder = looking.first;  // a plain name: lambdas may not take a structured binding everywhere
            auto& names = looking.second;
            std::sort(names.begin(), names.end());
            names.erase(std::unique(names.begin(), names.end()), names.end());
            DirectoryLister::Request request;
            request.relative = side.folders[static_cast<size_t>(folder)];
            request.detail = DirectoryLister::Detail::Full;
            request.links = options_.links;
            request.names = &names;
            bool asScanned = true;
            // The filter is not asked again: each path was in the comparison
            // on one side or the other, and it judges the path alone.
            const ListingStatus status = ListAndWait(*lister, request, [&](const DirectoryRecord& record) {
                if (record.kind == RecordKind::Directory || record.kind == RecordKind::Unknown) asScanned = false;
                if (record.kind != RecordKind::File && record.kind != RecordKind::Link) return;
                found.push_back({s, folder, std::string(record.name), record.kind == RecordKind::Link, record.size,
                                 record.modifiedSeconds, record.modifiedNanoseconds, record.changedNanoseconds,
                                 record.device, record.inode});
            });
            if (!status.complete() || !asScanned) return false;
        }
    }

    // The table anew from the pairs, which hold every entry once (the
    // sorted table itself may have been let go).
    const bool released = lastEntry_ < 0 && pairCount_ > 0;
    std::vector<const FileEntry*> table;
    table.reserve(2 * pairs_.size() + found.size() + 1);
    for (const FilePair& pair : pairs_) {
        if (pair.source && !Among(looked[0], *pair.source)) table.push_back(pair.source);
        if (pair.target && !Among(looked[1], *pair.target)) table.push_back(pair.target);
    }
    for (const Found& file : found) {
        ScannedSide& side = sides_[file.side];
        const std::string& folder = side.folders[static_cast<size_t>(file.folder)];
        table.push_back(&side.entries.emplace_back(file.folder, file.side + 1, &folder, side.names.Add(file.name),
                                                   file.size, file.seconds + utcOffset_,
                                                   static_cast<uint16_t>(file.nanoseconds / 1000000), file.link));
        if (!options_.identities) continue;
        // As the scan keeps it: one device per folder, that of its first file.
        uint64_t& device = side.folderDevices[static_cast<size_t>(file.folder)];
        uint64_t inode = 0;
        if (file.inode != 0) {
            if (device == 0) device = file.device;
            if (file.device == device) inode = file.inode;
        }
        side.identities.emplace_back(ScannedSide::Identity{inode, file.changedNs, file.nanoseconds});
    }
    table.push_back(nullptr);
    entries_.swap(table);
    lastEntry_ = static_cast<int32_t>(entries_.size()) - 2;
    OrderTable(lastEntry_);
    PairEntries(lastEntry_);
    if (released) ReleaseEntryTable();
    return true;
}

}  // namespace kirvo
