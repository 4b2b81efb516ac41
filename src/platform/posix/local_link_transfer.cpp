#include "platform/posix/local_link_transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/link_text.h"
#include "platform/posix/node_placement.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/temporary_name.h"

namespace kirvo {

LocalLinkTransfer::~LocalLinkTransfer() { LocalLinkTransfer::abandon(); }

int LocalLinkTransfer::openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) {
    abandon();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) return kNotRegularFile;
    if (const int error = folder.openBeneath({}, sourceFolder_)) return error;
    sourceName_ = std::string(name);
    struct stat st;
    if (const int error = ReadLinkAt(sourceFolder_.native(), sourceName_.c_str(), text_, sourceInfo_, &st)) {
        abandon();
        return error;
    }
    ownerKnown_ = true;
    owner_ = st.st_uid;
    group_ = st.st_gid;
    info = sourceInfo_;
    offset_ = 0;
    metadataNotKept_ = 0;
    return 0;
}

void LocalLinkTransfer::receive(std::string text, const NodeInfo& source) {
    text_ = std::move(text);
    sourceInfo_ = source;
    ownerKnown_ = false;
    offset_ = 0;
    metadataNotKept_ = 0;
}

int LocalLinkTransfer::createTemporary(const FolderHandle& folder, std::string_view name) {
    if (folder_.valid()) return EBUSY;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) return EINVAL;
    if (const int error = folder.openBeneath({}, folder_)) return error;
    folder_.identify(folderDevice_, folderInode_);
    destinationName_ = std::string(name);
    return 0;
}

int LocalLinkTransfer::copySome(uint64_t /*maxBytes*/, uint64_t& copied, bool& finished) {
    copied = sourceInfo_.size;
    offset_ = static_cast<int64_t>(sourceInfo_.size);
    finished = true;
    return 0;
}

int LocalLinkTransfer::seal() {
    if (!sourceFolder_.valid()) return 0;  // the text came from elsewhere
    std::string now;
    NodeInfo info;
    const int error = ReadLinkAt(sourceFolder_.native(), sourceName_.c_str(), now, info);
    sourceFolder_ = FolderHandle();
    if (error == ENOENT || error == kNotRegularFile) return kSourceChanged;
    if (error != 0) return error;
    if (now != text_ || info.inode != sourceInfo_.inode || info.modifiedSeconds != sourceInfo_.modifiedSeconds ||
        info.modifiedNanoseconds != sourceInfo_.modifiedNanoseconds)
        return kSourceChanged;
    return 0;
}

// The link with the source's text, owner and time, under a temporary name of ours.
int LocalLinkTransfer::makeTemporaryLink() {
    const int folder = folder_.native();
    for (int attempt = 0; tempName_.empty(); ++attempt) {
        std::string temp = TemporaryName::For(destinationName_, OwnTemporaryFile::RandomNumber());
        if (symlinkat(text_.c_str(), folder, temp.c_str()) == 0) {
            tempName_ = std::move(temp);
        } else if (errno != EEXIST || attempt == 8) {
            return errno;
        }
    }
    struct stat st;
    if (ownerKnown_ && fstatat(folder, tempName_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        (st.st_uid != owner_ || st.st_gid != group_)) {
        // Root may give both; a user may give a group of theirs to a link of theirs.
        if (fchownat(folder, tempName_.c_str(), owner_, group_, AT_SYMLINK_NOFOLLOW) != 0)
            fchownat(folder, tempName_.c_str(), static_cast<uid_t>(-1), group_, AT_SYMLINK_NOFOLLOW);
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(sourceInfo_.modifiedSeconds);
    times[1].tv_nsec = static_cast<long>(sourceInfo_.modifiedNanoseconds);
    utimensat(folder, tempName_.c_str(), times, AT_SYMLINK_NOFOLLOW);
    // What was kept is read back: a file system may keep no time of a link.
    if (fstatat(folder, tempName_.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (st.st_mtim.tv_sec != sourceInfo_.modifiedSeconds) metadataNotKept_ |= kMetadataTime;
    if (ownerKnown_ && st.st_uid != owner_) metadataNotKept_ |= kMetadataOwner;
    if (ownerKnown_ && st.st_gid != group_) metadataNotKept_ |= kMetadataGroup;
    return 0;
}

int LocalLinkTransfer::publish(const NodeInfo& expected, Trash* keepIn, TrashedFile* kept, std::string* reason) {
    if (!folder_.valid()) return EBADF;
    if (const int error = makeTemporaryLink()) return error;
    struct stat ours;
    if (fstatat(folder_.native(), tempName_.c_str(), &ours, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    NodePlacement placement(folder_, tempName_, destinationName_, static_cast<uint64_t>(ours.st_dev),
                            static_cast<uint64_t>(ours.st_ino));
    if (const int error = placement.publish(expected, keepIn, kept, reason)) {
        removeTemporaryLink();  // made anew if it is tried again
        return error;
    }
    // A link has no data to flush first; its name is made durable here (an
    // error comes back with the batch's, FlushPublished: the link is in place).
    placedFlushError_ = fsync(folder_.native()) == 0 || errno == EINVAL ? 0 : errno;
    return 0;
}

void LocalLinkTransfer::removeTemporaryLink() {
    if (!tempName_.empty() && folder_.valid()) {
        // Only a link: anything else that stands under the name now is not ours.
        struct stat st;
        if (fstatat(folder_.native(), tempName_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            unlinkat(folder_.native(), tempName_.c_str(), 0);
    }
    tempName_.clear();
}

void LocalLinkTransfer::abandon() {
    removeTemporaryLink();
    folder_ = FolderHandle();
    sourceFolder_ = FolderHandle();
}

}  // namespace kirvo
