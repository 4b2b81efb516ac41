#pragma once
#include <string>

#include "platform/file_transfer.h"
#include "platform/posix/local_link_transfer.h"

namespace kirvo {

class SftpFolder;

// FileTransfer of a link as a link between the local file system and another
// machine, either way. There the link's text is read with READLINK, or the
// link is made under a temporary name of ours with SYMLINK, given the source's
// time with lsetstat@openssh.com (a plain SETSTAT would set the time of what
// the link points to) and renamed into place like a copied file (see
// SftpFolder::place). A server without lsetstat@openssh.com gets no links:
// its link would keep the wrong time, and the order of SYMLINK's two paths is
// known only for OpenSSH's server. Locally the LocalLinkTransfer's halves do the work.
class SftpLinkTransfer final : public FileTransfer {
public:
    explicit SftpLinkTransfer(bool sourceLocal) : sourceLocal_(sourceLocal) {}
    ~SftpLinkTransfer() override;

    int openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) override;
    int createTemporary(const FolderHandle& folder, std::string_view name) override;
    int copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) override;
    int seal() override;
    int publish(const NodeInfo& expected, Trash* keepIn = nullptr, TrashedFile* kept = nullptr,
                std::string* reason = nullptr) override;
    void abandon() override;

private:
    int makeTemporaryLink();
    void removeTemporaryLink();

    bool sourceLocal_;
    LocalLinkTransfer local_;            // the local half: source or destination
    const SftpFolder* remote_ = nullptr;  // the remote half's folder (held by remoteFolder_)
    FolderHandle remoteFolder_;
    std::string remoteSourceName_;
    std::string text_;
    NodeInfo sourceInfo_;
    std::string tempName_;  // the remote link, while it waits under this name
};

}  // namespace kirvo
