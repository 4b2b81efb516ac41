#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#if defined(__linux__)
#include <linux/openat2.h>
#include <sys/syscall.h>
#endif

#include "platform/folder_handle.h"
#include "platform/posix/metadata_copier.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/posix/posix_folder.h"
#include "platform/posix/stat_node_info.h"
#include "platform/root.h"

namespace kirvo {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#if defined(RENAME_NOREPLACE)
constexpr unsigned kNoReplace = RENAME_NOREPLACE;
#else
constexpr unsigned kNoReplace = 1;
#endif

bool IsDotName(std::string_view name) { return name == "." || name == ".."; }

// Opens one child folder of `folder` without following a link; a link gives
// kLinkOnTheWay, "." or ".." kDotOnTheWay.
int OpenOne(int folder, const std::string& name, int& out) {
    if (IsDotName(name)) return kDotOnTheWay;
    if (name.empty()) return EINVAL;
    out = openat(folder, name.c_str(), kFolderFlags | O_NOFOLLOW);
    if (out >= 0) return 0;
    const int error = errno;
    struct stat st;
    if ((error == ELOOP || error == ENOTDIR) && fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISLNK(st.st_mode))
        return kLinkOnTheWay;
    return error;
}

#if defined(__linux__) && defined(SYS_openat2)
// One call for the whole way where the kernel offers it; -1 with errno otherwise.
int OpenBeneathAtOnce(int folder, const std::string& relative) {
    struct open_how how {};
    how.flags = static_cast<uint64_t>(kFolderFlags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS;
    return static_cast<int>(syscall(SYS_openat2, folder, relative.c_str(), &how, sizeof how));
}
#endif

}  // namespace

int PosixFolder::openBeneath(std::string_view relative, std::unique_ptr<FolderBackend>& out, size_t* failedAt) const {
    while (!relative.empty() && relative.back() == '/') relative.remove_suffix(1);
    if (relative.empty()) {
        const int fd = fcntl(fd_, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) return errno;
        out = std::make_unique<PosixFolder>(fd);
        return 0;
    }
    // "." and ".." are refused even where they would stay below this folder.
    for (size_t pos = 0; pos < relative.size();) {
        const size_t next = std::min(relative.find('/', pos), relative.size());
        if (IsDotName(relative.substr(pos, next - pos))) {
            if (failedAt != nullptr) *failedAt = next;
            return kDotOnTheWay;
        }
        pos = next + 1;
    }
#if defined(__linux__) && defined(SYS_openat2)
    {
        const int fd = OpenBeneathAtOnce(fd_, std::string(relative));
        if (fd >= 0) {
            out = std::make_unique<PosixFolder>(fd);
            return 0;
        }
        // Any failure (also ENOSYS or a refusal by a sandbox) goes the long way,
        // which finds out precisely which name failed and why.
    }
#endif
    int current = fd_;
    size_t pos = 0;
    while (pos < relative.size()) {
        size_t next = relative.find('/', pos);
        if (next == std::string_view::npos) next = relative.size();
        if (next > pos) {
            int child = -1;
            const int error = OpenOne(current, std::string(relative.substr(pos, next - pos)), child);
            if (current != fd_) close(current);
            if (error != 0) {
                if (failedAt != nullptr) *failedAt = next;
                return error;
            }
            current = child;
        }
        pos = next + 1;
    }
    out = std::make_unique<PosixFolder>(current);
    return 0;
}

int PosixFolder::openChild(std::string_view name, bool create, std::unique_ptr<FolderBackend>& out, bool* created) const {
    const std::string child(name);
    if (IsDotName(child)) return kDotOnTheWay;
    if (child.empty() || child.find('/') != std::string::npos) return EINVAL;
    if (create) {
        if (mkdirat(fd_, child.c_str(), 0777) == 0) {
            if (created != nullptr) *created = true;
        } else if (errno != EEXIST) {
            return errno;
        }
    }
    int fd = -1;
    const int error = OpenOne(fd_, child, fd);
    if (error == 0) out = std::make_unique<PosixFolder>(fd);
    return error;
}

int PosixFolder::inspect(std::string_view name, bool followLinks, NodeInfo& info) const {
    struct stat st;
    if (fstatat(fd_, std::string(name).c_str(), &st, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    DescribeStat(st, info);
    return 0;
}

int PosixFolder::describe(NodeInfo& info) const {
    struct stat st;
    if (fstat(fd_, &st) != 0) return errno;
    DescribeStat(st, info);
    return 0;
}

uint32_t PosixFolder::copyMetadataFrom(const FolderBackend& source) const {
    const int from = source.native();
    struct stat st;
    uint32_t lost = 0;
    mode_t permissions = 0;
    if (from < 0) {
        // A folder of another machine: its permission bits are all there is to take.
        NodeInfo info;
        if (source.describe(info) != 0) return 0;
        permissions = static_cast<mode_t>(info.permissions & 0777);
    } else {
        if (fstat(from, &st) != 0) return 0;
        lost = MetadataCopier::Copy(from, fd_, st);
        permissions = st.st_mode & 0777;
    }
    fchmod(fd_, permissions);
    if (fstat(fd_, &st) == 0 && (st.st_mode & 0777) != permissions) lost |= kMetadataPermissions;
    return lost;
}

PosixFolder::~PosixFolder() { close(fd_); }

int PosixFolder::removeStaleTemporaries() const { return OwnTemporaryFile::RemoveStale(fd_); }

bool PosixFolder::know() const {
    if (known_) return true;
    struct stat st;
    if (fstat(fd_, &st) != 0) return false;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    mode_ = st.st_mode;
    group_ = st.st_gid;
    known_ = true;
    return true;
}

// A folder's device and inode never change while it is open.
int PosixFolder::identify(uint64_t& device, uint64_t& inode) const {
    if (!know()) return errno;
    device = static_cast<uint64_t>(device_);
    inode = static_cast<uint64_t>(inode_);
    return 0;
}

bool PosixFolder::passesGroupOn(gid_t& group) const {
    if (!know()) return true;  // unknown: the caller asks the file itself
    group = group_;
    return (mode_ & S_ISGID) != 0;
}

bool PosixFolder::hasDefaultAcl() const {
    if (!aclKnown_) {
        aclKnown_ = true;
        // Anything but "none there" (also "cannot tell") counts as one.
        const ssize_t n = fgetxattr(fd_, "system.posix_acl_default", nullptr, 0);
        defaultAcl_ = n > 0 || (n < 0 && errno != ENODATA && errno != ENOTSUP && errno != EOPNOTSUPP);
    }
    return defaultAcl_;
}

int PosixFolder::removeFileOrLink(std::string_view name) const {
    const std::string child(name);
    if (IsDotName(child) || child.empty()) return EISDIR;
    struct stat st;
    if (fstatat(fd_, child.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return kNotRegularFile;  // fifo, socket, device
    // unlinkat without AT_REMOVEDIR removes a link itself, and fails on a folder
    // that replaced the file since the check above.
    return unlinkat(fd_, child.c_str(), 0) == 0 ? 0 : errno;
}

namespace {

// Whether two names in one folder lead to the same entry (a file system that ignores letter case).
bool SameEntry(int fd, const std::string& a, const std::string& b) {
    struct stat first, second;
    return fstatat(fd, a.c_str(), &first, AT_SYMLINK_NOFOLLOW) == 0 &&
           fstatat(fd, b.c_str(), &second, AT_SYMLINK_NOFOLLOW) == 0 && first.st_ino == second.st_ino &&
           first.st_dev == second.st_dev;
}

// Renames within one folder, never over anything; without the flag, after a
// look (only for our own names in between).
int RenameFree(int fd, const std::string& from, const std::string& to, bool noFlag) {
    if (!noFlag) return renameat2(fd, from.c_str(), fd, to.c_str(), kNoReplace) == 0 ? 0 : errno;
    struct stat st;
    if (fstatat(fd, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && !SameEntry(fd, from, to)) return EEXIST;
    return renameat(fd, from.c_str(), fd, to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

int PosixFolder::renameChild(std::string_view from, const FolderBackend& destination, std::string_view to) const {
    const std::string oldName(from);
    const std::string newName(to);
    if (IsDotName(oldName) || IsDotName(newName)) return kDotOnTheWay;
    if (oldName.empty() || newName.empty() || oldName.find('/') != std::string::npos ||
        newName.find('/') != std::string::npos)
        return EINVAL;
    const int target = destination.native();
    if (target < 0) return EXDEV;  // another machine
    // Names inside open folders are never resolved through a link; the flag
    // keeps whatever appeared at the new name since the comparison.
    if (renameat2(fd_, oldName.c_str(), target, newName.c_str(), kNoReplace) == 0) return 0;
    const int failed = errno;
    const bool noFlag = failed == EINVAL || failed == ENOSYS;
    // A change of letter case where the file system ignores it: the new name
    // finds the entry itself. Through a name of its own, in sight.
    if ((failed == EEXIST || noFlag) && target == fd_ && oldName != newName && SameEntry(fd_, oldName, newName)) {
        const std::string between = oldName + ".kirvo-umbenennen";
        if (const int error = RenameFree(fd_, oldName, between, noFlag)) return error;
        const int error = RenameFree(fd_, between, newName, noFlag);
        if (error != 0) RenameFree(fd_, between, oldName, noFlag);
        return error;
    }
    if (!noFlag) return failed;
    // A file system without the flag (some network and user-space ones): a
    // second name made exclusively, then the old one dropped.
    struct stat st;
    if (fstatat(fd_, oldName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISDIR(st.st_mode) && linkat(fd_, oldName.c_str(), target, newName.c_str(), 0) == 0)
        return unlinkat(fd_, oldName.c_str(), 0) == 0 ? 0 : errno;
    if (errno == EEXIST) return EEXIST;
    // Not even that (FAT keeps no second names): looked at right before.
    if (fstatat(target, newName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    return renameat(fd_, oldName.c_str(), target, newName.c_str()) == 0 ? 0 : errno;
}

int PosixFolder::removeEmptyFolder(std::string_view name) const {
    const std::string child(name);
    if (IsDotName(child) || child.empty() || child.find('/') != std::string::npos) return EINVAL;
    struct stat st;
    if (fstatat(fd_, child.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    if (unlinkat(fd_, child.c_str(), AT_REMOVEDIR) == 0) return 0;
    return errno == EEXIST ? ENOTEMPTY : errno;
}

FolderHandle FolderHandle::Adopt(int fd) { return FolderHandle(std::make_unique<PosixFolder>(fd)); }

int FolderHandle::OpenRoot(const std::string& path, FolderHandle& out) {
    out = FolderHandle();
    // A snapshot is no folder: nothing is ever written into it, nor read from it as one.
    if (Root::NamesSnapshot(path)) return kSnapshotReadOnly;
    int fd = open(path.empty() ? "." : path.c_str(), kFolderFlags);
    if (fd >= 0) {
        out = Adopt(fd);
        return 0;
    }
    if (errno != ENAMETOOLONG) return errno;
    // Too long for one call: step by step from / or the current folder, following
    // links as the single call would have.
    const bool absolute = path[0] == '/';
    fd = open(absolute ? "/" : ".", kFolderFlags);
    if (fd < 0) return errno;
    size_t pos = absolute ? 1 : 0;
    while (pos < path.size()) {
        size_t next = path.find('/', pos);
        if (next == std::string::npos) next = path.size();
        if (next > pos) {
            const std::string name = path.substr(pos, next - pos);
            const int child = openat(fd, name.c_str(), kFolderFlags);
            const int error = errno;
            close(fd);
            if (child < 0) return error;
            fd = child;
        }
        pos = next + 1;
    }
    out = Adopt(fd);
    return 0;
}

}  // namespace kirvo
