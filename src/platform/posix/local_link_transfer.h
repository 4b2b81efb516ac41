#pragma once
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/file_transfer.h"

namespace kirvo {

// FileTransfer of a link as a link ("Verknüpfungen" copy) between two local
// folders: the source link's text is read, and at the destination a link
// with the same text, owner (where permitted) and time is made under a
// temporary name and put in place by the same rules as a copied file (see
// NodePlacement). Nothing a link points to is ever opened. The link is made
// only when it is put in place, so no temporary link waits for the batch's
// flush. Its halves also serve a transfer to or from another machine.
class LocalLinkTransfer final : public FileTransfer {
public:
    LocalLinkTransfer() = default;
    ~LocalLinkTransfer() override;

    // The source must be a link (kNotRegularFile otherwise); info describes the link itself.
    int openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) override;
    int createTemporary(const FolderHandle& folder, std::string_view name) override;
    int copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) override;
    // The source link is looked at once more: kSourceChanged when it changed since it was read.
    int seal() override;
    int publish(const NodeInfo& expected, Trash* keepIn = nullptr, TrashedFile* kept = nullptr,
                std::string* reason = nullptr) override;
    void abandon() override;

    // Source half: the link's text and what it is.
    const std::string& text() const { return text_; }
    const NodeInfo& sourceInfo() const { return sourceInfo_; }
    // Destination half: the link to make comes from elsewhere.
    void receive(std::string text, const NodeInfo& source);

private:
    int makeTemporaryLink();
    void removeTemporaryLink();

    FolderHandle sourceFolder_;  // while the source is open
    std::string sourceName_;
    std::string text_;
    NodeInfo sourceInfo_;
    bool ownerKnown_ = false;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    FolderHandle folder_;  // the destination's folder
    std::string tempName_;  // set while a link of ours waits under it
};

}  // namespace kirvo
