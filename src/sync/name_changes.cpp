#include "sync/name_changes.h"

namespace kirvo {

std::pair<std::string, std::string> NameChanges::AddFolder(SyncSide side, std::string_view oldPath,
                                                           std::string_view newName) {
    std::string from = Map(side, oldPath);
    std::string_view parent = std::string_view(from).substr(0, from.size() - 1);
    parent = parent.substr(0, parent.rfind('/') == std::string_view::npos ? 0 : parent.rfind('/') + 1);
    std::string to = std::string(parent).append(newName);
    folders_[side == SyncSide::Source ? 0 : 1].emplace_back(from, to);
    return {std::move(from), std::move(to)};
}

std::string NameChanges::Map(SyncSide side, std::string_view path) const {
    std::string mapped(path);
    for (const auto& [from, to] : folders_[side == SyncSide::Source ? 0 : 1])
        if (mapped.starts_with(from)) mapped.replace(0, from.size(), to);
    return mapped;
}

}  // namespace kirvo
