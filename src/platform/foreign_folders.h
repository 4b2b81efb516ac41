#pragma once
#include <cstdint>
#include <string_view>

namespace kirvo {

// Folders in a tree that are not the user's data and never part of a
// listing, like our temporary files: the desktop's trash folders at the top
// of a file system (".Trash", ".Trash-1000": deleting or copying them would
// trash the trash on every run), the file system's own "lost+found" there (a
// folder of root's that an ordinary user cannot read), and the user's home
// trash wherever a root holds it. A folder of such a name anywhere else is
// the user's.
class ForeignFolders {
public:
    // ".Trash", or ".Trash-" followed by a user number.
    static bool IsTrashName(std::string_view name);
    static constexpr std::string_view kLostAndFound = "lost+found";

    // Notes which folder the home trash is now.
    ForeignFolders();
    // Whether `name` in the open local folder `folderFd` is one of them.
    bool Contains(int folderFd, const char* name) const;

private:
    uint64_t homeTrashDevice_ = 0;
    uint64_t homeTrashInode_ = 0;
};

}  // namespace kirvo
