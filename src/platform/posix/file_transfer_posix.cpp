#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/posix/link_guard.h"
#include "platform/posix/local_file_transfer.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/posix/posix_folder.h"
#include "platform/posix/process_identity.h"
#include "platform/posix/stat_node_info.h"

namespace kirvo {
namespace {

constexpr size_t kBufferBytes = 1u << 20;

// Pairs of file systems (source, destination) that cannot share extents:
// asked once, not for every file.
std::mutex noCloneLock;
std::vector<std::pair<uint64_t, uint64_t>> noClone;

bool NeverClones(int error) { return error == EOPNOTSUPP || error == ENOTTY || error == EXDEV || error == ENOSYS; }

}  // namespace

LocalFileTransfer::~LocalFileTransfer() { LocalFileTransfer::abandon(); }

int FileTransfer::RemoveStaleTemporaries(const FolderHandle& folder) {
    return folder.valid() ? folder.backend()->removeStaleTemporaries() : 0;
}

int LocalFileTransfer::openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) {
    abandon();
    if (name.empty() || name == "." || name == "..") return kNotRegularFile;
    // O_NONBLOCK: opening a fifo must not wait for a writer.
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks_ ? 0 : O_NOFOLLOW);
    int error = 0;
    sourceFd_ = LinkGuard::Open(folder.native(), std::string(name).c_str(), flags, error);
    if (sourceFd_ < 0) {
        sourceFd_ = -1;
        return error == ELOOP && !followLinks_ ? kNotRegularFile : error;
    }
    // The one look at the source: what is copied, what the copy takes over,
    // and what the check at the end compares with.
    if (fstat(sourceFd_, &sourceStat_) != 0) {
        error = errno;
        abandon();
        return error;
    }
    if (!S_ISREG(sourceStat_.st_mode)) {
        abandon();
        return kNotRegularFile;
    }
    // O_NONBLOCK stays: it has no effect on a regular file.
    DescribeStat(sourceStat_, sourceInfo_);
    ownerKnown_ = true;
    maybeSparse_ = static_cast<uint64_t>(sourceStat_.st_blocks) * 512 < sourceInfo_.size;
    info = sourceInfo_;
    offset_ = 0;
    dataEnd_ = -1;
    plainCopy_ = false;
    triedClone_ = false;
    cloned_ = false;
    holes_ = false;
    metadataNotKept_ = 0;
    contentHash_.reset();
    return 0;
}

int LocalFileTransfer::createTemporary(const FolderHandle& folder, std::string_view name) {
    if (tempFd_ >= 0 || folder_.valid()) return EBUSY;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) return EINVAL;
    if (folder.native() < 0) return EBADF;
    folder_ = folder.share();
    folder_.identify(folderDevice_, folderInode_);
    // What a file made here is given without asking: the owner and group it is
    // made with, and an ACL where the folder passes one on.
    madeOwner_ = ProcessIdentity::User();
    madeGroup_ = ProcessIdentity::Group();
    folderPassesAcl_ = true;
    if (const auto* posix = dynamic_cast<const PosixFolder*>(folder_.backend())) {
        gid_t group = 0;
        if (posix->passesGroupOn(group)) madeGroup_ = group;
        folderPassesAcl_ = posix->hasDefaultAcl();
    }
    const unsigned wanted = ownerKnown_ ? sourceInfo_.permissions : 0600;
    const unsigned mask = static_cast<unsigned>(ProcessIdentity::CreationMask());
    tempFd_ = OwnTemporaryFile::CreateUnnamed(folder_.native(), wanted);
    if (tempFd_ >= 0) {
        unnamed_ = true;
        createdMode_ = folderPassesAcl_ ? ~0u : (wanted & ~mask);
    } else {
        char temp[256];
        tempFd_ = OwnTemporaryFile::Create(folder_.native(), std::string(name).c_str(), temp, sizeof temp);
        if (tempFd_ < 0) {
            const int error = errno;
            tempFd_ = -1;
            folder_ = FolderHandle();
            return error;
        }
        tempName_ = temp;
        marked_ = true;
        createdMode_ = folderPassesAcl_ ? ~0u : (0600 & ~mask);
    }
    destinationName_ = std::string(name);
    return 0;
}

