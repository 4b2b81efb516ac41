// Making local copies durable together, and reading a copy back from the disk.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/posix/local_file_transfer.h"

namespace kirvo {
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

int LocalFileTransfer::verify() {
    if (tempFd_ < 0) return EBADF;
    if (!contentHash_) return kNotSupportedThere;
    return readBack(*contentHash_);
}

int LocalFileTransfer::readBack(const ContentHash& expected) {
    if (tempFd_ < 0) return EBADF;
    // The data is on the disk (FlushSealed), so its pages in memory are clean
    // and can go: what is read now comes from the disk.
    posix_fadvise(tempFd_, 0, 0, POSIX_FADV_DONTNEED);
    ContentHasher read;
    std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(sourceInfo_.size + 1, 1u << 20)));
    uint64_t total = 0;
    while (true) {
        const ssize_t r = pread(tempFd_, buffer.data(), buffer.size(), static_cast<off_t>(total));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) break;
        read.Add(buffer.data(), static_cast<size_t>(r));
        total += static_cast<uint64_t>(r);
    }
    // What was read back need not stay in memory either.
    posix_fadvise(tempFd_, 0, 0, POSIX_FADV_DONTNEED);
    return total == static_cast<uint64_t>(offset_) && read.Finish() == expected ? 0 : kCopyDiffers;
}

}  // namespace kirvo
