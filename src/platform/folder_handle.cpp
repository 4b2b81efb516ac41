#include "platform/folder_handle.h"

#include <cerrno>

namespace kirvo {

void SplitRelative(std::string_view relative, std::string_view& folder, std::string_view& name) {
    const size_t slash = relative.rfind('/');
    if (slash == std::string_view::npos) {
        folder = relative.substr(0, 0);  // empty, but still pointing into relative
        name = relative;
    } else {
        folder = relative.substr(0, slash);
        name = relative.substr(slash + 1);
    }
}

int FolderHandle::openBeneath(std::string_view relative, FolderHandle& out, size_t* failedAt) const {
    out = FolderHandle();
    if (!backend_) return EBADF;
    std::unique_ptr<FolderBackend> opened;
    const int error = backend_->openBeneath(relative, opened, failedAt);
    out.backend_ = std::move(opened);
    return error;
}

int FolderHandle::openChild(std::string_view name, bool create, FolderHandle& out, bool* created) const {
    out = FolderHandle();
    if (created != nullptr) *created = false;
    if (!backend_) return EBADF;
    std::unique_ptr<FolderBackend> opened;
    const int error = backend_->openChild(name, create, opened, created);
    out.backend_ = std::move(opened);
    return error;
}

uint32_t FolderHandle::copyMetadataFrom(const FolderHandle& source) const {
    if (!backend_ || !source.backend_) return 0;
    return backend_->copyMetadataFrom(*source.backend_);
}

int FolderHandle::inspect(std::string_view name, bool followLinks, NodeInfo& info) const {
    info = NodeInfo{};
    if (!backend_) return EBADF;
    return backend_->inspect(name, followLinks, info);
}

int FolderHandle::removeFileOrLink(std::string_view name) const {
    return backend_ ? backend_->removeFileOrLink(name) : EBADF;
}

int FolderHandle::rename(std::string_view from, const FolderHandle& destination, std::string_view to) const {
    if (!backend_ || !destination.backend_) return EBADF;
    return backend_->renameChild(from, *destination.backend_, to);
}

int FolderHandle::removeEmptyFolder(std::string_view name) const {
    return backend_ ? backend_->removeEmptyFolder(name) : EBADF;
}

int FolderHandle::identify(uint64_t& device, uint64_t& inode) const {
    return backend_ ? backend_->identify(device, inode) : EBADF;
}

}  // namespace kirvo
