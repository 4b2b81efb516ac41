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
};

}  // namespace kirvo
