#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/file_node.h"
#include "platform/posix/mount_id.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/trash.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr size_t kNameMax = 255;
constexpr std::string_view kInfoSuffix = ".trashinfo";

#if defined(RENAME_NOREPLACE)
constexpr unsigned kNoReplace = RENAME_NOREPLACE;
#else
constexpr unsigned kNoReplace = 1;
#endif

std::string PathOf(int fd) {
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    std::string path(4096, '\0');
    const ssize_t n = readlink(link, path.data(), path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size() || path[0] != '/') return {};
    path.resize(static_cast<size_t>(n));
    return path;
}

std::string Joined(const std::string& folder, std::string_view name) {
    return folder == "/" ? "/" + std::string(name) : folder + "/" + std::string(name);
}

// Bytes as in URLs: unreserved characters and '/' stay, every other byte is %XX.
std::string Escaped(std::string_view path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '/' || b == '-' ||
            b == '_' || b == '.' || b == '!' || b == '~' || b == '*' || b == '\'' || b == '(' || b == ')') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
    }
    return out;
}

std::string Now() {
    const time_t now = time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// A trash folder of ours: a real folder (no link), owned by us, closed to others' writes.
bool Safe(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 022) == 0;
}

// Opens (creating when missing, mode 0700) the folder `name` in `parent`.
int OpenOwnFolder(int parent, const char* name, FolderHandle& out, std::string& why) {
    if (mkdirat(parent, name, 0700) != 0 && errno != EEXIST) {
        const int error = errno;
        why = SystemErrorText(error);
        return error;
    }
    const int fd = openat(parent, name, kFolderFlags);
    if (fd < 0) {
        const int error = errno;
        why = error == ELOOP || error == ENOTDIR ? Tr("ist eine Verknüpfung oder kein Ordner") : SystemErrorText(error);
        return error;
    }
    struct stat st;
    if (fstat(fd, &st) != 0 || !Safe(st)) {
        close(fd);
        why = Tr("gehört einem anderen Benutzer oder ist für andere beschreibbar");
        return EPERM;
    }
    out = FolderHandle::Adopt(fd);
    return 0;
}

bool Unusable(int error) {
    return error == EXDEV || error == EPERM || error == EMLINK || error == ENOTSUP || error == EOPNOTSUPP ||
           error == ENOSPC || error == EDQUOT || error == ENOSYS;
}

}  // namespace

struct Trash::Directory {
    uint64_t device = 0;  // the files it serves
    uint64_t mount = 0;
    int error = 0;        // kNoTrash, or 0 when usable
    std::string reason;
    std::string base;     // the trash folder's absolute path
    std::string topdir;   // "" for the home trash, whose records hold absolute paths
    FolderHandle files;
    FolderHandle info;
    bool used = false;
};

std::string Trash::HomeTrashPath() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/Trash";
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::string(home) + "/.local/share/Trash";
    return {};
}

Trash::Trash() = default;
Trash::~Trash() = default;

int Trash::check(const FolderHandle& folder, std::string& reason) {
    Directory* directory = nullptr;
    return find(folder, directory, reason);
}

bool Trash::Reaches(const FolderHandle& folder) { return folder.native() >= 0; }

