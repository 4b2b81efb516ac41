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

// The recorded state of one pair: a record per relative path, looked up by
// folder and name. Built once (add... then finish) and read-only afterwards.
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

    // Paths may come in any order; each at most once.
    void add(std::string_view folder, std::string_view name, const FileRecord& record);
    // Orders the records and builds the index; add must not be called afterwards.
    void finish();

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // The index of the record of a path, or kNone.
    uint32_t find(std::string_view folder, std::string_view name) const;
    uint32_t find(std::string_view relativePath) const;

    std::string_view folder(uint32_t i) const { return folders_[entries_[i].folder]; }
    std::string_view name(uint32_t i) const {
        return std::string_view(names_).substr(entries_[i].nameOffset, entries_[i].nameLength);
    }
    std::string relativePath(uint32_t i) const { return std::string(folder(i)).append(name(i)); }
    const FileRecord& record(uint32_t i) const { return entries_[i].record; }

private:
    struct Entry {
        uint32_t folder;
        uint32_t nameOffset;
        uint32_t nameLength;
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
};

}  // namespace kirvo
