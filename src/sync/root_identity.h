#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "sync/file_system_identity.h"
#include "sync/mount_table.h"

namespace kirvo {

// Who a root folder is, whatever path it is reached by today: the text the
// state of a pair is kept under. Readable and stable:
//   "uuid:<UUID> <path inside the file system>"   a disk or stick with a UUID
//   "dev:<device> <path inside>"                  a disk without one
//   "net:<source> <path inside>"                  a network file system
//   "path <canonical path>"                       no stable identity (tmpfs, overlay, loop devices, ...)
//   "sftp://<user>@<host>:<port> <path>"          a folder on another machine
// The part before the first blank never holds one, so the text is unambiguous.
// Beside it, where the root is found today and the file system there: with
// them the state store notices another disk at a place it knows.
class RootIdentity {
public:
    // The UUID of a mount's file system, if it has one.
    using UuidLookup = std::function<std::optional<std::string>(const MountEntry&)>;

    // A local folder, existing or not (a missing one: its nearest existing
    // folder's file system, with the rest of the path as written). Empty text
    // for a relative path where the current folder cannot be found.
    static RootIdentity Local(std::string_view path);
    // The same from a canonical absolute path, the mount it lies on (none:
    // unknown) and its file system, whose UUID read from the device counts
    // where udev names none.
    static RootIdentity OnMount(std::string_view canonicalPath, const MountEntry* mount, const UuidLookup& uuidOf,
                                FileSystemIdentity fileSystem = {});
    // A folder on another machine: the login name, host and port in effect (0: 22).
    static RootIdentity Remote(std::string_view user, std::string_view host, int port, std::string_view path);

    const std::string& text() const { return text_; }
    // The text earlier versions gave it, which knew a UUID only from udev;
    // their states are kept under it.
    const std::string& earlierText() const { return earlierText_; }
    RootIdentity AsEarlier() const;
    // Where the root is found: its canonical local path, or the address of a remote one.
    const std::string& place() const { return place_; }
    // The file system it lies on (Local only; a missing root: its nearest
    // existing folder's). A disk with a UUID is known by its text already;
    // any other is told from another disk at the same place only by this.
    const FileSystemIdentity& fileSystem() const { return fileSystem_; }
    // Whether the file system keeps a file's inode number from mount to mount
    // (FAT, exFAT, FUSE and SMB mounts invent them): only then may a change of
    // inode count as a change, and an inode tell a move.
    bool stableInodes() const { return stableInodes_; }

    friend bool operator==(const RootIdentity& a, const RootIdentity& b) { return a.text_ == b.text_; }

private:
    static RootIdentity Keyed(std::string_view canonicalPath, const MountEntry* mount, const UuidLookup& uuidOf);
    RootIdentity(std::string text, bool stableInodes)
        : text_(std::move(text)), stableInodes_(stableInodes), earlierText_(text_) {}
    std::string text_;
    bool stableInodes_ = false;
    std::string earlierText_;
    std::string place_;
    FileSystemIdentity fileSystem_;
};

// The UUID of a block device from /dev/disk/by-uuid, matched by device number.
std::optional<std::string> SystemUuidOf(const MountEntry& mount);

}  // namespace kirvo
