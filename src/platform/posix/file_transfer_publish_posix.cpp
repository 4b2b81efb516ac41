// Finishing a local copy: its metadata, and putting it in place of its destination.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/local_file_transfer.h"
#include "platform/posix/metadata_copier.h"
#include "platform/posix/node_placement.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/posix/stat_node_info.h"

namespace kirvo {

std::function<void(const std::string&)> LocalFileTransfer::beforePlacing;

int LocalFileTransfer::seal() {
    if (tempFd_ < 0 || !folder_.valid()) return EBADF;
    if (sourceFd_ >= 0 && ownerKnown_)
        metadataNotKept_ = MetadataCopier::CopyToNew(sourceFd_, tempFd_, sourceStat_, madeOwner_, madeGroup_,
                                                     folderPassesAcl_);
    // Permission bits only: set-user/group-id bits are not carried to a copy.
    if (createdMode_ != sourceInfo_.permissions && fchmod(tempFd_, sourceInfo_.permissions) != 0) return errno;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(sourceInfo_.modifiedSeconds);
    times[1].tv_nsec = static_cast<long>(sourceInfo_.modifiedNanoseconds);
    if (futimens(tempFd_, times) != 0) return errno;
    if (sourceFd_ >= 0) close(sourceFd_);
    sourceFd_ = -1;
#if defined(__linux__)
    // A big file starts on its way to the disk now, while the next is copied;
    // FlushSealed then waits for what is left (the rename still comes after).
    // One that is flushed alone at once needs no head start (the call waits
    // while the disk's queue is full).
    if (offset_ >= kFlushedAlone)
        writingBack_ = true;
    else if (offset_ >= kWriteBackEarly)
        writingBack_ = sync_file_range(tempFd_, 0, 0, SYNC_FILE_RANGE_WRITE) == 0;
#endif
    return 0;
}

int LocalFileTransfer::publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason) {
    if (!folder_.valid() || tempFd_ < 0 || (tempName_.empty() && !unnamed_)) return EBADF;
    if (unnamed_) {
        if (expected.kind == NodeKind::Missing) {
            // Where nothing was there the copy just takes the name, and nothing
            // that appeared since is replaced.
            if (beforePlacing) beforePlacing(destinationName_);
            const int error = OwnTemporaryFile::Name(tempFd_, folder_.native(), destinationName_.c_str());
            if (error == EEXIST) return kDestinationChanged;
            if (error != 0) return error;
            unnamed_ = false;
            return placed();
        }
        // To trade places with the old file the copy needs a name of its own first.
        char temp[256];
        if (const int error =
                OwnTemporaryFile::NameTemporary(tempFd_, folder_.native(), destinationName_.c_str(), temp, sizeof temp))
            return error;
        tempName_ = temp;
        unnamed_ = false;
        marked_ = true;
    }
    struct stat ours;
    if (fstat(tempFd_, &ours) != 0) return errno;
    NodePlacement placement(folder_, tempName_, destinationName_, static_cast<uint64_t>(ours.st_dev),
                            static_cast<uint64_t>(ours.st_ino));
    if (const int error = placement.publish(expected, keepIn, kept, reason)) return error;
    return placed();
}

// The copy is in place: how it stands there, and what of its metadata the
// file system did not keep (it may take a call and keep something else:
// exFAT, vfat, NTFS without a permission mapping).
int LocalFileTransfer::placed() {
    tempName_.clear();
    if (marked_) OwnTemporaryFile::Unmark(tempFd_);
    marked_ = false;
    struct stat st;
    if (fstat(tempFd_, &st) == 0) {
        if (static_cast<unsigned>(st.st_mode & 0777) != sourceInfo_.permissions &&
            createdMode_ == sourceInfo_.permissions && fchmod(tempFd_, sourceInfo_.permissions) == 0)
            fstat(tempFd_, &st);  // the creation mask took more than it was taken to
        if (ownerKnown_ && (st.st_uid != sourceStat_.st_uid || st.st_gid != sourceStat_.st_gid) &&
            (metadataNotKept_ & (kMetadataOwner | kMetadataGroup)) == 0) {
            // Made with another group than expected (a file system that gives the folder's).
            if (fchown(tempFd_, sourceStat_.st_uid, sourceStat_.st_gid) != 0)
                fchown(tempFd_, static_cast<uid_t>(-1), sourceStat_.st_gid);
            fstat(tempFd_, &st);
        }
        DescribeStat(st, placed_);
        if (placed_.permissions != sourceInfo_.permissions) metadataNotKept_ |= kMetadataPermissions;
        if (placed_.modifiedSeconds != sourceInfo_.modifiedSeconds) metadataNotKept_ |= kMetadataTime;
        if (ownerKnown_ && st.st_uid != sourceStat_.st_uid) metadataNotKept_ |= kMetadataOwner;
        if (ownerKnown_ && st.st_gid != sourceStat_.st_gid) metadataNotKept_ |= kMetadataGroup;
    }
    // The data is durable already (FlushSealed): a late close error cannot undo the copy.
    close(tempFd_);
    tempFd_ = -1;
    return 0;
}

}  // namespace kirvo
