#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sync/observed_file.h"

namespace kirvo {

// The folders a run renames in letter case, per side, in the order they are
// renamed (parents first): what a relative path of that side is called once
// they are done.
class NameChanges {
public:
    // Adds the rename of a folder ("Docs/" to "docs/"), given as the side named
    // it before any rename; returns both paths as they are when its turn comes.
    std::pair<std::string, std::string> AddFolder(SyncSide side, std::string_view oldPath, std::string_view newName);
    // The path after every folder rename of the side.
    std::string Map(SyncSide side, std::string_view path) const;

private:
    std::vector<std::pair<std::string, std::string>> folders_[2];  // (old, new), each as its turn finds it
};

}  // namespace kirvo
