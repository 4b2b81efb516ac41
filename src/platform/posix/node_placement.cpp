// Putting a finished node of ours in place of its destination, with no moment
// at which the path holds neither the old node nor the new one, and never over
// a node other than the one that was looked at (another program may save there
// at any time).
#include "platform/posix/node_placement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/local_file_transfer.h"
#include "platform/trash.h"

namespace kirvo {
namespace {

#if defined(RENAME_NOREPLACE)
constexpr unsigned kNoReplace = RENAME_NOREPLACE;
constexpr unsigned kExchange = RENAME_EXCHANGE;
#else
constexpr unsigned kNoReplace = 1;
constexpr unsigned kExchange = 2;
#endif

// Whether st is still the node `expected` describes: the same kind and, where
// known, the same inode; for a file also the same size and time.
bool SameNode(const struct stat& st, const NodeInfo& expected) {
    NodeInfo now;
    if (S_ISREG(st.st_mode)) now.kind = NodeKind::File;
    else if (S_ISLNK(st.st_mode)) now.kind = NodeKind::Link;
    else if (S_ISDIR(st.st_mode)) now.kind = NodeKind::Folder;
    else now.kind = NodeKind::Other;
    if (now.kind != expected.kind) return false;
    // Another file of the same size and time (an editor's save) is another file.
    if (expected.inode != 0 && static_cast<uint64_t>(st.st_ino) != expected.inode) return false;
    if (now.kind != NodeKind::File) return true;  // a link is judged by what it points to, earlier
    return static_cast<uint64_t>(st.st_size) == expected.size && st.st_mtim.tv_sec == expected.modifiedSeconds &&
           static_cast<uint32_t>(st.st_mtim.tv_nsec) == expected.modifiedNanoseconds;
}

bool NoExchangeHere(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

}  // namespace

int NodePlacement::publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason) {
    const int folder = folder_.native();
    struct stat st;
    const bool exists = fstatat(folder, destination_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists ? !SameNode(st, expected) : expected.kind != NodeKind::Missing) return kDestinationChanged;
    if (!exists) {
        // Where nothing was there, nothing that appeared since is replaced.
        if (LocalFileTransfer::beforePlacing) LocalFileTransfer::beforePlacing(destination_);
        if (renameat2(folder, tempName_.c_str(), folder, destination_.c_str(), kNoReplace) != 0) {
            if (errno == EEXIST) return kDestinationChanged;
            if (errno != EINVAL && errno != ENOSYS) return errno;
            if (renameat(folder, tempName_.c_str(), folder, destination_.c_str()) != 0) return errno;
        }
        tempName_.clear();
        return 0;
    }
    // The old version goes into the trash first, as a second name of the same
    // node: the path keeps holding it until the copy takes its place.
    TrashedFile keptHere;
    if (keepIn != nullptr) {
        std::string why;
        if (const int error = keepIn->keep(folder_, destination_, keptHere, why)) {
            if (reason) *reason = why;
            return error;
        }
    }
    if (LocalFileTransfer::beforePlacing) LocalFileTransfer::beforePlacing(destination_);
    if (const int error = replaceLookedAt(expected)) {
        if (keepIn != nullptr) keepIn->withdraw(keptHere);
        return error;
    }
    if (keepIn != nullptr && kept != nullptr) *kept = keptHere;
    tempName_.clear();
    return 0;
}

// Puts the copy in place of the node `expected` describes, and only of that one.
int NodePlacement::replaceLookedAt(const NodeInfo& expected) {
    const int folder = folder_.native();
    const char* temp = tempName_.c_str();
    const char* destination = destination_.c_str();
    if (renameat2(folder, temp, folder, destination, kExchange) == 0) {
        // The copy is in place; what stood there is under the temporary name now,
        // so it can be looked at once more after the fact.
        struct stat old;
        if (fstatat(folder, temp, &old, AT_SYMLINK_NOFOLLOW) == 0 && SameNode(old, expected)) {
            unlinkat(folder, temp, 0);  // in the trash where it is kept; replaced as asked otherwise
            return 0;
        }
        putBack();
        return kDestinationChanged;
    }
    if (errno == ENOENT) return kDestinationChanged;  // gone meanwhile
    if (!NoExchangeHere(errno)) return errno;
    // A file system without the exchange: one more look, right before the rename.
    struct stat now;
    if (fstatat(folder, destination, &now, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? kDestinationChanged : errno;
    if (!SameNode(now, expected)) return kDestinationChanged;
    // renameat replaces a link at the destination by the copy; it never writes through it.
    return renameat(folder, temp, folder, destination) == 0 ? 0 : errno;
}

// After an exchange that brought out another node than the one looked at: that
// node goes back to its place, and the copy back under its temporary name.
void NodePlacement::putBack() {
    const int folder = folder_.native();
    const char* temp = tempName_.c_str();
    const char* destination = destination_.c_str();
    struct stat back;
    if (renameat2(folder, temp, folder, destination, kExchange) == 0) {
        if (fstatat(folder, temp, &back, AT_SYMLINK_NOFOLLOW) == 0 && static_cast<uint64_t>(back.st_ino) == inode_ &&
            static_cast<uint64_t>(back.st_dev) == device_)
            return;
    } else {
        // The copy was removed from its place meanwhile: the other node just goes back.
        renameat2(folder, temp, folder, destination, kNoReplace);
    }
    // Yet another program's node stands under the temporary name now, or the
    // copy is gone: nothing there is ours to remove.
    tempName_.clear();
}

}  // namespace kirvo
