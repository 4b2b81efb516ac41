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

bool CanName() {
    // Naming by the descriptor: through /proc, or as root without it.
    static const bool can = access("/proc/self/fd", X_OK) == 0 || geteuid() == 0;
    return can;
}

}  // namespace

int OwnTemporaryFile::CreateUnnamed(int folderFd, unsigned mode) {
#if defined(O_TMPFILE)
    if (!CanName()) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return openat(folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode & 0777));
#else
    (void)folderFd;
    (void)mode;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

int OwnTemporaryFile::Name(int fd, int folderFd, const char* name) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (linkat(AT_FDCWD, self, folderFd, name, AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != ENOENT) return errno;
#if defined(AT_EMPTY_PATH)
    if (linkat(fd, "", folderFd, name, AT_EMPTY_PATH) == 0) return 0;
#endif
    return errno;
}

namespace {

// Gives a locked and marked unnamed file a temporary name for `name`.
int NameMarked(int fd, int folderFd, const char* name, char* created, unsigned createdSize) {
    for (int attempt = 0; attempt < kTries; ++attempt) {
        const std::string temp = TemporaryName::For(name, OwnTemporaryFile::RandomNumber());
        const int error = OwnTemporaryFile::Name(fd, folderFd, temp.c_str());
        if (error == 0) {
            std::snprintf(created, createdSize, "%s", temp.c_str());
            return 0;
        }
        if (error != EEXIST) return error;  // someone else's file: never touched, another name is drawn
    }
    return EEXIST;
}

}  // namespace

int OwnTemporaryFile::NameTemporary(int fd, int folderFd, const char* name, char* created, unsigned createdSize) {
    // Locked and marked before it gets its name, so no name of ours is ever
    // seen without the marker (a run killed at any moment leaves nothing that
    // could pass for the user's).
    if (!LockAndMark(fd)) {
        // A file without write permission for its owner takes no attribute
        // from an ordinary user: writable for the moment of marking.
        if (errno != EACCES && errno != EPERM) return errno;
        struct stat st;
        if (fstat(fd, &st) != 0 || fchmod(fd, (st.st_mode & 07777) | S_IWUSR) != 0) return errno;
        const bool marked = LockAndMark(fd);
        const int error = errno;
        fchmod(fd, st.st_mode & 07777);
        if (!marked) return error;
    }
    return NameMarked(fd, folderFd, name, created, createdSize);
}

int OwnTemporaryFile::Create(int folderFd, const char* name, char* created, unsigned createdSize) {
    const int unnamed = CreateUnnamed(folderFd, 0600);
    if (unnamed >= 0) {
        if (!LockAndMark(unnamed)) {
            const int error = errno;
            close(unnamed);
            errno = error;
            return -1;
        }
        if (NameMarked(unnamed, folderFd, name, created, createdSize) == 0) return unnamed;
        close(unnamed);  // no name by the descriptor here: a named file instead
    }
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