int Trash::find(const FolderHandle& folder, Directory*& out, std::string& reason) {
    if (folder.valid() && !Reaches(folder)) {
        reason = std::string(kNoRemoteTrash);
        return kNoTrash;
    }
    struct stat st;
    if (!folder.valid() || fstat(folder.native(), &st) != 0) return folder.valid() ? errno : EBADF;
    const uint64_t mount = MountIdOf(folder.native());
    for (auto& d : directories_) {
        if (d->device == static_cast<uint64_t>(st.st_dev) && d->mount == mount) {
            out = d.get();
            reason = d->reason;
            return d->error;
        }
    }
    auto& d = *directories_.emplace_back(std::make_unique<Directory>());
    d.device = static_cast<uint64_t>(st.st_dev);
    d.mount = mount;
    out = &d;
    const auto fail = [&](std::string why) {
        d.error = kNoTrash;
        d.reason = std::move(why);
        reason = d.reason;
        return kNoTrash;
    };

    // The home trash, for files of the home's file system.
    if (const std::string trash = HomeTrashPath(); !trash.empty()) {
        struct stat ht;
        if (stat(trash.c_str(), &ht) != 0) {
            for (size_t slash = 1; slash != std::string::npos; slash = trash.find('/', slash + 1)) {
                mkdir(trash.substr(0, slash).c_str(), 0700);
            }
            mkdir(trash.c_str(), 0700);
        }
        const int fd = open(trash.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && fstat(fd, &ht) == 0 && ht.st_dev == st.st_dev && MountIdOf(fd) == mount) {
            std::string why;
            const int e1 = OpenOwnFolder(fd, "files", d.files, why);
            const int e2 = e1 != 0 ? e1 : OpenOwnFolder(fd, "info", d.info, why);
            close(fd);
            if (e2 != 0) return fail(Tr("Der Papierkorb „") + trash + Tr("“ ist nicht verwendbar: ") + why);
            d.base = trash;
            return 0;
        }
        if (fd >= 0) close(fd);
    }

    // Another file system: the top folder of its mount, found by walking up.
    int current = fcntl(folder.native(), F_DUPFD_CLOEXEC, 0);
    if (current < 0) return errno;
    struct stat cs = st;
    while (true) {
        const int parent = openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat ps;
        if (parent < 0) break;
        if (fstat(parent, &ps) != 0 || ps.st_dev != cs.st_dev || MountIdOf(parent) != mount ||
            (ps.st_ino == cs.st_ino)) {
            close(parent);
            break;
        }
        close(current);
        current = parent;
        cs = ps;
    }
    const std::string topdir = PathOf(current);
    if (topdir.empty()) {
        close(current);
        return fail(Tr("Der oberste Ordner des Dateisystems lässt sich nicht bestimmen"));
    }
    d.topdir = topdir;
    const std::string uid = std::to_string(geteuid());
    std::string why;
    // A shared "$topdir/.Trash" (sticky, no link) holds one folder per user.
    struct stat shared;
    if (fstatat(current, ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0) {
        const bool valid = S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX) != 0;
        const int sharedFd = valid ? openat(current, ".Trash", kFolderFlags) : -1;
        FolderHandle own;
        if (sharedFd >= 0 && OpenOwnFolder(sharedFd, uid.c_str(), own, why) == 0 &&
            OpenOwnFolder(own.native(), "files", d.files, why) == 0 &&
            OpenOwnFolder(own.native(), "info", d.info, why) == 0) {
            close(sharedFd);
            close(current);
            d.base = Joined(topdir, ".Trash/" + uid);
            return 0;
        }
        if (sharedFd >= 0) close(sharedFd);
        notices_.push_back(Tr("Der Papierkorb-Ordner „") + Joined(topdir, ".Trash") + Tr("“ wird nicht benutzt (") +
                           (S_ISLNK(shared.st_mode) ? std::string(Tr("eine Verknüpfung"))
                            : !valid                ? std::string(Tr("ohne Sticky-Bit"))
                                                    : why) +
                           Tr("); stattdessen „") + Joined(topdir, ".Trash-" + uid) + "“.");
    }
    FolderHandle own;
    const std::string name = ".Trash-" + uid;
    int error = OpenOwnFolder(current, name.c_str(), own, why);
    if (error == 0) error = OpenOwnFolder(own.native(), "files", d.files, why);
    if (error == 0) error = OpenOwnFolder(own.native(), "info", d.info, why);
    if (error != 0) {
        close(current);
        fail(Tr("Im Dateisystem unter „") + topdir + Tr("“ ist kein Papierkorb möglich („") + name + "“ " + why + ")");
        // Read-only: the file cannot be deleted either, which is an error of its own.
        if (error == EROFS) d.error = EROFS;
        return d.error;
    }
    close(current);
    d.base = Joined(topdir, name);
    return 0;
}

int Trash::move(const FolderHandle& folder, std::string_view name, TrashedFile& out, std::string& reason) {
    return put(folder, name, false, out, reason);
}

int Trash::keep(const FolderHandle& folder, std::string_view name, TrashedFile& out, std::string& reason) {
    return put(folder, name, true, out, reason);
}

