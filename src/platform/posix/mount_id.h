#pragma once
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>

namespace kirvo {

// The mount an open file or folder belongs to, where the system tells (0
// otherwise): a bind mount shares the device of what it shows, yet nothing can
// be renamed or linked across it.
inline uint64_t MountIdOf(int fd) {
#if defined(STATX_MNT_ID)
    struct statx stx;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &stx) == 0 && (stx.stx_mask & STATX_MNT_ID) != 0)
        return stx.stx_mnt_id;
#else
    (void)fd;
#endif
    return 0;
}

}  // namespace kirvo