bool LocalFileTransfer::tryClone() {
    const std::pair<uint64_t, uint64_t> devices{sourceInfo_.device, folderDevice_};
    {
        std::lock_guard lock(noCloneLock);
        if (std::find(noClone.begin(), noClone.end(), devices) != noClone.end()) return false;
    }
    if (ioctl(tempFd_, FICLONE, sourceFd_) == 0) return true;
    if (NeverClones(errno)) {
        std::lock_guard lock(noCloneLock);
        if (std::find(noClone.begin(), noClone.end(), devices) == noClone.end()) noClone.push_back(devices);
    }
    return false;
}

int LocalFileTransfer::copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) {
    copied = 0;
    finished = false;
    if (sourceFd_ < 0 || tempFd_ < 0) return EBADF;
    const auto size = static_cast<int64_t>(sourceInfo_.size);
    if (!triedClone_) {
        triedClone_ = true;
        hasher_ = std::make_unique<ContentHasher>();
        // A big source is read ahead further (twice as far on Linux): a disk
        // that answers each request late otherwise waits between the pieces.
        if (size >= kWriteBackEarly) posix_fadvise(sourceFd_, 0, 0, POSIX_FADV_SEQUENTIAL);
        // The same data shared by both files where the file system can (btrfs, xfs):
        // instant, and holes stay holes. A copy to be checked then still reads its source.
        if (size > 0 && tryClone()) {
            cloned_ = true;
            if (!checkCopies_) {
                hasher_.reset();
                offset_ = size;
                copied = sourceInfo_.size;
                return finish(finished);
            }
        }
    }
    if (cloned_) {
        uint64_t n = 0;
        if (const int error = hashClone(maxBytes, n)) return error;
        copied = n;
        return n == 0 || offset_ >= size ? finish(finished) : 0;
    }
    if (offset_ >= size) return finish(finished);
    if (!maybeSparse_) {
        dataEnd_ = size;
    } else if (dataEnd_ <= offset_) {
        if (const int error = nextData(copied)) return error;
        if (copied > 0 || offset_ >= size) return offset_ >= size ? finish(finished) : 0;
    }
    uint64_t n = 0;
    if (const int error = copyRange(std::min<uint64_t>(maxBytes, static_cast<uint64_t>(dataEnd_ - offset_)), n))
        return error;
    copied += n;
    if (n == 0 || offset_ >= size) return finish(finished);
    return 0;
}

// Finds the next run of data from offset_; what lies before it is a hole and
// is not written (`skipped` bytes of it).
int LocalFileTransfer::nextData(uint64_t& skipped) {
    const auto size = static_cast<int64_t>(sourceInfo_.size);
    const off_t data = lseek(sourceFd_, offset_, SEEK_DATA);
    if (data < 0 && errno == ENXIO) {
        skipped = static_cast<uint64_t>(size - offset_);
        if (hasher_) hasher_->AddZeros(skipped);
        offset_ = size;
        holes_ = true;
        return 0;
    }
    if (data < 0) {
        dataEnd_ = size;  // no hole information: all of it is data
        return 0;
    }
    if (data > offset_) {
        skipped = static_cast<uint64_t>(std::min<int64_t>(data, size) - offset_);
        if (hasher_) hasher_->AddZeros(skipped);
        offset_ = std::min<int64_t>(data, size);
        holes_ = true;
    }
    const off_t hole = lseek(sourceFd_, offset_, SEEK_HOLE);
    dataEnd_ = hole < 0 ? size : std::min<int64_t>(hole, size);
    if (dataEnd_ <= offset_) dataEnd_ = size;
    return 0;
}

// Copies up to maxBytes from offset_; n = 0 at the end of the source.
int LocalFileTransfer::copyRange(uint64_t maxBytes, uint64_t& n) {
    n = 0;
    if (!plainCopy_ && !checkCopies_) {
        loff_t in = offset_;
        loff_t out = offset_;
        const ssize_t r = copy_file_range(sourceFd_, &in, tempFd_, &out, maxBytes, 0);
        if (r > 0) {
            hasher_.reset();  // these bytes never passed through here
            offset_ += r;
            n = static_cast<uint64_t>(r);
            return 0;
        }
        // 0 at the start of a file claiming a size: a file system that cannot
        // serve copy_file_range (e.g. a pseudo file); read it instead.
        if (r == 0 && !(offset_ == 0 && sourceInfo_.size > 0)) return 0;
        if (r < 0 && errno == EINTR) return 0;
        if (r < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
            errno != EBADF && errno != EPERM)
            return errno;
        plainCopy_ = true;
    }
    return readThrough(maxBytes, n);
}

