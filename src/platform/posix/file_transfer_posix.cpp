#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/file_transfer.h"

namespace kirvo {
namespace {

constexpr std::string_view kTempSuffix = ".kirvo-tmp";
constexpr size_t kNameMax = 255;  // bytes per name on the usual Linux file systems

int CloseChecked(int& fd) {
    if (fd < 0) return 0;
    const int rc = close(fd);
    fd = -1;
    return rc == 0 || errno == EINTR ? 0 : errno;
}

}  // namespace

FileTransfer::~FileTransfer() { abandon(); }

std::string FileTransfer::TemporaryName(std::string_view name) {
    std::string temp = ".";
    if (1 + name.size() + kTempSuffix.size() <= kNameMax) {
        temp.append(name);
    } else {
        uint64_t hash = 1469598103934665603ull;  // FNV-1a: the same name gives the same temporary name
        for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
        char hex[18];
        std::snprintf(hex, sizeof hex, "~%016llx", static_cast<unsigned long long>(hash));
        temp.append(name.substr(0, kNameMax - 1 - 17 - kTempSuffix.size()));
        temp.append(hex);
    }
    temp.append(kTempSuffix);
    return temp;
}

bool FileTransfer::IsTemporaryName(std::string_view name) {
    return name.size() > 1 + kTempSuffix.size() && name[0] == '.' &&
           name.substr(name.size() - kTempSuffix.size()) == kTempSuffix;
}

int FileTransfer::openSource(const FolderHandle& folder, std::string_view name, NodeInfo& info) {
    abandon();
    if (name.empty() || name == "." || name == "..") return kNotRegularFile;
    // O_NONBLOCK: opening a fifo must not wait for a writer.
    sourceFd_ = openat(folder.native(), std::string(name).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (sourceFd_ < 0) {
        sourceFd_ = -1;
        return errno;
    }
    struct stat st;
    if (fstat(sourceFd_, &st) != 0) {
        const int error = errno;
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
    sourceChangeSeconds_ = static_cast<int64_t>(st.st_ctim.tv_sec);
    sourceChangeNanoseconds_ = static_cast<int64_t>(st.st_ctim.tv_nsec);
    info = sourceInfo_;
    offset_ = 0;
    plainCopy_ = false;
    return 0;
}

int FileTransfer::createTemporary(const FolderHandle& folder, std::string_view name) {
    if (tempFd_ >= 0 || folderFd_ >= 0) return EBUSY;
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos) return EINVAL;
    const std::string temp = TemporaryName(name);
    folderFd_ = fcntl(folder.native(), F_DUPFD_CLOEXEC, 0);
    if (folderFd_ < 0) return errno;
    constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    tempFd_ = openat(folderFd_, temp.c_str(), kCreate, 0600);
    // A stale temporary file of an interrupted run goes first; unlinkat never follows a link.
    if (tempFd_ < 0 && errno == EEXIST && unlinkat(folderFd_, temp.c_str(), 0) == 0)
        tempFd_ = openat(folderFd_, temp.c_str(), kCreate, 0600);
    if (tempFd_ < 0) {
        const int error = errno;
        tempFd_ = -1;
        CloseChecked(folderFd_);
        return error;
    }
    struct stat st;
    if (fstat(folderFd_, &st) == 0) {
        folderDevice_ = static_cast<uint64_t>(st.st_dev);
        folderInode_ = static_cast<uint64_t>(st.st_ino);
    }
    tempName_ = temp;
    destinationName_ = std::string(name);
    return 0;
}

int FileTransfer::copySome(uint64_t maxBytes, uint64_t& copied, bool& finished) {
    copied = 0;
    finished = false;
    if (sourceFd_ < 0 || tempFd_ < 0) return EBADF;
    if (!plainCopy_) {
        loff_t in = offset_;
        loff_t out = offset_;
        const ssize_t n = copy_file_range(sourceFd_, &in, tempFd_, &out, maxBytes, 0);
        if (n > 0) {
            offset_ += n;
            copied = static_cast<uint64_t>(n);
            // At the size the file had: finish checks that it has not grown since.
            return static_cast<uint64_t>(offset_) >= sourceInfo_.size ? finish(finished) : 0;
        }
        // 0 at the start of a file claiming a size: a file system that cannot
        // serve copy_file_range (e.g. a pseudo file); read it instead.
        if (n == 0 && !(offset_ == 0 && sourceInfo_.size > 0)) return finish(finished);
        if (n < 0 && errno == EINTR) return 0;
        if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
            errno != EBADF && errno != EPERM)
            return errno;
        plainCopy_ = true;
    }
    std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(maxBytes, 1 << 20)));
    ssize_t n;
    do {
        n = pread(sourceFd_, buffer.data(), buffer.size(), offset_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno;
    if (n == 0) return finish(finished);
    for (ssize_t written = 0; written < n;) {
        const ssize_t w = pwrite(tempFd_, buffer.data() + written, static_cast<size_t>(n - written),
                                 offset_ + written);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += w;
    }
    offset_ += n;
    copied = static_cast<uint64_t>(n);
    return 0;
}

int FileTransfer::finish(bool& finished) {
    // A source written to while it was copied would leave a mixed copy that carries
    // the old time and so looks equal to the source afterwards: refuse it. The
    // status change time catches writes whose modification time was set back, and
    // a source deleted or replaced meanwhile (the conservative choice: keep the
    // destination as it was).
    struct stat st;
    if (fstat(sourceFd_, &st) != 0) return errno;
    if (static_cast<uint64_t>(st.st_size) != static_cast<uint64_t>(offset_) ||
        st.st_mtim.tv_sec != sourceInfo_.modifiedSeconds ||
        static_cast<uint32_t>(st.st_mtim.tv_nsec) != sourceInfo_.modifiedNanoseconds ||
        st.st_ctim.tv_sec != sourceChangeSeconds_ || st.st_ctim.tv_nsec != sourceChangeNanoseconds_)
        return kSourceChanged;
    finished = true;
    return 0;
}

int FileTransfer::commit() {
    if (const int error = seal()) return error;
    FileTransfer* self = this;
    std::vector<int> errors;
    FlushSealed(std::span<FileTransfer* const>(&self, 1), errors);
    if (errors[0] != 0) return errors[0];
    if (const int error = publish()) return error;
    FlushPublished(std::span<FileTransfer* const>(&self, 1));
    abandon();  // nothing left to remove: closes the folder
    return 0;
}

int FileTransfer::seal() {
    if (tempFd_ < 0 || folderFd_ < 0) return EBADF;
    // Permission bits only: set-user/group-id bits are not carried to a copy.
    if (fchmod(tempFd_, sourceInfo_.permissions) != 0) return errno;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_NOW;
    times[1].tv_sec = static_cast<time_t>(sourceInfo_.modifiedSeconds);
    times[1].tv_nsec = static_cast<long>(sourceInfo_.modifiedNanoseconds);
    if (futimens(tempFd_, times) != 0) return errno;
    CloseChecked(sourceFd_);
    return 0;
}

namespace {

// Runs flush once for each file system among the given folders.
template <class Flush>
void ForEachFileSystem(std::span<FileTransfer* const> files, Flush flush) {
    std::vector<uint64_t> done;
    for (FileTransfer* f : files) {
        if (std::find(done.begin(), done.end(), f->folderDevice()) != done.end()) continue;
        done.push_back(f->folderDevice());
        flush(*f);
    }
}

}  // namespace

void FileTransfer::FlushSealed(std::span<FileTransfer* const> sealed, std::vector<int>& errors) {
    errors.assign(sealed.size(), 0);
#if defined(__linux__)
    bool shared = sealed.size() > 1;
#else
    bool shared = false;  // no syncfs: each file on its own
#endif
    if (shared) {
        // syncfs writes back everything dirty on the file system and reports a write-back
        // error seen there since the folder was opened; then each file is asked on its own.
#if defined(__linux__)
        ForEachFileSystem(sealed, [&](FileTransfer& f) {
            if (syncfs(f.folderFd_) != 0) shared = false;
        });
#endif
    }
    if (shared) return;
    for (size_t i = 0; i < sealed.size(); ++i) {
        FileTransfer& f = *sealed[i];
        errors[i] = f.tempFd_ < 0 ? EBADF : fsync(f.tempFd_) == 0 ? 0 : errno;
    }
}

int FileTransfer::publish() {
    if (tempName_.empty() || folderFd_ < 0 || tempFd_ < 0) return EBADF;
    if (const int error = CloseChecked(tempFd_)) return error;
    // renameat replaces a link at the destination by the file; it never writes through it.
    if (renameat(folderFd_, tempName_.c_str(), folderFd_, destinationName_.c_str()) != 0) return errno;
    tempName_.clear();
    return 0;
}

void FileTransfer::FlushPublished(std::span<FileTransfer* const> published) {
#if !defined(__linux__)
    for (FileTransfer* f : published)
        if (f->folderFd_ >= 0) fsync(f->folderFd_);
    return;
#endif
    if (published.size() == 1) {
        if (published[0]->folderFd_ >= 0) fsync(published[0]->folderFd_);
        return;
    }
    ForEachFileSystem(published, [](FileTransfer& f) {
        if (f.folderFd_ >= 0) syncfs(f.folderFd_);
    });
}

void FileTransfer::abandon() {
    if (tempFd_ >= 0) close(tempFd_);
    tempFd_ = -1;
    if (!tempName_.empty() && folderFd_ >= 0) unlinkat(folderFd_, tempName_.c_str(), 0);
    tempName_.clear();
    if (folderFd_ >= 0) close(folderFd_);
    folderFd_ = -1;
    if (sourceFd_ >= 0) close(sourceFd_);
    sourceFd_ = -1;
}

}  // namespace kirvo
