#include "platform/posix/own_temporary_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/temporary_name.h"

namespace kirvo {
namespace {

constexpr char kMarkerValue[] = "kirvo";
constexpr int kTries = 16;

bool NoXattrs(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

// Ours by the marker, or by the name alone where the file system keeps no attributes.
bool Marked(int fd) {
    char value[sizeof kMarkerValue] = {};
    const ssize_t n = fgetxattr(fd, OwnTemporaryFile::kMarker, value, sizeof value);
    if (n < 0) return NoXattrs(errno);
    return static_cast<size_t>(n) == sizeof kMarkerValue - 1 && std::memcmp(value, kMarkerValue, static_cast<size_t>(n)) == 0;
}

// The version an interrupted replace left under a temporary name: the
// exchange that put the copy in place parks the old file there for one look
// before removing the name. It is never marked, but when it was kept in the
// trash it has a second name there, so removing this one loses nothing.
bool ParkedSecondName(const struct stat& st) { return st.st_nlink >= 2; }

int OpenCandidate(int folderFd, const char* name) {
    return openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

uint64_t OwnTemporaryFile::RandomNumber() {
    uint64_t value = 0;
    if (getrandom(&value, sizeof value, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof value)) return value;
    // No entropy yet (early boot): time, process and a counter still never repeat within a run.
    static std::atomic<uint64_t> counter{0};
    const auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return (now * 6364136223846793005ull) ^ (static_cast<uint64_t>(getpid()) << 32) ^ counter.fetch_add(1);
}

namespace {

// Locks and marks a new temporary file; false (errno set) where attributes
// exist but ours cannot be set (a quota, say): unmarked, it would not be known
// as ours later.
bool LockAndMark(int fd) {
    // Locked before it is marked, so a marked file that is not locked is stale.
    flock(fd, LOCK_EX);
    return fsetxattr(fd, OwnTemporaryFile::kMarker, kMarkerValue, sizeof kMarkerValue - 1, 0) == 0 || NoXattrs(errno);
}

// An unnamed file, locked and marked before it gets its name, so no name of
// ours is ever seen without the marker (a run killed at any moment leaves
// nothing that could pass for the user's). -1 where the file system cannot.
int CreateUnnamed(int folderFd, const char* name, char* created, unsigned createdSize) {
#if defined(O_TMPFILE)
    const int fd = openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (!LockAndMark(fd)) {
        const int error = errno;
        close(fd);
        errno = error;
        return -2;
    }
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const std::string temp = TemporaryName::For(name, OwnTemporaryFile::RandomNumber());
        if (linkat(AT_FDCWD, self, folderFd, temp.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno == ENOENT && linkat(fd, "", folderFd, temp.c_str(), AT_EMPTY_PATH) == 0)) {
            std::snprintf(created, createdSize, "%s", temp.c_str());
            return fd;
        }
        if (errno != EEXIST) break;  // someone else's file: never touched, another name is drawn
    }
    close(fd);
#else
    (void)folderFd;
    (void)name;
    (void)created;
    (void)createdSize;
#endif
    return -1;
}

}  // namespace

int OwnTemporaryFile::Create(int folderFd, const char* name, char* created, unsigned createdSize) {
    const int unnamed = CreateUnnamed(folderFd, name, created, createdSize);
    if (unnamed >= 0) return unnamed;
    if (unnamed == -2) return -1;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const std::string temp = TemporaryName::For(name, RandomNumber());
        const int fd = openat(folderFd, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;  // someone else's file: never touched, another name is drawn
            return -1;
        }
        if (!LockAndMark(fd)) {
            const int error = errno;
            unlinkat(folderFd, temp.c_str(), 0);
            close(fd);
            errno = error;
            return -1;
        }
        std::snprintf(created, createdSize, "%s", temp.c_str());
        return fd;
    }
    errno = EEXIST;
    return -1;
}

void OwnTemporaryFile::Unmark(int fd) { fremovexattr(fd, kMarker); }

bool OwnTemporaryFile::IsOurs(int folderFd, const char* name) {
    if (!TemporaryName::HasOurForm(name)) return false;
    const int fd = OpenCandidate(folderFd, name);
    if (fd < 0) return false;
    struct stat st;
    const bool ours = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (Marked(fd) || ParkedSecondName(st));
    close(fd);
    return ours;
}

int OwnTemporaryFile::RemoveStale(int folderFd) {
    const int listFd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return 0;
    DIR* dir = fdopendir(listFd);
    if (dir == nullptr) {
        close(listFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* ent = readdir(dir)) {
        if ((ent->d_type != DT_REG && ent->d_type != DT_UNKNOWN) || !TemporaryName::HasOurForm(ent->d_name)) continue;
        const int fd = OpenCandidate(folderFd, ent->d_name);
        if (fd < 0) continue;
        struct stat st;
        // Not locked: the copy that made it is gone. The lock is held while we
        // remove it, so no copy can be using it.
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            (Marked(fd) ? flock(fd, LOCK_EX | LOCK_NB) == 0 : ParkedSecondName(st)) &&
            unlinkat(folderFd, ent->d_name, 0) == 0)
            ++removed;
        close(fd);
    }
    closedir(dir);
    return removed;
}

}  // namespace kirvo
