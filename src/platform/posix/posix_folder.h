#pragma once
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/folder_handle.h"

namespace kirvo {

// A local folder, held open by its descriptor. What a copy into it needs to
// know about the folder itself is looked up once and kept (a folder's calls
// come from one thread at a time).
class PosixFolder final : public FolderBackend {
public:
    explicit PosixFolder(int fd) : fd_(fd) {}
    ~PosixFolder() override;
    PosixFolder(const PosixFolder&) = delete;
    PosixFolder& operator=(const PosixFolder&) = delete;

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
    int native() const override { return fd_; }

    // What a new file in this folder gets without being told: the folder's
    // group where the folder passes it on (set-group-id), and an access ACL
    // where the folder has a default ACL.
    bool passesGroupOn(gid_t& group) const;
    bool hasDefaultAcl() const;

private:
    bool know() const;

    int fd_;
    mutable bool known_ = false;
    mutable bool aclKnown_ = false;
    mutable bool defaultAcl_ = false;
    mutable dev_t device_ = 0;
    mutable ino_t inode_ = 0;
    mutable mode_t mode_ = 0;
    mutable gid_t group_ = 0;
};

}  // namespace kirvo
