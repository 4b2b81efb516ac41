#include "platform/foreign_folders.h"

namespace kirvo {

bool ForeignFolders::IsTrashName(std::string_view name) {
    constexpr std::string_view kTrash = ".Trash";
    if (name.substr(0, kTrash.size()) != kTrash) return false;
    name.remove_prefix(kTrash.size());
    if (name.empty()) return true;
    if (name.size() < 2 || name[0] != '-') return false;
    for (const char c : name.substr(1))
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace kirvo
