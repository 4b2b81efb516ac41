#include "sync/root_identity.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <vector>

#include "platform/posix/mount_id.h"

namespace kirvo {
namespace {

constexpr std::array kNoStableIdentity = {
    std::string_view("tmpfs"),  std::string_view("ramfs"),   std::string_view("overlay"),  std::string_view("aufs"),
    std::string_view("proc"),   std::string_view("sysfs"),   std::string_view("devtmpfs"), std::string_view("devpts"),
    std::string_view("cgroup"), std::string_view("cgroup2"), std::string_view("squashfs"), std::string_view("fuse"),
};
constexpr std::array kNetwork = {
    std::string_view("nfs"),         std::string_view("nfs4"),      std::string_view("cifs"),
    std::string_view("smb3"),        std::string_view("smbfs"),     std::string_view("fuse.sshfs"),
    std::string_view("ceph"),        std::string_view("glusterfs"), std::string_view("9p"),
    std::string_view("fuse.rclone"), std::string_view("davfs"),     std::string_view("afs"),
};
// Inode numbers made up anew at every mount (or even while mounted).
constexpr std::array kInventedInodes = {
    std::string_view("vfat"), std::string_view("msdos"), std::string_view("exfat"), std::string_view("cifs"),
    std::string_view("smb3"), std::string_view("smbfs"), std::string_view("9p"),
};

template <size_t N>
bool In(const std::array<std::string_view, N>& list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

bool StableInodes(const MountEntry& mount) {
    if (In(kInventedInodes, mount.fsType)) return false;
    // FUSE file systems hand out their own numbers unless they keep the disk's (fuseblk: NTFS).
    return mount.fsType.rfind("fuse", 0) != 0 || mount.fsType == "fuseblk";
}

// Blanks and backslashes in the first part would make the text ambiguous.
std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            constexpr char kDigits[] = "01234567";
            const auto u = static_cast<unsigned char>(c);
            out += '\\';
            out += kDigits[(u >> 6) & 7];
            out += kDigits[(u >> 3) & 7];
            out += kDigits[u & 7];
        } else {
            out += c;
        }
    }
    return out;
}

// "/a//b/./c/../d/" -> "/a/b/d"; ".." never climbs above "/".
std::string NormalisedPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (slash == std::string_view::npos) break;
        path.remove_prefix(slash + 1);
    }
    std::string out;
    for (const std::string_view part : parts) out.append("/").append(part);
    return out.empty() ? "/" : out;
}

std::string JoinPath(std::string_view base, std::string_view rest) {
    return NormalisedPath(std::string(base) + "/" + std::string(rest));
}

bool IsNetworkSource(std::string_view source) {
    if (source.substr(0, 2) == "//") return true;  // //server/share
    const size_t colon = source.find(':');
    return colon != std::string_view::npos && colon > 0 && source.find('/') > colon;  // host:/export
}

std::optional<std::string> RealPath(const std::string& path) {
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
    if (!resolved) return std::nullopt;
    return std::string(resolved.get());
}

}  // namespace

RootIdentity RootIdentity::OnMount(std::string_view canonicalPath, const MountEntry* mount, const UuidLookup& uuidOf,
                                   FileSystemIdentity fileSystem) {
    const RootIdentity before = Keyed(canonicalPath, mount, uuidOf);
    RootIdentity id = fileSystem.uuid.empty() ? before : Keyed(canonicalPath, mount, [&](const MountEntry& m) {
        std::optional<std::string> uuid = uuidOf ? uuidOf(m) : std::nullopt;
        return uuid ? uuid : fileSystem.uuid;
    });
    id.earlierText_ = before.text_;
    id.place_ = canonicalPath;
    id.fileSystem_ = std::move(fileSystem);
    return id;
}

RootIdentity RootIdentity::AsEarlier() const {
    RootIdentity id = *this;
    id.text_ = earlierText_;
    return id;
}

