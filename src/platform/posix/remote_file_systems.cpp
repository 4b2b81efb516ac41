#include "platform/posix/remote_file_systems.h"

namespace kirvo {

bool WaitsPerRequest(long type) {
    switch (type) {
    case 0x6969:      // nfs
    case 0x517B:      // smb
    case 0xFF534D42:  // cifs
    case 0xFE534D42:  // smb2
    case 0x65735546:  // fuse (sshfs, rclone, ...)
    case 0x01021997:  // 9p
    case 0x00C36400:  // ceph
    case 0x5346414F:  // afs
    case 0x73757245:  // coda
    case 0x564C:      // ncp
    case 0x47504653:  // gpfs
    case 0x0BD00BD0:  // lustre
    case 0x013111A8:  // ibrix
    case 0x61756673:  // aufs over anything
        return true;
    default:
        return false;
    }
}

}  // namespace kirvo
