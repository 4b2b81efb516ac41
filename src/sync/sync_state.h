#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sync/file_record.h"
#include "sync/sync_mode.h"

namespace kirvo {

// The recorded state of one pair: a record per relative path (a folder's name
// ending in '/'), looked up by folder and name, as the source named it when
// both sides had it. Built once (add... then finish) and read-only afterwards.
class SyncState {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    SyncState() = default;
    // Movable, not copyable: the index refers to the folder texts where they are.
    SyncState(SyncState&&) = default;
    SyncState& operator=(SyncState&&) = default;
    SyncState(const SyncState&) = delete;
    SyncState& operator=(const SyncState&) = delete;

    PairSettings settings;

    // Paths may come in any order; each at most once. targetPath: the
    // target's own relative path where it differs (in letter case), else "".
    void add(std::string_view folder, std::string_view name, const FileRecord& record,
             std::string_view targetPath = {});
    // Orders the records and builds the index; add must not be called afterwards.
    void finish();

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // The records of files, without those of folders.
    size_t files() const { return files_; }
    // The index of the record of a path, or kNone.
    uint32_t find(std::string_view folder, std::string_view name) const;
    uint32_t find(std::string_view relativePath) const;

    std::string_view folder(uint32_t i) const { return folders_[entries_[i].folder]; }
    std::string_view name(uint32_t i) const {
        return std::string_view(names_).substr(entries_[i].nameOffset, entries_[i].nameLength);
    }
    std::string relativePath(uint32_t i) const { return std::string(folder(i)).append(name(i)); }
    const FileRecord& record(uint32_t i) const { return entries_[i].record; }
    bool isFolder(uint32_t i) const { return name(i).ends_with('/'); }
    // The target's own relative path where it differs from relativePath(i), else "".
    std::string_view targetPath(uint32_t i) const {
        return std::string_view(names_).substr(entries_[i].targetOffset, entries_[i].targetLength);
    }
    // relativePath(i) as `side` named it.
    std::string pathOn(SyncSide side, uint32_t i) const {
        return side == SyncSide::Target && entries_[i].targetLength != 0 ? std::string(targetPath(i)) : relativePath(i);
    }

private:
    struct Entry {
        uint32_t folder;
        uint32_t nameOffset;
        uint32_t nameLength;
        uint32_t targetOffset;
        uint32_t targetLength;
        FileRecord record;
    };
    struct Range {
        uint32_t begin;
        uint32_t end;
    };
    uint32_t folderIndex(std::string_view folder);

    std::vector<std::string> folders_;
    std::unordered_map<std::string, uint32_t> folderIndex_;  // while adding
    uint32_t lastFolder_ = 0;
    std::unordered_map<std::string_view, Range> ranges_;  // after finish: folder -> its records
    std::string names_;
    std::vector<Entry> entries_;
    size_t files_ = 0;
};

}  // namespace kirvo
