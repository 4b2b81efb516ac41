#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/posix/link_guard.h"
#include "platform/posix/local_file_transfer.h"
#include "platform/posix/metadata_copier.h"
#include "platform/posix/own_temporary_file.h"

namespace kirvo {
namespace {

int CloseChecked(int& fd) {
    if (fd < 0) return 0;
    const int rc = close(fd);
    fd = -1;
    return rc == 0 || errno == EINTR ? 0 : errno;
}

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
    struct stat st;
    if (fstat(sourceFd_, &st) != 0) {
        error = errno;
        abandon();
        return error;
    }
    if (!S_ISREG(st.st_mode)) {
        abandon();
        return kNotRegularFile;
    }
    // O_NONBLOCK stays: it has no effect on a regular file.
    sourceInfo_.kind = NodeKind::File;
    sourceInfo_.size = static_cast<uint64_t>(st.st_size);
    sourceInfo_.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    sourceInfo_.modifiedNanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
    sourceInfo_.permissions = static_cast<uint32_t>(st.st_mode & 0777);
    ownerKnown_ = true;
    sourceOwner_ = static_cast<uint32_t>(st.st_uid);
    sourceGroup_ = static_cast<uint32_t>(st.st_gid);
    sourceChangeSeconds_ = static_cast<int64_t>(st.st_ctim.tv_sec);
    sourceChangeNanoseconds_ = static_cast<int64_t>(st.st_ctim.tv_nsec);
    info = sourceInfo_;
    offset_ = 0;
    dataEnd_ = -1;
    plainCopy_ = false;
    triedClone_ = false;
    cloned_ = false;
    holes_ = false;
    metadataNotKept_ = 0;
    return 0;
}

int LocalFileTransfer::createTemporary(const FolderHandle& folder, std::string_view name) {
    if (tempFd_ >= 0 || folder_.valid()) return EBUSY;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) return EINVAL;
    if (const int error = folder.openBeneath({}, folder_)) return error;
    char temp[256];
    tempFd_ = OwnTemporaryFile::Create(folder_.native(), std::string(name).c_str(), temp, sizeof temp);
    if (tempFd_ < 0) {
        const int error = errno;
        tempFd_ = -1;
        folder_ = FolderHandle();
        return error;
    }
    folder_.identify(folderDevice_, folderInode_);
    tempName_ = temp;
    destinationName_ = std::string(name);
    return 0;
}

int LocalFileTransfer::copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) {
    copied = 0;
    finished = false;
    if (sourceFd_ < 0 || tempFd_ < 0) return EBADF;
    const auto size = static_cast<int64_t>(sourceInfo_.size);
    if (!triedClone_) {
        triedClone_ = true;
        // The same data shared by both files where the file system can (btrfs, xfs):
        // instant, and holes stay holes.
        if (size > 0 && ioctl(tempFd_, FICLONE, sourceFd_) == 0) {
            cloned_ = true;
            offset_ = size;
            copied = sourceInfo_.size;
            return finish(finished);
        }
    }
    if (offset_ >= size) return finish(finished);
    if (dataEnd_ <= offset_) {
        // The next run of data; what lies before it is a hole and is not written.
        const off_t data = lseek(sourceFd_, offset_, SEEK_DATA);
        if (data < 0 && errno == ENXIO) {
            copied = static_cast<uint64_t>(size - offset_);
            offset_ = size;
            holes_ = true;
            return finish(finished);
        }
        if (data < 0) {
            dataEnd_ = size;  // no hole information: all of it is data
        } else {
            if (data > offset_) {
                copied = static_cast<uint64_t>(std::min<int64_t>(data, size) - offset_);
                offset_ = std::min<int64_t>(data, size);
                holes_ = true;
            }
            const off_t hole = lseek(sourceFd_, offset_, SEEK_HOLE);
            dataEnd_ = hole < 0 ? size : std::min<int64_t>(hole, size);
            if (dataEnd_ <= offset_) dataEnd_ = size;
        }
        if (copied > 0) return offset_ >= size ? finish(finished) : 0;
    }
    uint64_t n = 0;
    if (const int error = copyRange(std::min<uint64_t>(maxBytes, static_cast<uint64_t>(dataEnd_ - offset_)), n))
        return error;
    copied += n;
    if (n == 0 || offset_ >= size) return finish(finished);
    return 0;
}

