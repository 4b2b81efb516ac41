#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_node.h"

namespace kirvo {

// An open folder through which the file operations reach what lies below a root.
// The root is opened as the user named it (links in its own path are followed:
// the user chose it); below it nothing is reached through a link and nothing
// outside it is reached at all, so a folder swapped for a link after the
// comparison cannot redirect a copy or a delete. Everything works relative to
// open folders, so paths longer than the system's limit are no obstacle.
// Error codes as in file_node.h; kLinkOnTheWay for a folder on the way that is a link.
class FolderHandle {
public:
    FolderHandle() = default;
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Opens a root folder by its path ("" = the current folder).
    static int OpenRoot(const std::string& path, FolderHandle& out);

    // Opens the folder `relative` below this one: names joined by the separator,
    // "" for this folder itself. No link is followed on the way, "." and ".."
    // are refused. On failure, failedAt (when given) is set to the end of the
    // name that failed, so relative.substr(0, failedAt) names that folder; a
    // missing folder is ENOENT.
    int openBeneath(std::string_view relative, FolderHandle& out, size_t* failedAt = nullptr) const;

    // Opens the child folder `name`, creating it first when create is set and it
    // is missing (created, when given, tells whether it was). Never follows a link.
    int openChild(std::string_view name, bool create, FolderHandle& out, bool* created = nullptr) const;

    // Gives this folder, made by a copy, the metadata of its source folder:
    // permission bits, owner and group where permitted, user extended
    // attributes, access and default ACL. Returns the MetadataKind bits of what
    // could not be kept.
    uint32_t copyMetadataFrom(const FolderHandle& source) const;

    // Describes the child `name` (see InspectPath; a missing child is success
    // with kind Missing). followLinks only concerns `name` itself.
    int inspect(std::string_view name, bool followLinks, NodeInfo& info) const;

    // Removes the child `name` when it is a regular file or a link (the link
    // itself); EISDIR for a folder, kNotRegularFile for anything else.
    int removeFileOrLink(std::string_view name) const;

    // The folder's identity on its file system (device and inode number).
    int identify(uint64_t& device, uint64_t& inode) const;

    bool valid() const { return fd_ >= 0; }
    // Takes over a folder descriptor opened by other platform code.
    static FolderHandle Adopt(int fd) { return FolderHandle(fd); }
    int native() const { return fd_; }  // the system's handle, owned by this object

private:
    explicit FolderHandle(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Splits a relative path at its last separator: folder part ("" or "a/b") and name,
// both views into relative.
void SplitRelative(std::string_view relative, std::string_view& folder, std::string_view& name);

}  // namespace kirvo
