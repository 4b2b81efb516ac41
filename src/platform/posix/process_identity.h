#pragma once
#include <sys/types.h>

namespace kirvo {

// Who this process is for new files, asked once (and anew in a child after
// fork, which may take another identity): the effective user and group, and
// the permission bits the creation mask takes off.
class ProcessIdentity {
public:
    static uid_t User();
    static gid_t Group();
    static mode_t CreationMask();
};

}  // namespace kirvo