// Copies up to maxBytes from offset_; n = 0 at the end of the source.
int LocalFileTransfer::copyRange(uint64_t maxBytes, uint64_t& n) {
    n = 0;
    if (!plainCopy_) {
        loff_t in = offset_;
        loff_t out = offset_;
        const ssize_t r = copy_file_range(sourceFd_, &in, tempFd_, &out, maxBytes, 0);
        if (r > 0) {
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
    std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(maxBytes, 1 << 20)));
    ssize_t r;
    do {
        r = pread(sourceFd_, buffer.data(), buffer.size(), offset_);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return errno;
    for (ssize_t written = 0; written < r;) {
        const ssize_t w = pwrite(tempFd_, buffer.data() + written, static_cast<size_t>(r - written), offset_ + written);
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

int LocalFileTransfer::checkSource(uint64_t copied) const {
    struct stat st;
    if (sourceFd_ < 0) return EBADF;
    if (fstat(sourceFd_, &st) != 0) return errno;
    if (static_cast<uint64_t>(st.st_size) != copied || st.st_mtim.tv_sec != sourceInfo_.modifiedSeconds ||
        static_cast<uint32_t>(st.st_mtim.tv_nsec) != sourceInfo_.modifiedNanoseconds ||
        st.st_ctim.tv_sec != sourceChangeSeconds_ || st.st_ctim.tv_nsec != sourceChangeNanoseconds_)
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
    finished = true;
    return 0;
}

int LocalFileTransfer::seal() {
    if (tempFd_ < 0 || !folder_.valid()) return EBADF;
    struct stat from {};
    from.st_mode = S_IFREG | sourceInfo_.permissions;
    from.st_uid = sourceOwner_;
    from.st_gid = sourceGroup_;
    metadataNotKept_ = sourceFd_ >= 0 && ownerKnown_ ? MetadataCopier::Copy(sourceFd_, tempFd_, from) : 0;
    // Permission bits only: set-user/group-id bits are not carried to a copy.
    if (fchmod(tempFd_, sourceInfo_.permissions) != 0) return errno;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(sourceInfo_.modifiedSeconds);
    times[1].tv_nsec = static_cast<long>(sourceInfo_.modifiedNanoseconds);
    if (futimens(tempFd_, times) != 0) return errno;
    struct stat kept;
    if (fstat(tempFd_, &kept) == 0) {
        if (static_cast<uint32_t>(kept.st_mode & 0777) != sourceInfo_.permissions) metadataNotKept_ |= kMetadataPermissions;
        if (kept.st_mtim.tv_sec != sourceInfo_.modifiedSeconds) metadataNotKept_ |= kMetadataTime;
    }
    CloseChecked(sourceFd_);
    return 0;
}

namespace {

// Runs flush once for each file system among the given folders.
template <class Flush>
void ForEachFileSystem(std::span<LocalFileTransfer* const> files, Flush flush) {
    std::vector<uint64_t> done;
    for (LocalFileTransfer* f : files) {
        if (std::find(done.begin(), done.end(), f->folderDevice()) != done.end()) continue;
        done.push_back(f->folderDevice());
        flush(*f);
    }
}

}  // namespace

void FileTransfer::FlushSealed(std::span<FileTransfer* const> sealed, std::vector<int>& errors) {
    errors.assign(sealed.size(), 0);
    // Local destinations share the flush; others flush on their own.
    std::vector<LocalFileTransfer*> local;
    std::vector<size_t> at;
    for (size_t i = 0; i < sealed.size(); ++i) {
        if (LocalFileTransfer* part = sealed[i]->localDestination()) {
            local.push_back(part);
            at.push_back(i);
        } else {
            errors[i] = sealed[i]->flushAlone();
        }
    }
#if defined(__linux__)
    bool shared = local.size() > 1;
#else
    bool shared = false;  // no syncfs: each file on its own
#endif
    if (shared) {
        // syncfs writes back everything dirty on the file system and reports a write-back
        // error seen there since the folder was opened; then each file is asked on its own.
#if defined(__linux__)
        ForEachFileSystem(local, [&](LocalFileTransfer& f) {
            if (syncfs(f.folder().native()) != 0) shared = false;
        });
#endif
    }
    if (shared) return;
    for (size_t k = 0; k < local.size(); ++k)
        errors[at[k]] = local[k]->tempFd() < 0 ? EBADF : fsync(local[k]->tempFd()) == 0 ? 0 : errno;
}

int FileTransfer::FlushPublished(std::span<FileTransfer* const> published) {
    int error = 0;
    // EINVAL: a file system that cannot flush a folder; nothing more to do there.
    const auto note = [&error](int result) {
        if (result != 0 && error == 0 && errno != EINVAL) error = errno;
    };
    std::vector<LocalFileTransfer*> local;
    for (FileTransfer* f : published) {
        if (f->placedFlushError_ != 0 && error == 0) error = f->placedFlushError_;
        if (LocalFileTransfer* part = f->localDestination(); part && part->folder().valid()) local.push_back(part);
    }
#if !defined(__linux__)
    for (LocalFileTransfer* f : local) note(fsync(f->folder().native()));
    return error;
#endif
    if (local.size() == 1) {
        note(fsync(local[0]->folder().native()));
        return error;
    }
    ForEachFileSystem(local, [&](LocalFileTransfer& f) { note(syncfs(f.folder().native())); });
    return error;
}

void LocalFileTransfer::abandon() {
    if (!tempName_.empty() && folder_.valid()) unlinkat(folder_.native(), tempName_.c_str(), 0);
    tempName_.clear();
    // Closed after the removal: until then the lock shows the file is in use.
    if (tempFd_ >= 0) close(tempFd_);
    tempFd_ = -1;
    folder_ = FolderHandle();
    if (sourceFd_ >= 0) close(sourceFd_);
    sourceFd_ = -1;
}

}  // namespace kirvo
