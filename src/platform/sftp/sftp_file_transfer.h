#pragma once
#include <memory>
#include <string>

#include "platform/content_hasher.h"
#include "platform/file_transfer.h"
#include "platform/posix/local_file_transfer.h"
#include "platform/sftp/sftp_upload.h"

namespace kirvo {

class SftpFolder;

// FileTransfer between the local file system and another machine, either way.
// The data goes in many requests under way at once, in a window that grows
// while the link takes more (see SftpUpload::kMaxWindow). On the remote side
// the temporary file is created exclusively with our name form and 0600, gets
// the source's permission bits and modification time, is flushed where the
// server offers it (fsync@openssh.com), and is renamed over the destination
// only when complete: a plain rename where nothing is there (it never
// replaces anything), posix-rename@openssh.com over an existing file. Right
// before that the way from the root is checked again for links and the
// destination for changes. On the local side the LocalFileTransfer's halves
// do the work.
//
// Towards the other machine nothing waits for the server before the shared
// flush: createTemporary, copySome and seal send their requests and return,
// so the files of a batch are under way together; an error of theirs comes
// back from FlushSealed (or from the next call). publishAhead starts the
// renames of a batch together in the same way.
class SftpFileTransfer final : public FileTransfer {
public:
    explicit SftpFileTransfer(bool sourceLocal) : sourceLocal_(sourceLocal) {}
    ~SftpFileTransfer() override;

    int openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) override;
    int createTemporary(const FolderHandle& folder, std::string_view name) override;
    int copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) override;
    int seal() override;
    void publishAhead(const NodeInfo& expected) override;
    int publish(const NodeInfo& expected, Trash* keepIn = nullptr, TrashedFile* kept = nullptr,
                std::string* reason = nullptr) override;
    int verify() override;
    bool flushesInBackground() const override { return sourceLocal_; }
    void abandon() override;

    struct Reads;  // shared with the replies' callbacks

protected:
    LocalFileTransfer* localDestination() override { return sourceLocal_ ? nullptr : local_.localDestination(); }
    int flushAlone() override;

private:
    struct Ahead;
    int upload(uint64_t end);
    int download(uint64_t end);
    void askAhead(uint64_t until);
    int remoteSourceUnchanged();
    void closeSource();

    bool sourceLocal_;
    LocalFileTransfer local_;     // the local half: source or destination
    const SftpFolder* remote_ = nullptr;  // the remote half's folder (held by remoteFolder_)
    FolderHandle remoteFolder_;
    std::string handle_;          // the remote source
    int lane_ = 0;                // the connection's lane of handle_
    std::unique_ptr<SftpUpload> upload_;  // the remote temporary file
    std::shared_ptr<Reads> reads_;        // the reads under way from the remote source
    std::shared_ptr<Ahead> ahead_;        // the placing started by publishAhead
    NodeInfo sourceInfo_;
    std::unique_ptr<ContentHasher> hasher_;  // what was copied, where copies are checked
};

}  // namespace kirvo
