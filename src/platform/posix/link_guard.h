#pragma once
#include <sys/types.h>

namespace kirvo {

// Whom this process follows a link for. A process running as root (a backup
// job, say) does not follow a link whose owner is not the owner of what it
// points to: otherwise any user could put "notes.txt -> /etc/shadow" into a
// tree root copies, and the copy would carry that file to wherever the copy
// can be read. It is the kernel's protected_symlinks rule, applied everywhere
// and not only in sticky folders. Anyone else follows links as the system lets them.
class LinkGuard {
public:
    static bool MayFollow(uid_t linkOwner, uid_t targetOwner);

    // openat(folder, name, flags) that follows `name` only where MayFollow
    // allows: -1 with errno set otherwise, kForeignLink for a link not followed
    // (that is no errno value: the caller takes it from `error`).
    static int Open(int folder, const char* name, int flags, int& error);
};

}  // namespace kirvo
