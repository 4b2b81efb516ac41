#pragma once
#include <sys/stat.h>

#include <cstdint>

namespace kirvo {

// Carries a file's or folder's metadata over to its copy, beyond what the copy
// sets itself (data, permission bits, times): owner and group where the process
// may set them, the user extended attributes, and the POSIX ACLs (access, and
// default on folders). Returns the MetadataKind bits of what the source has and
// the copy could not be given; what the source lacks is removed from the copy
// where it came by inheritance (a default ACL of the destination folder), so
// the copy matches its source. Permission bits are set by the caller afterwards.
class MetadataCopier {
public:
    static uint32_t Copy(int from, int to, const struct stat& fromStat);

    // The same for a file just made by this process in a folder: where the
    // file already has the source's owner and group as made (`madeOwner`,
    // `madeGroup`) they are not set again, and an inherited ACL is only looked
    // for where the folder passes one on. What the file ends up with is for
    // the caller to check.
    static uint32_t CopyToNew(int from, int to, const struct stat& fromStat, uid_t madeOwner, gid_t madeGroup,
                              bool folderPassesAcl);
};

}  // namespace kirvo
