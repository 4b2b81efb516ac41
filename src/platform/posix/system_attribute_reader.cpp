#include "platform/posix/system_attribute_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#if defined(__linux__)
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#endif

namespace kirvo {
namespace {

constexpr uint32_t kSystemBit = 0x4;  // the same bit on FAT and NTFS
#if defined(__linux__)
constexpr long kFuseMagic = 0x65735546;   // ntfs-3g (fuseblk), but also sshfs and others
constexpr long kNtfs3Magic = 0x7366746e;  // the ntfs3 kernel driver
constexpr long kNtfsMagic = 0x5346544e;   // the old ntfs kernel driver
constexpr const char* kNtfsAttributes = "system.ntfs_attrib_be";
#endif

}  // namespace

SystemAttributeReader::SystemAttributeReader(int folderFd) : folderFd_(folderFd) {
#if defined(__linux__)
    struct statfs fs;
    if (fstatfs(folderFd, &fs) != 0) return;
    const long type = static_cast<long>(fs.f_type);
    if (type == MSDOS_SUPER_MAGIC) {
        kind_ = Kind::Fat;
    } else if (type == kFuseMagic || type == kNtfs3Magic || type == kNtfsMagic) {
        // A FUSE file system other than NTFS lacks the attribute: the first
        // folder tells, and the rest of the listing asks no more.
        kind_ = Kind::Ntfs;
    }
#endif
}

bool SystemAttributeReader::IsSystem(const char* name) {
#if defined(__linux__)
    if (kind_ == Kind::None) return false;
    const int fd = openat(folderFd_, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    uint32_t attributes = 0;
    bool known = false;
    if (kind_ == Kind::Fat) {
        known = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &attributes) == 0;
    } else {
        unsigned char bytes[4];
        const ssize_t n = fgetxattr(fd, kNtfsAttributes, bytes, sizeof bytes);
        if (n == static_cast<ssize_t>(sizeof bytes)) {
            attributes = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                         static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
            known = true;
        } else if (n < 0 && (errno == ENOTSUP || errno == ENODATA)) {
            kind_ = Kind::None;
        }
    }
    close(fd);
    return known && (attributes & kSystemBit) != 0;
#else
    (void)name;
    return false;
#endif
}

}  // namespace kirvo