RootIdentity RootIdentity::Keyed(std::string_view canonicalPath, const MountEntry* mount, const UuidLookup& uuidOf) {
    const std::string fallback = "path " + std::string(canonicalPath);
    if (mount == nullptr) return {fallback, false};
    // A file system in memory has no identity of its own, but keeps its file
    // numbers as long as it is mounted, and after that there is nothing left
    // of it to mistake.
    if (In(kNoStableIdentity, mount->fsType))
        return {fallback, mount->fsType == "tmpfs" || mount->fsType == "ramfs"};
    const std::string_view point = mount->mountPoint == "/" ? std::string_view() : std::string_view(mount->mountPoint);
    if (canonicalPath.substr(0, point.size()) != point ||
        (canonicalPath.size() > point.size() && canonicalPath[point.size()] != '/'))
        return {fallback, false};
    const bool stable = StableInodes(*mount);
    const std::string inside = JoinPath(mount->root, canonicalPath.substr(point.size()));
    if (In(kNetwork, mount->fsType) || IsNetworkSource(mount->source))
        return {"net:" + Escaped(mount->source) + " " + inside, stable};
    if (mount->source.rfind("/dev/", 0) == 0) {
        if (const std::optional<std::string> uuid = uuidOf ? uuidOf(*mount) : std::nullopt; uuid && !uuid->empty())
            return {"uuid:" + Escaped(*uuid) + " " + inside, stable};
        // A loop device's number says nothing about what it shows.
        if (mount->source.rfind("/dev/loop", 0) == 0) return {fallback, false};
        return {"dev:" + Escaped(mount->source) + " " + inside, stable};
    }
    return {fallback, false};
}

RootIdentity RootIdentity::Local(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/') {
        std::array<char, PATH_MAX> cwd{};
        // Where the current folder cannot be found, a relative path names no
        // known folder: the empty identity, which the pair's lock refuses.
        if (getcwd(cwd.data(), cwd.size()) == nullptr) return {std::string(), false};
        absolute = std::string(cwd.data()) + "/" + absolute;
    }
    // The nearest existing folder is resolved (links included), the rest taken as written.
    std::string existing = NormalisedPath(absolute);
    std::string rest;
    std::optional<std::string> resolved;
    while (!(resolved = RealPath(existing))) {
        const size_t slash = existing.rfind('/');
        if (existing == "/" || slash == std::string::npos) break;
        rest = existing.substr(slash + 1) + (rest.empty() ? "" : "/" + rest);
        existing = slash == 0 ? "/" : existing.substr(0, slash);
    }
    const std::string canonical = JoinPath(resolved.value_or("/"), rest);
    const MountTable mounts = MountTable::Read();
    const MountEntry* mount = nullptr;
    if (const int fd = open(resolved.value_or("/").c_str(), O_PATH | O_CLOEXEC); fd >= 0) {
        mount = mounts.byId(MountIdOf(fd));
        close(fd);
    }
    if (mount == nullptr) mount = mounts.containing(canonical);
    return OnMount(canonical, mount, SystemUuidOf, FileSystemIdentity::Of(resolved.value_or("/"), mount));
}

RootIdentity RootIdentity::Remote(std::string_view user, std::string_view host, int port, std::string_view path) {
    std::string lowerHost(host);
    std::transform(lowerHost.begin(), lowerHost.end(), lowerHost.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lowerHost.find(':') != std::string::npos) lowerHost = "[" + lowerHost + "]";
    std::string text =
        "sftp://" + Escaped(user) + "@" + Escaped(lowerHost) + ":" + std::to_string(port == 0 ? 22 : port);
    RootIdentity id(text + " " + NormalisedPath(path), false);
    id.place_ = id.earlierText_ = id.text_;
    return id;
}

std::optional<std::string> SystemUuidOf(const MountEntry& mount) {
    DIR* dir = opendir("/dev/disk/by-uuid");
    if (dir == nullptr) return std::nullopt;
    // btrfs and others show another device number than their disk's: then the source's.
    std::vector<dev_t> wanted = {makedev(mount.major, mount.minor)};
    struct stat st;
    if (stat(mount.source.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) wanted.push_back(st.st_rdev);
    std::optional<std::string> uuid;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        if (fstatat(dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISBLK(st.st_mode) &&
            std::find(wanted.begin(), wanted.end(), st.st_rdev) != wanted.end()) {
            uuid = entry->d_name;
            break;
        }
    }
    closedir(dir);
    return uuid;
}

}  // namespace kirvo
