// Putting a finished local copy in place of its destination (NodePlacement).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/local_file_transfer.h"
#include "platform/posix/node_placement.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/posix/stat_node_info.h"

namespace kirvo {

std::function<void(const std::string&)> LocalFileTransfer::beforePlacing;

int LocalFileTransfer::publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason) {
    if (tempName_.empty() || !folder_.valid() || tempFd_ < 0) return EBADF;
    struct stat ours;
    if (fstat(tempFd_, &ours) != 0) return errno;
    NodePlacement placement(folder_, tempName_, destinationName_, static_cast<uint64_t>(ours.st_dev),
                            static_cast<uint64_t>(ours.st_ino));
    if (const int error = placement.publish(expected, keepIn, kept, reason)) return error;
    return placed();
}

int LocalFileTransfer::placed() {
    tempName_.clear();
    OwnTemporaryFile::Unmark(tempFd_);
    if (struct stat st; fstat(tempFd_, &st) == 0) DescribeStat(st, placed_);
    // The data is durable already (FlushSealed): a late close error cannot undo the copy.
    close(tempFd_);
    tempFd_ = -1;
    return 0;
}

}  // namespace kirvo
