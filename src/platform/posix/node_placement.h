#pragma once
#include <cstdint>
#include <string>

#include "platform/file_node.h"
#include "platform/folder_handle.h"

namespace kirvo {

class Trash;
struct TrashedFile;

// Puts a finished node of ours (a copied file, a link made for a copied link)
// in place of its destination, with no moment at which the path holds neither
// the old node nor the new one, and never over a node other than the one that
// was looked at (another program may save there at any time). The node waits
// under its temporary name in the destination's folder; `ours` is its device
// and inode, to tell it from anything put under that name by someone else.
class NodePlacement {
public:
    NodePlacement(const FolderHandle& folder, std::string& tempName, const std::string& destination, uint64_t device,
                  uint64_t inode)
        : folder_(folder), tempName_(tempName), destination_(destination), device_(device), inode_(inode) {}

    // See FileTransfer::publish. On success the node is at the destination
    // and nothing is under the temporary name; otherwise the destination is
    // as it was, and tempName is cleared where what stands under it is not
    // ours (any more).
    int publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason);

private:
    int replaceLookedAt(const NodeInfo& expected);
    void putBack();

    const FolderHandle& folder_;
    std::string& tempName_;
    const std::string& destination_;
    uint64_t device_;
    uint64_t inode_;
};

}  // namespace kirvo
