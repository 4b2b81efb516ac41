#pragma once
#include <sys/stat.h>

#include "platform/file_node.h"

namespace kirvo {

// What a stat record says about a node: kind, size, times, rwx bits, inode and device.
inline void DescribeStat(const struct stat& st, NodeInfo& info) {
    if (S_ISREG(st.st_mode)) {
        info.kind = NodeKind::File;
    } else if (S_ISDIR(st.st_mode)) {
        info.kind = NodeKind::Folder;
    } else if (S_ISLNK(st.st_mode)) {
        info.kind = NodeKind::Link;
    } else {
        info.kind = NodeKind::Other;
    }
    info.size = static_cast<uint64_t>(st.st_size);
    info.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    info.modifiedNanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    info.permissions = static_cast<uint32_t>(st.st_mode & 0777);
    info.inode = static_cast<uint64_t>(st.st_ino);
    info.device = static_cast<uint64_t>(st.st_dev);
    info.changedSeconds = static_cast<int64_t>(st.st_ctim.tv_sec);
    info.changedNanoseconds = static_cast<uint32_t>(st.st_ctim.tv_nsec);
}

}  // namespace kirvo
