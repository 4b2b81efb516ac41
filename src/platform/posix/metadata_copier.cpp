#include "platform/posix/metadata_copier.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_node.h"
#include "platform/posix/own_temporary_file.h"

namespace kirvo {
namespace {

constexpr std::string_view kUser = "user.";
constexpr const char* kAccessAcl = "system.posix_acl_access";
constexpr const char* kDefaultAcl = "system.posix_acl_default";

bool NoXattrs(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

// The names of fd's attributes; empty where there are none or none can exist.
std::vector<std::string> Names(int fd) {
    std::vector<char> buffer(1024);
    while (true) {
        const ssize_t n = flistxattr(fd, buffer.data(), buffer.size());
        if (n >= 0) {
            std::vector<std::string> names;
            for (size_t pos = 0; pos < static_cast<size_t>(n);) {
                const size_t length = std::strlen(buffer.data() + pos);
                if (length > 0) names.emplace_back(buffer.data() + pos, length);
                pos += length + 1;
            }
            return names;
        }
        if (errno != ERANGE) return {};
        const ssize_t needed = flistxattr(fd, nullptr, 0);
        if (needed < 0) return {};
        buffer.resize(static_cast<size_t>(needed) + 256);
    }
}

// Copies one attribute; false when the copy cannot take it.
bool CopyOne(int from, int to, const std::string& name) {
    std::vector<char> value(256);
    ssize_t n;
    while ((n = fgetxattr(from, name.c_str(), value.data(), value.size())) < 0 && errno == ERANGE) {
        const ssize_t needed = fgetxattr(from, name.c_str(), nullptr, 0);
        if (needed < 0) return true;  // gone meanwhile: nothing to keep
        value.resize(static_cast<size_t>(needed) + 64);
    }
    if (n < 0) return errno == ENODATA;
    return fsetxattr(to, name.c_str(), value.data(), static_cast<size_t>(n), 0) == 0;
}

bool Has(const std::vector<std::string>& names, const char* name) {
    for (const std::string& n : names)
        if (n == name) return true;
    return false;
}

uint32_t CopyOwner(int to, const struct stat& fromStat) {
    struct stat now;
    if (fstat(to, &now) != 0) return 0;
    if (now.st_uid == fromStat.st_uid && now.st_gid == fromStat.st_gid) return 0;
    // Root may give both; a user may give a group of theirs to a file of theirs.
    if (fchown(to, fromStat.st_uid, fromStat.st_gid) != 0) fchown(to, static_cast<uid_t>(-1), fromStat.st_gid);
    if (fstat(to, &now) != 0) return 0;
    uint32_t lost = 0;
    if (now.st_uid != fromStat.st_uid) lost |= kMetadataOwner;
    if (now.st_gid != fromStat.st_gid) lost |= kMetadataGroup;
    return lost;
}

// The user's attributes and the ACLs of `from` on `to`; what `to` inherited
// but `from` lacks is taken off where inheritance can have put it.
uint32_t CopyAttributes(int from, int to, const struct stat& fromStat, bool mayHaveInherited) {
    uint32_t lost = 0;
    const std::vector<std::string> names = Names(from);
    for (const std::string& name : names) {
        if (name.compare(0, kUser.size(), kUser) == 0) {
            if (name == OwnTemporaryFile::kMarker) continue;
            if (!CopyOne(from, to, name)) lost |= kMetadataXattrs;
        } else if (name == kAccessAcl || (name == kDefaultAcl && S_ISDIR(fromStat.st_mode))) {
            if (!CopyOne(from, to, name)) lost |= kMetadataAcl;
        }
    }
    if (!mayHaveInherited) return lost;
    // Inherited from the destination's folder but not the source's: taken off again.
    for (const char* acl : {kAccessAcl, kDefaultAcl}) {
        if (acl == kDefaultAcl && !S_ISDIR(fromStat.st_mode)) continue;
        if (!Has(names, acl) && fremovexattr(to, acl) != 0 && errno != ENODATA && !NoXattrs(errno))
            lost |= kMetadataAcl;
    }
    return lost;
}

}  // namespace

uint32_t MetadataCopier::Copy(int from, int to, const struct stat& fromStat) {
    return CopyOwner(to, fromStat) | CopyAttributes(from, to, fromStat, true);
}

uint32_t MetadataCopier::CopyToNew(int from, int to, const struct stat& fromStat, uid_t madeOwner, gid_t madeGroup,
                                   bool folderPassesAcl) {
    uint32_t lost = 0;
    if (madeOwner != fromStat.st_uid || madeGroup != fromStat.st_gid) {
        // Root may give both; a user may give a group of theirs to a file of theirs.
        if (fchown(to, fromStat.st_uid, fromStat.st_gid) != 0) {
            if (madeOwner != fromStat.st_uid) lost |= kMetadataOwner;
            if (madeGroup != fromStat.st_gid && fchown(to, static_cast<uid_t>(-1), fromStat.st_gid) != 0)
                lost |= kMetadataGroup;
        }
    }
    return lost | CopyAttributes(from, to, fromStat, folderPassesAcl);
}

}  // namespace kirvo
