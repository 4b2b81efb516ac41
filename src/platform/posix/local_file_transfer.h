#pragma once
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/content_hasher.h"
#include "platform/file_transfer.h"

namespace kirvo {

// FileTransfer between two local folders (see there): copy_file_range or a
// shared extent (reflink), holes kept, every piece of metadata the local
// systems keep. Its halves also serve a transfer to or from another machine:
// the source half reads a local file (readData, checkSource), the destination
// half writes a local temporary file from data that arrives (receive, writeData).
//
// Where the file system can, the copy is a file without a name until it is
// complete and on the disk, and then takes the destination's name at once
// (where nothing was there) or trades places with the old file under a
// temporary name of ours (see NodePlacement).
class LocalFileTransfer final : public FileTransfer {
public:
    LocalFileTransfer() = default;
    ~LocalFileTransfer() override;

    // Files from this size on are read ahead further and start their write-back when sealed.
    static constexpr int64_t kWriteBackEarly = 8 << 20;
    // Files from this size on are flushed on their own right after sealing
    // (a batch of their own, see CopyRun).
    static constexpr int64_t kFlushedAlone = 64 << 20;

    int openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) override;
    int createTemporary(const FolderHandle& folder, std::string_view name) override;
    int copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) override;
    int seal() override;
    bool flushesInBackground() const override { return writingBack_; }
    int publish(const NodeInfo& expected, Trash* keepIn = nullptr, TrashedFile* kept = nullptr,
                std::string* reason = nullptr) override;
    int verify() override;
    // Reads the flushed temporary file back from the disk (not from the
    // memory's cache of it) and compares it with `expected`, the hash of
    // what was written: 0, kCopyDiffers, or the system's error.
    int readBack(const ContentHash& expected);
    void abandon() override;

    // Source half: reads up to n bytes at offset (fewer at the end).
    int readData(uint64_t offset, size_t n, std::string& out) const;
    // Source half: kSourceChanged unless the source is still as opened and `copied` bytes long.
    int checkSource(uint64_t copied) const;
    // Destination half: the file's data and metadata come from elsewhere, as `source` describes them.
    void receive(const NodeInfo& source);
    int writeData(uint64_t offset, std::string_view data);
    void setWritten(uint64_t end) { offset_ = static_cast<int64_t>(end); }

    int tempFd() const { return tempFd_; }
    const FolderHandle& folder() const { return folder_; }

    // Writes a local file: while its temporary file is open, and after it was
    // placed (for the flush of its folder).
    LocalFileTransfer* localDestination() override { return folder_.valid() ? this : nullptr; }

    // Runs at the one moment where another program's save of the destination
    // would otherwise go unseen: after the old version was kept (where there
    // was one), right before the copy takes its place. Tests land such a save
    // there; empty otherwise.
    static std::function<void(const std::string& destinationName)> beforePlacing;

private:
    friend class FileTransfer;
    int finish(bool& finished);
    int nextData(uint64_t& skipped);
    int copyRange(uint64_t maxBytes, uint64_t& copied);
    int readSource(uint64_t maxBytes, ssize_t& r);
    int readThrough(uint64_t maxBytes, uint64_t& n);
    int hashClone(uint64_t maxBytes, uint64_t& n);
    int placed();
    bool tryClone();

    int sourceFd_ = -1;
    int tempFd_ = -1;
    bool writingBack_ = false;  // started by seal()
    FolderHandle folder_;    // the destination's folder, while a temporary file exists
    std::string tempName_;   // set while the temporary file has a name
    bool unnamed_ = false;   // the temporary file has no name yet
    bool marked_ = false;    // it carries our marker (to be taken off once in place)
    NodeInfo sourceInfo_;
    struct stat sourceStat_ {};  // as opened (local source only)
    bool ownerKnown_ = false;
    unsigned createdMode_ = 0;  // the permission bits the temporary file was made with; ~0u: not known
    uid_t madeOwner_ = 0;
    gid_t madeGroup_ = 0;
    bool folderPassesAcl_ = true;
    int64_t dataEnd_ = -1;   // end of the data run being copied; -1: look for the next one
    bool maybeSparse_ = true;  // the source may have holes (fewer blocks than bytes)
    bool plainCopy_ = false;
    bool triedClone_ = false;
    bool holes_ = false;     // a hole was skipped: the size is set at the end
    std::unique_ptr<ContentHasher> hasher_;  // while every byte so far went through it
    std::vector<char> buffer_;
};

}  // namespace kirvo