int Trash::put(const FolderHandle& folder, std::string_view name, bool link, TrashedFile& out, std::string& reason) {
    Directory* d = nullptr;
    if (const int error = find(folder, d, reason)) return error;
    const std::string folderPath = PathOf(folder.native());
    if (folderPath.empty()) {
        reason = Tr("Der Ort der Datei lässt sich nicht bestimmen");
        return kNoTrash;
    }
    std::string original = Joined(folderPath, name);
    if (!d->topdir.empty()) {
        // Relative to the top folder, as the record of a "$topdir" trash wants it.
        const std::string prefix = d->topdir == "/" ? "/" : d->topdir + "/";
        if (original.compare(0, prefix.size(), prefix) == 0) original.erase(0, prefix.size());
    }
    const std::string record = "[Trash Info]\nPath=" + Escaped(original) + "\nDeletionDate=" + Now() + "\n";
    const std::string source(name);
    std::string base(name);
    const size_t room = kNameMax - kInfoSuffix.size() - 12;  // ".NNNNNNNNNNN" at most
    if (base.size() > room) base.resize(room);
    for (int attempt = 1; attempt < 10000; ++attempt) {
        std::string candidate = attempt == 1 ? base : base + "." + std::to_string(attempt);
        if (attempt > 100) candidate = base + "." + std::to_string(OwnTemporaryFile::RandomNumber() % 100000000000ull);
        const std::string infoName = candidate + std::string(kInfoSuffix);
        // The record first, claimed exclusively: it reserves the name.
        const int fd = openat(d->info.native(), infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            // A read-only file system holds the file too: it cannot be deleted either.
            const int error = errno;
            reason = Tr("Der Papierkorb „") + d->base + Tr("“ kann nicht beschrieben werden: ") + SystemErrorText(error);
            return error == EROFS ? EROFS : kNoTrash;
        }
        struct stat taken;
        if (fstatat(d->files.native(), candidate.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
            close(fd);
            unlinkat(d->info.native(), infoName.c_str(), 0);
            continue;
        }
        const bool written = write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size());
        const int writeError = written ? 0 : errno == 0 ? ENOSPC : errno;
        if (close(fd) != 0 || !written) {
            unlinkat(d->info.native(), infoName.c_str(), 0);
            reason = Tr("Der Papierkorb „") + d->base + Tr("“ kann nicht beschrieben werden: ") +
                     SystemErrorText(writeError != 0 ? writeError : EIO);
            return kNoTrash;
        }
        int rc;
        if (link) {
            rc = linkat(folder.native(), source.c_str(), d->files.native(), candidate.c_str(), 0);
        } else {
            rc = static_cast<int>(renameat2(folder.native(), source.c_str(), d->files.native(), candidate.c_str(), kNoReplace));
            if (rc != 0 && (errno == EINVAL || errno == ENOSYS))
                rc = renameat(folder.native(), source.c_str(), d->files.native(), candidate.c_str());
        }
        if (rc != 0) {
            const int error = errno;
            unlinkat(d->info.native(), infoName.c_str(), 0);
            if (error == EEXIST) continue;
            if (Unusable(error)) {
                reason = error == EXDEV ? Tr("Der Papierkorb „") + d->base + Tr("“ liegt auf einem anderen Dateisystem")
                         : link         ? Tr("Im Papierkorb „") + d->base + Tr("“ ist keine feste Verknüpfung möglich: ") +
                                      SystemErrorText(error)
                                        : Tr("Der Papierkorb „") + d->base + Tr("“ nimmt die Datei nicht: ") + SystemErrorText(error);
                return kNoTrash;
            }
            return error;
        }
        d->used = true;
        out.path = d->base + "/files/" + candidate;
        out.base = d->base;
        out.name = candidate;
        out.infoName = infoName;
        out.directory = 0;
        for (size_t i = 0; i < directories_.size(); ++i)
            if (directories_[i].get() == d) out.directory = i;
        return 0;
    }
    reason = Tr("Im Papierkorb „") + d->base + Tr("“ ist kein freier Name zu finden");
    return kNoTrash;
}

void Trash::withdraw(const TrashedFile& kept) {
    if (kept.directory >= directories_.size() || kept.name.empty()) return;
    Directory& d = *directories_[kept.directory];
    unlinkat(d.files.native(), kept.name.c_str(), 0);
    unlinkat(d.info.native(), kept.infoName.c_str(), 0);
}

void Trash::flush() {
    std::vector<uint64_t> done;
    for (auto& d : directories_) {
        if (!d->used || !d->info.valid()) continue;
        struct stat st;
        if (fstat(d->info.native(), &st) != 0) continue;
        bool seen = false;
        for (uint64_t dev : done) seen = seen || dev == static_cast<uint64_t>(st.st_dev);
        if (seen) continue;
        done.push_back(static_cast<uint64_t>(st.st_dev));
#if defined(__linux__)
        const int flushed = syncfs(d->info.native());
#else
        const int flushed = fsync(d->info.native());
#endif
        if (flushed != 0)
            notices_.push_back(Tr("Der Papierkorb „") + d->base + Tr("“ ließ sich nicht auf den Datenträger schreiben: ") +
                               SystemErrorText(errno));
        d->used = false;
    }
}

std::vector<std::string> Trash::takeNotices() {
    std::vector<std::string> notices = std::move(notices_);
    notices_.clear();
    return notices;
}

}  // namespace kirvo
