#include "platform/posix/link_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_node.h"
#include "platform/posix/process_identity.h"

namespace kirvo {

bool LinkGuard::MayFollow(uid_t linkOwner, uid_t targetOwner) {
    return ProcessIdentity::User() != 0 || linkOwner == targetOwner;
}

int LinkGuard::Open(int folder, const char* name, int flags, int& error) {
    error = 0;
    // Where `name` is no link the rule has nothing to say: one call.
    int fd = openat(folder, name, flags | O_NOFOLLOW);
    if (fd >= 0 || errno != ELOOP || (flags & O_NOFOLLOW) != 0) {
        if (fd < 0) error = errno;
        return fd;
    }
    if (ProcessIdentity::User() != 0) {
        fd = openat(folder, name, flags);
        if (fd < 0) error = errno;
        return fd;
    }
    // A link: what it leads to is opened first, then both owners are looked
    // at. A link put there meanwhile by its target's owner is that owner's to
    // make; one of another owner is refused whichever came first.
    fd = openat(folder, name, flags);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat link, target;
    if (fstatat(folder, name, &link, AT_SYMLINK_NOFOLLOW) != 0 || fstat(fd, &target) != 0) {
        error = errno;
        close(fd);
        return -1;
    }
    if (S_ISLNK(link.st_mode) && !MayFollow(link.st_uid, target.st_uid)) {
        error = kForeignLink;
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace kirvo
