// Putting a finished local copy in place of its destination, with no moment at
// which the path holds neither the old file nor the new one, and never over a
// file other than the one that was looked at (another program may save there
// at any time).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/local_file_transfer.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/posix/stat_node_info.h"
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

std::function<void(const std::string&)> LocalFileTransfer::beforePlacing;

int LocalFileTransfer::publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason) {
    if (tempName_.empty() || !folder_.valid() || tempFd_ < 0) return EBADF;
    const int folder = folder_.native();
    struct stat st;
    const bool exists = fstatat(folder, destinationName_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists ? !SameNode(st, expected) : expected.kind != NodeKind::Missing) return kDestinationChanged;
    if (!exists) {
        // Where nothing was there, nothing that appeared since is replaced.
        if (renameat2(folder, tempName_.c_str(), folder, destinationName_.c_str(), kNoReplace) != 0) {
            if (errno == EEXIST) return kDestinationChanged;
            if (errno != EINVAL && errno != ENOSYS) return errno;
            if (renameat(folder, tempName_.c_str(), folder, destinationName_.c_str()) != 0) return errno;
        }
        return placed();
    }
    // The old version goes into the trash first, as a second name of the same
    // file: the path keeps holding it until the copy takes its place.
    TrashedFile keptHere;
    if (keepIn != nullptr) {
        std::string why;
        if (const int error = keepIn->keep(folder_, destinationName_, keptHere, why)) {
            if (reason) *reason = why;
            return error;
        }
    }
    if (beforePlacing) beforePlacing(destinationName_);
    if (const int error = replaceLookedAt(expected)) {
        if (keepIn != nullptr) keepIn->withdraw(keptHere);
        return error;
    }
    if (keepIn != nullptr && kept != nullptr) *kept = keptHere;
    return placed();
}

// Puts the copy in place of the file `expected` describes, and only of that one.
int LocalFileTransfer::replaceLookedAt(const NodeInfo& expected) {
    const int folder = folder_.native();
    const char* temp = tempName_.c_str();
    const char* destination = destinationName_.c_str();
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
    // renameat replaces a link at the destination by the file; it never writes through it.
    return renameat(folder, temp, folder, destination) == 0 ? 0 : errno;
}

// After an exchange that brought out another file than the one looked at: that
// file goes back to its place, and the copy back under its temporary name.
void LocalFileTransfer::putBack() {
    const int folder = folder_.native();
    const char* temp = tempName_.c_str();
    const char* destination = destinationName_.c_str();
    struct stat back, ours;
    if (renameat2(folder, temp, folder, destination, kExchange) == 0) {
        if (fstatat(folder, temp, &back, AT_SYMLINK_NOFOLLOW) == 0 && fstat(tempFd_, &ours) == 0 &&
            back.st_ino == ours.st_ino && back.st_dev == ours.st_dev)
            return;
    } else {
        // The copy was removed from its place meanwhile: the other file just goes back.
        renameat2(folder, temp, folder, destination, kNoReplace);
    }
    // Yet another program's file stands under the temporary name now, or the
    // copy is gone: nothing there is ours to remove.
    tempName_.clear();
}

int LocalFileTransfer::placed() {
    tempName_.clear();
    OwnTemporaryFile::Unmark(tempFd_);
    if (struct stat st; fstat(tempFd_, &st) == 0) DescribeStat(st, placed_);
    // The data is durable already (FlushSealed): a late close error cannot undo the copy.
    close(tempFd_);
    tempFd_ = -1;
    return 0;
}

}  // namespace kirvo
