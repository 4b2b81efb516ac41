#pragma once
#include <string>

#include "platform/file_transfer.h"
#include "platform/posix/local_file_transfer.h"

namespace kirvo {

class SftpFolder;

// FileTransfer between the local file system and another machine, either way.
// The data goes in many requests under way at once (reads or writes of 32 KiB);
// on the remote side the temporary file is created exclusively with our name
// form and 0600, gets the source's permission bits and modification time,
// is flushed where the server offers it (fsync@openssh.com), and is renamed
// over the destination only when complete: a plain rename where nothing is
// there (it never replaces anything), posix-rename@openssh.com over an
// existing file. Right before that the way from the root is checked again
// for links and the destination for changes. On the local side the
// LocalFileTransfer's halves do the work.
class SftpFileTransfer final : public FileTransfer {
public:
    explicit SftpFileTransfer(bool sourceLocal) : sourceLocal_(sourceLocal) {}
    ~SftpFileTransfer() override;

    int openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) override;
    int createTemporary(const FolderHandle& folder, std::string_view name) override;
    int copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) override;
    int seal() override;
    int publish(const NodeInfo& expected, Trash* keepIn = nullptr, TrashedFile* kept = nullptr,
                std::string* reason = nullptr) override;
    void abandon() override;

    static constexpr uint32_t kBlock = 32 * 1024;
    static constexpr size_t kInFlight = 32;

protected:
    LocalFileTransfer* localDestination() override { return sourceLocal_ ? nullptr : local_.localDestination(); }
    int flushAlone() override;

private:
    int upload(uint64_t end);
    int download(uint64_t end);
    int remoteSourceUnchanged();
    void closeRemote(std::string& handle);

    bool sourceLocal_;
    LocalFileTransfer local_;     // the local half: source or destination
    const SftpFolder* remote_ = nullptr;  // the remote half's folder (held by remoteFolder_)
    FolderHandle remoteFolder_;
    std::string handle_;          // the remote file: source or temporary file
    std::string tempName_;        // the remote temporary file, while it exists
    NodeInfo sourceInfo_;
};

}  // namespace kirvo
