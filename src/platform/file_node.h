#pragma once
#include <cstdint>
#include <string>

#include "platform/translation.h"

namespace kirvo {

// What a path names, as the file operations need to know it.
enum class NodeKind : uint8_t {
    Missing,  // nothing there
    File,     // a regular file
    Folder,
    Link,     // a symbolic link (only when links are not followed)
    Other,    // fifo, socket, device
};

struct NodeInfo {
    NodeKind kind = NodeKind::Missing;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;  // UTC, seconds since 1970-01-01
    uint32_t modifiedNanoseconds = 0;
    uint32_t permissions = 0;  // the rwx bits for owner, group, others
    uint64_t inode = 0;        // which file it is on its file system; 0 where none is told (another machine)
    uint64_t device = 0;       // which file system; 0 where none is told
    int64_t changedSeconds = 0;  // status change time (ctime) where the system tells one; 0 otherwise
    uint32_t changedNanoseconds = 0;
};

// Error codes are the system's (errno on POSIX); 0 means success.
// A code of our own for "exists, but is not a regular file".
inline constexpr int kNotRegularFile = -1;
// A code of our own for "the source changed while it was being copied".
inline constexpr int kSourceChanged = -2;
// A code of our own for "a folder on the way is a link (or leads outside the root)".
inline constexpr int kLinkOnTheWay = -3;
// A code of our own for "no trash can take this file" (the reason comes with it).
inline constexpr int kNoTrash = -4;
// A code of our own for "the destination changed while its replacement was copied".
inline constexpr int kDestinationChanged = -5;
// A code of our own for "the connection to the other machine broke off".
inline constexpr int kConnectionLost = -6;
// A code of our own for "the other machine's server cannot do this safely".
inline constexpr int kNotSupportedThere = -7;
// A code of our own for "the file's modification time cannot be kept on the
// other machine" (SFTP carries 1970 to 2106 only); its text is kTimeNotStorableText.
inline constexpr int kTimeNotStorable = -9;
inline constexpr const char* kTimeNotStorableText = TrNoop("Änderungszeit auf dem anderen Rechner nicht darstellbar");
// A code of our own for "a name on the way is \".\" or \"..\"" (it would lead
// back up, perhaps out of the root, so it is refused).
inline constexpr int kDotOnTheWay = -8;
// A code of our own for "a link whose owner is not its target's owner, which
// a process running as root does not follow" (as the kernel's
// protected_symlinks rule keeps a user's link from leading root elsewhere).
inline constexpr int kForeignLink = -10;
// A code of our own for "the copy read back from the disk is not what was read
// from the source".
inline constexpr int kCopyDiffers = -11;
// Codes of our own for a snapshot root (a saved listing, see Root::Kind::Snapshot):
// the file is no snapshot of ours (or a damaged one); a snapshot holds no
// file contents, only their hashes where it was saved with them; it holds no
// hash of this file; and nothing is ever written into it.
inline constexpr int kNotSnapshot = -21;
inline constexpr int kContentNotKept = -22;
inline constexpr int kNoRecordedHash = -23;
inline constexpr int kSnapshotReadOnly = -24;

// Metadata of a file or folder that a copy could not carry over (bits).
enum MetadataKind : uint32_t {
    kMetadataXattrs = 1,  // user extended attributes
    kMetadataAcl = 2,     // POSIX access or default ACL
    kMetadataOwner = 4,
    kMetadataGroup = 8,
    // Read back after setting: a file system may accept the call and keep
    // something else (exFAT, vfat, NTFS without a permission mapping).
    kMetadataPermissions = 16,  // the rwx bits
    kMetadataTime = 32,         // the modification time, to the second
};

// Describes path; a missing path is success with kind Missing. With followLinks
// false a link is described as a link; with true as what it points to (a dangling
// link then reads as Missing).
int InspectPath(const std::string& path, bool followLinks, NodeInfo& info);

// Creates one folder (its parent must exist) with the default permissions.
// An existing folder counts as success.
int MakeFolder(const std::string& path);

// Removes a regular file or a link itself; never a folder (the system's "is a
// folder" error then), never a fifo, socket or device (kNotRegularFile), and never
// what a link points to.
int RemoveFileOrLink(const std::string& path);

// The text for an error code: Kirvo's own codes and the system's (ErrorText).
std::string SystemErrorText(int code);

}  // namespace kirvo
