#pragma once
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/folder_handle.h"
#include "platform/sftp/sftp_connection.h"

namespace kirvo {

// A folder on another machine, reached over its SFTP connection. SFTP has no
// open folders to work relative to, so a folder is its absolute path below the
// root, and every name on the way from the root was seen to be a real folder
// (LSTAT, never following a link) when it was opened; a file operation checks
// the way again right before it changes anything (see SftpFileTransfer). The
// root itself is taken as the server resolves it (links in the root's own path
// are followed: the user chose it).
class SftpFolder final : public FolderBackend {
public:
    SftpFolder(std::shared_ptr<SftpConnection> connection, std::string rootPath, std::string relative)
        : connection_(std::move(connection)), root_(std::move(rootPath)), relative_(std::move(relative)) {}

    int openBeneath(std::string_view relative, std::unique_ptr<FolderBackend>& out, size_t* failedAt) const override;
    int openChild(std::string_view name, bool create, std::unique_ptr<FolderBackend>& out, bool* created) const override;
    uint32_t copyMetadataFrom(const FolderBackend& source) const override;
    int inspect(std::string_view name, bool followLinks, NodeInfo& info) const override;
    int removeFileOrLink(std::string_view name) const override;
    int renameChild(std::string_view from, const FolderBackend& destination, std::string_view to) const override;
    int removeEmptyFolder(std::string_view name) const override;
    int identify(uint64_t& device, uint64_t& inode) const override;
    int describe(NodeInfo& info) const override;
    int removeStaleTemporaries() const override;
    bool usable() const override { return !connection_->lost(); }
    void foresee(std::span<const std::string> relativePaths, bool followLinks) const override;

    // Checks again that every folder from the root down to this one is a real
    // folder: 0, kLinkOnTheWay, ENOENT, ENOTDIR or the connection's error.
    int checkWay() const;
    // Renames our finished `temp` over `destination` (both names in this
    // folder), but only while the way is unchanged and the destination is
    // still what `expected` says (see FileTransfer::publish): a plain rename
    // where nothing is there (it never replaces anything),
    // posix-rename@openssh.com over what is. There is no trash here: with
    // `keep` an existing destination is kNoTrash (the reason in *reason).
    // `placed` (when given) gets what stands there afterwards (kind Missing where unknown).
    int place(const std::string& temp, const std::string& destination, const NodeInfo& expected, bool keep,
              std::string* reason, NodeInfo* placed = nullptr) const;
    // The folders from the root down to this one, for checkWay's look (see SftpPlacing).
    std::vector<std::string> way() const;
    // The absolute path of this folder, and of a name in it.
    std::string path() const;
    std::string pathOf(std::string_view name) const;
    SftpConnection& connection() const { return *connection_; }
    const std::shared_ptr<SftpConnection>& sharedConnection() const { return connection_; }

private:
    int walk(std::string_view relative, std::unique_ptr<FolderBackend>& out, size_t* failedAt, bool foreseen) const;
    bool wayTo(std::string_view relative, std::vector<std::string>& paths, std::vector<size_t>* ends,
               size_t* failedAt) const;

    std::shared_ptr<SftpConnection> connection_;
    std::string root_;      // absolute, as the server resolved it
    std::string relative_;  // "" or "a/b"
};

}  // namespace kirvo
