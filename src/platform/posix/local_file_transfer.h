#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/file_transfer.h"

namespace kirvo {

// FileTransfer between two local folders (see there): copy_file_range or a
// shared extent (reflink), holes kept, every piece of metadata the local
// systems keep. Its halves also serve a transfer to or from another machine:
// the source half reads a local file (readData, checkSource), the destination
// half writes a local temporary file from data that arrives (receive, writeData).
class LocalFileTransfer final : public FileTransfer {
public:
    LocalFileTransfer() = default;
    ~LocalFileTransfer() override;

    int openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) override;
    int createTemporary(const FolderHandle& folder, std::string_view name) override;
    int copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) override;
    int seal() override;
    int publish(const NodeInfo& expected, Trash* keepIn = nullptr, TrashedFile* kept = nullptr,
                std::string* reason = nullptr) override;
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

    LocalFileTransfer* localDestination() override { return tempFd_ >= 0 ? this : nullptr; }

    // Runs at the one moment where another program's save of the destination
    // would otherwise go unseen: after the old version was kept (where there
    // was one), right before the copy takes its place. Tests land such a save
    // there; empty otherwise.
    static std::function<void(const std::string& destinationName)> beforePlacing;

private:
    friend class FileTransfer;
    int finish(bool& finished);
    int copyRange(uint64_t maxBytes, uint64_t& copied);
    int placed();

    int sourceFd_ = -1;
    int tempFd_ = -1;
    FolderHandle folder_;    // the destination's folder, while a temporary file exists
    std::string tempName_;   // set while the temporary file exists
    NodeInfo sourceInfo_;
    uint32_t sourceOwner_ = 0;
    uint32_t sourceGroup_ = 0;
    bool ownerKnown_ = false;
    int64_t sourceChangeSeconds_ = 0;  // status change time at open: any write moves it
    int64_t sourceChangeNanoseconds_ = 0;
    int64_t dataEnd_ = -1;   // end of the data run being copied; -1: look for the next one
    bool plainCopy_ = false;
    bool triedClone_ = false;
    bool holes_ = false;     // a hole was skipped: the size is set at the end
};

}  // namespace kirvo
