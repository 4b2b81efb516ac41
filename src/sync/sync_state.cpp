#include "sync/sync_state.h"

#include <algorithm>

namespace kirvo {

uint32_t SyncState::folderIndex(std::string_view folder) {
    // Records mostly come folder by folder.
    if (!folders_.empty() && folders_[lastFolder_] == folder) return lastFolder_;
    const auto [it, added] = folderIndex_.try_emplace(std::string(folder), static_cast<uint32_t>(folders_.size()));
    if (added) folders_.emplace_back(folder);
    lastFolder_ = it->second;
    return it->second;
}

void SyncState::add(std::string_view folder, std::string_view name, const FileRecord& record,
                    std::string_view targetPath) {
    const uint32_t f = folderIndex(folder);
    const auto offset = static_cast<uint32_t>(names_.size());
    const auto length = static_cast<uint32_t>(name.size());
    entries_.push_back({f, offset, length, offset + length, static_cast<uint32_t>(targetPath.size()), record});
    names_.append(name).append(targetPath);
    if (!name.ends_with('/')) ++files_;
}

void SyncState::finish() {
    const auto nameOf = [this](const Entry& e) { return std::string_view(names_).substr(e.nameOffset, e.nameLength); };
    const auto before = [&](const Entry& a, const Entry& b) {
        return a.folder != b.folder ? a.folder < b.folder : nameOf(a) < nameOf(b);
    };
    // The store hands them over in this order already: then this is one pass.
    if (!std::is_sorted(entries_.begin(), entries_.end(), before)) std::sort(entries_.begin(), entries_.end(), before);
    folderIndex_.clear();
    ranges_.clear();
    ranges_.reserve(folders_.size());
    for (uint32_t i = 0; i < entries_.size();) {
        uint32_t j = i + 1;
        while (j < entries_.size() && entries_[j].folder == entries_[i].folder) ++j;
        ranges_.emplace(folders_[entries_[i].folder], Range{i, j});
        i = j;
    }
}

uint32_t SyncState::find(std::string_view folder, std::string_view name) const {
    const auto range = ranges_.find(folder);
    if (range == ranges_.end()) return kNone;
    const auto begin = entries_.begin() + range->second.begin;
    const auto end = entries_.begin() + range->second.end;
    const auto it = std::lower_bound(begin, end, name, [this](const Entry& e, std::string_view n) {
        return std::string_view(names_).substr(e.nameOffset, e.nameLength) < n;
    });
    if (it == end || std::string_view(names_).substr(it->nameOffset, it->nameLength) != name) return kNone;
    return static_cast<uint32_t>(it - entries_.begin());
}

uint32_t SyncState::find(std::string_view relativePath) const {
    // A folder's path ends in '/': its name is the last one with it.
    const size_t slash = relativePath.substr(0, relativePath.empty() ? 0 : relativePath.size() - 1).rfind('/');
    const size_t cut = slash == std::string_view::npos ? 0 : slash + 1;
    return find(relativePath.substr(0, cut), relativePath.substr(cut));
}

}  // namespace kirvo
