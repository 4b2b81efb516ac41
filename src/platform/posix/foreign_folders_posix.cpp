#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/foreign_folders.h"
#include "platform/trash.h"

namespace kirvo {
namespace {

constexpr std::string_view kHomeTrash = "Trash";

// Whether an open folder is the top of its file system, as the desktop trash
// judges it: its parent lies on another device, or it is where a mount begins.
bool TopOfFileSystem(int folderFd) {
    struct stat self, parent;
    if (fstat(folderFd, &self) != 0 || fstatat(folderFd, "..", &parent, 0) != 0) return false;
    if (self.st_dev != parent.st_dev || self.st_ino == parent.st_ino) return true;
#if defined(STATX_ATTR_MOUNT_ROOT)
    struct statx stx;
    if (statx(folderFd, "", AT_EMPTY_PATH, STATX_BASIC_STATS, &stx) == 0 &&
        (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0)
        return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
#endif
    return false;
}

}  // namespace

ForeignFolders::ForeignFolders() {
    struct stat st;
    if (const std::string trash = Trash::HomeTrashPath(); !trash.empty() && stat(trash.c_str(), &st) == 0) {
        homeTrashDevice_ = static_cast<uint64_t>(st.st_dev);
        homeTrashInode_ = static_cast<uint64_t>(st.st_ino);
    }
}

bool ForeignFolders::Contains(int folderFd, const char* name) const {
    const std::string_view text(name);
    const bool trash = IsTrashName(text), lostAndFound = text == kLostAndFound;
    const bool homeTrash = text == kHomeTrash && homeTrashInode_ != 0;
    if (!trash && !lostAndFound && !homeTrash) return false;
    struct stat st;
    if (fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (homeTrash)
        return static_cast<uint64_t>(st.st_dev) == homeTrashDevice_ && static_cast<uint64_t>(st.st_ino) == homeTrashInode_;
    if (lostAndFound && st.st_uid != 0) return false;
    return TopOfFileSystem(folderFd);
}

}  // namespace kirvo
