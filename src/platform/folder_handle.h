#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
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
// What a FolderHandle holds: one open folder of one file system (the local
// one, or a remote one). The calls are those of FolderHandle.
class FolderBackend {
public:
    virtual ~FolderBackend() = default;
    virtual int openBeneath(std::string_view relative, std::unique_ptr<FolderBackend>& out, size_t* failedAt) const = 0;
    virtual int openChild(std::string_view name, bool create, std::unique_ptr<FolderBackend>& out, bool* created) const = 0;
    virtual uint32_t copyMetadataFrom(const FolderBackend& source) const = 0;
    virtual int inspect(std::string_view name, bool followLinks, NodeInfo& info) const = 0;
    virtual int removeFileOrLink(std::string_view name) const = 0;
    virtual int renameChild(std::string_view from, const FolderBackend& destination, std::string_view to) const = 0;
    virtual int removeEmptyFolder(std::string_view name) const = 0;
    virtual int identify(uint64_t& device, uint64_t& inode) const = 0;
    // The folder itself (kind Folder, its permission bits).
    virtual int describe(NodeInfo& info) const = 0;
    // See FileTransfer::RemoveStaleTemporaries.
    virtual int removeStaleTemporaries() const = 0;
    // The local system's handle; -1 for a folder of another machine.
    virtual int native() const { return -1; }
    // False once the folder can no longer be reached (its connection broke off).
    virtual bool usable() const { return true; }
    // See FolderHandle::foresee.
    virtual void foresee(std::span<const std::string> /*relativePaths*/, bool /*followLinks*/) const {}
};

class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(std::unique_ptr<FolderBackend> backend) : backend_(std::move(backend)) {}
    FolderHandle(FolderHandle&&) = default;
    FolderHandle& operator=(FolderHandle&&) = default;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    // Another handle of the same open folder (no new handle of the system's):
    // the folder stays open while either lives.
    FolderHandle share() const {
        FolderHandle shared;
        shared.backend_ = backend_;
        return shared;
    }

    // Opens a local root folder by its path ("" = the current folder).
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
    // attributes, access and default ACL (between local folders). Returns the
    // MetadataKind bits of what could not be kept.
    uint32_t copyMetadataFrom(const FolderHandle& source) const;

    // Describes the child `name` (see InspectPath; a missing child is success
    // with kind Missing). followLinks only concerns `name` itself.
    int inspect(std::string_view name, bool followLinks, NodeInfo& info) const;

    // Removes the child `name` when it is a regular file or a link (the link
    // itself); EISDIR for a folder, kNotRegularFile for anything else.
    int removeFileOrLink(std::string_view name) const;

    // Gives the child `from` the name `to` in `destination` (this folder or
    // another one of the same file system), never replacing anything: EEXIST
    // when `to` is taken. A link is renamed itself. EXDEV between two file
    // systems (or machines): nothing is copied.
    int rename(std::string_view from, const FolderHandle& destination, std::string_view to) const;

    // Removes the child folder `name` when it is empty: ENOTEMPTY otherwise,
    // ENOTDIR for anything but a folder (a link to one included).
    int removeEmptyFolder(std::string_view name) const;

    // The folder's identity on its file system (device and inode number, or
    // what stands for them on another machine).
    int identify(uint64_t& device, uint64_t& inode) const;

    // A hint that the files `relativePaths` ("a/b/name") below this folder are
    // about to be looked at in this order (opening their folders, inspect
    // with followLinks): a folder on another machine asks for them all at
    // once instead of one round trip each. What the looks report is the same;
    // an answer is used only while fresh, and never for the checks right
    // before a change. Nothing is done for a local folder.
    void foresee(std::span<const std::string> relativePaths, bool followLinks) const {
        if (backend_) backend_->foresee(relativePaths, followLinks);
    }

    bool valid() const { return backend_ != nullptr; }
    // Takes over a folder descriptor opened by other platform code.
    static FolderHandle Adopt(int fd);
    // The system's handle, owned by this object; -1 when invalid or not local.
    int native() const { return backend_ ? backend_->native() : -1; }
    const FolderBackend* backend() const { return backend_.get(); }
    bool usable() const { return backend_ && backend_->usable(); }

private:
    std::shared_ptr<FolderBackend> backend_;
};

// Splits a relative path at its last separator: folder part ("" or "a/b") and name,
// both views into relative.
void SplitRelative(std::string_view relative, std::string_view& folder, std::string_view& name);

}  // namespace kirvo