// The next piece of the source into the buffer (at most maxBytes), hashed
// where the copy is hashed.
int LocalFileTransfer::readSource(uint64_t maxBytes, ssize_t& r) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(maxBytes, kBufferBytes));
    if (buffer_.size() < want) buffer_.resize(want);
    do {
        r = pread(sourceFd_, buffer_.data(), want, offset_);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return errno;
    if (hasher_) hasher_->Add(buffer_.data(), static_cast<size_t>(r));
    return 0;
}

// Copies through this process, hashing as the bytes pass.
int LocalFileTransfer::readThrough(uint64_t maxBytes, uint64_t& n) {
    n = 0;
    ssize_t r;
    if (const int error = readSource(maxBytes, r)) return error;
    for (ssize_t written = 0; written < r;) {
        const ssize_t w = pwrite(tempFd_, buffer_.data() + written, static_cast<size_t>(r - written), offset_ + written);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += w;
    }
    offset_ += r;
    n = static_cast<uint64_t>(r);
    return 0;
}

// A copy made by sharing extents, to be checked: its source is read and hashed.
int LocalFileTransfer::hashClone(uint64_t maxBytes, uint64_t& n) {
    n = 0;
    ssize_t r;
    if (const int error = readSource(maxBytes, r)) return error;
    offset_ += r;
    n = static_cast<uint64_t>(r);
    return 0;
}

int LocalFileTransfer::checkSource(uint64_t copied) const {
    struct stat st;
    if (sourceFd_ < 0) return EBADF;
    if (fstat(sourceFd_, &st) != 0) return errno;
    if (static_cast<uint64_t>(st.st_size) != copied || st.st_mtim.tv_sec != sourceStat_.st_mtim.tv_sec ||
        st.st_mtim.tv_nsec != sourceStat_.st_mtim.tv_nsec || st.st_ctim.tv_sec != sourceStat_.st_ctim.tv_sec ||
        st.st_ctim.tv_nsec != sourceStat_.st_ctim.tv_nsec)
        return kSourceChanged;
    return 0;
}

int LocalFileTransfer::readData(uint64_t offset, size_t n, std::string& out) const {
    out.resize(n);
    ssize_t r;
    do {
        r = pread(sourceFd_, out.data(), n, static_cast<off_t>(offset));
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        out.clear();
        return errno;
    }
    out.resize(static_cast<size_t>(r));
    return 0;
}

void LocalFileTransfer::receive(const NodeInfo& source) {
    sourceInfo_ = source;
    ownerKnown_ = false;
    offset_ = 0;
    metadataNotKept_ = 0;
    contentHash_.reset();
}

int LocalFileTransfer::writeData(uint64_t offset, std::string_view data) {
    for (size_t written = 0; written < data.size();) {
        const ssize_t w = pwrite(tempFd_, data.data() + written, data.size() - written,
                                 static_cast<off_t>(offset + written));
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += static_cast<size_t>(w);
    }
    return 0;
}

int LocalFileTransfer::finish(bool& finished) {
    // A source written to while it was copied would leave a mixed copy that carries
    // the old time and so looks equal to the source afterwards: refuse it. The
    // status change time catches writes whose modification time was set back, and
    // a source deleted or replaced meanwhile (the conservative choice: keep the
    // destination as it was).
    if (const int error = checkSource(static_cast<uint64_t>(offset_))) return error;
    // A hole at the end is no data to write: the size says it.
    if (holes_ && ftruncate(tempFd_, offset_) != 0) return errno;
    if (hasher_) contentHash_ = hasher_->Finish();
    hasher_.reset();
    finished = true;
    return 0;
}

void LocalFileTransfer::abandon() {
    if (!tempName_.empty() && folder_.valid()) unlinkat(folder_.native(), tempName_.c_str(), 0);
    tempName_.clear();
    unnamed_ = false;
    marked_ = false;
    // Closed after the removal: until then the lock shows the file is in use.
    if (tempFd_ >= 0) close(tempFd_);
    tempFd_ = -1;
    folder_ = FolderHandle();
    if (sourceFd_ >= 0) close(sourceFd_);
    sourceFd_ = -1;
    hasher_.reset();
}

}  // namespace kirvo
