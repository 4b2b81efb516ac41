#pragma once
#include <string>
#include <string_view>

#include "sync/mount_table.h"

namespace kirvo {

// Which file system a root lies on, whatever path it is reached by: what
// tells one disk from another put at the same place (the wrong stick, another
// image, a mount point with nothing mounted). Kept with a pair's state; a
// field the system does not tell stays empty.
class FileSystemIdentity {
public:
    std::string uuid;        // udev's name for it, else read from the device
    std::string label;       // read from the device
    std::string type;        // "ext4", "vfat", "fuse.sshfs", ...
    std::string source;      // "/dev/sdb1", "nas:/export", "tmpfs", ...
    std::string fsid;        // the kernel's file system id (statfs), hex; "" where it gives none
    std::string mountPoint;  // where it was mounted

    // The file system of an existing folder and the mount it lies on (none: unknown).
    static FileSystemIdentity Of(const std::string& folder, const MountEntry* mount);

    // As stored ("uuid=…\ntype=…"), and back.
    std::string Text() const;
    static FileSystemIdentity Parse(std::string_view text);

    // Whether `now` is certainly another file system than this one, judged
    // by what both know, the surest first: the UUID; the label; the kernel's
    // id with the type; type and source. False where they cannot be told apart.
    bool OtherThan(const FileSystemIdentity& now) const;
    // Whether `now`, another file system, is the one this one was mounted
    // on: nothing is mounted at this one's mount point any more.
    bool UnmountedIn(const FileSystemIdentity& now) const;
};

}  // namespace kirvo
