// A file system for the tests: shows a folder (read-only unless --rw), and
// fails where it is told to, as a worn disk or a flaky share would: the
// listing of a folder breaks off with EIO after some names (getdents64 fails),
// and inspecting a path fails with EIO (fstatat fails). With --rw it can be
// written to (what is made belongs to the user who made it), and then
// flushing a file (fsync) or setting its permissions (chmod) fails with EIO
// where --fail= says so; with --corrupt-written the bytes of a file written
// through it read back changed, as from a card that keeps other data than it
// was given, and with --eio-written they cannot be read back at all.
// Usage: kirvo-faulty-fs ORDNER EINHÄNGEPUNKT [--cut=/ORDNER:N]... [--eio=/PFAD]...
//        [--rw [--fail=fsync|chmod]... [--corrupt-written|--eio-written]]
// Runs in the foreground; ends (and unmounts) on SIGTERM.
#define FUSE_USE_VERSION 35
#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string backing;
std::map<std::string, long> cuts;  // folder -> names listed before the error
std::set<std::string> failing;     // paths whose inspection fails
std::set<std::string> failingCalls;  // "fsync", "chmod": fail everywhere
bool writable = false;
bool corruptWritten = false;
bool failWritten = false;
std::set<ino_t> written;  // backing files written through the mount (the server runs single-threaded)

ino_t InodeOf(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 ? st.st_ino : 0;
}

// What is made through the mount belongs to the user who made it.
void GiveToCaller(const std::string& real) {
    const fuse_context* caller = fuse_get_context();
    [[maybe_unused]] const int ignored = lchown(real.c_str(), caller->uid, caller->gid);
}

std::string Real(const char* path) { return backing + path; }

struct Folder {
    std::vector<std::pair<std::string, unsigned char>> names;  // without "." and ".."
    long cut = -1;
};

void* Init(fuse_conn_info* conn, fuse_config* cfg) {
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    conn->want &= ~FUSE_CAP_READDIRPLUS;
    return nullptr;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
    if (failing.count(path) != 0) return -EIO;
    return lstat(Real(path).c_str(), st) == 0 ? 0 : -errno;
}

int ReadLink(const char* path, char* buffer, size_t size) {
    const ssize_t n = readlink(Real(path).c_str(), buffer, size - 1);
    if (n < 0) return -errno;
    buffer[n] = '\0';
    return 0;
}

int OpenDir(const char* path, fuse_file_info* fi) {
    DIR* dir = opendir(Real(path).c_str());
    if (dir == nullptr) return -errno;
    auto* folder = new Folder;
    while (const dirent* ent = readdir(dir)) {
        if (std::strcmp(ent->d_name, ".") != 0 && std::strcmp(ent->d_name, "..") != 0)
            folder->names.emplace_back(ent->d_name, ent->d_type);
    }
    closedir(dir);
    if (const auto cut = cuts.find(path); cut != cuts.end()) folder->cut = cut->second;
    fi->fh = reinterpret_cast<uint64_t>(folder);
    return 0;
}

// Offsets are name numbers + 1: the kernel asks again from where it stopped,
// and a request that starts at the cut fails.
int ReadDir(const char*, void* buffer, fuse_fill_dir_t fill, off_t offset, fuse_file_info* fi, fuse_readdir_flags) {
    const auto* folder = reinterpret_cast<const Folder*>(fi->fh);
    for (auto i = static_cast<size_t>(offset); i < folder->names.size(); ++i) {
        if (folder->cut >= 0 && static_cast<long>(i) >= folder->cut) return i == static_cast<size_t>(offset) ? -EIO : 0;
        struct stat st {};
        st.st_mode = static_cast<mode_t>(DTTOIF(folder->names[i].second));
        if (fill(buffer, folder->names[i].first.c_str(), &st, static_cast<off_t>(i + 1), static_cast<fuse_fill_dir_flags>(0)) != 0)
            return 0;
    }
    return 0;
}

int ReleaseDir(const char*, fuse_file_info* fi) {
    delete reinterpret_cast<Folder*>(fi->fh);
    return 0;
}

int Open(const char* path, fuse_file_info* fi) {
    if ((fi->flags & O_ACCMODE) != O_RDONLY && !writable) return -EROFS;
    if (failing.count(path) != 0) return -EIO;
    const int fd = open(Real(path).c_str(), fi->flags & (O_ACCMODE | O_TRUNC | O_APPEND));
    if (fd < 0) return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
    const ssize_t n = pread(static_cast<int>(fi->fh), buffer, size, offset);
    if (n < 0) return -errno;
    const bool wasWritten = (corruptWritten || failWritten) && written.count(InodeOf(static_cast<int>(fi->fh))) != 0;
    if (wasWritten && failWritten) return -EIO;
    if (n > 0 && wasWritten) buffer[0] ^= 0x20;
    return static_cast<int>(n);
}

int Create(const char* path, mode_t mode, fuse_file_info* fi) {
    if (!writable) return -EROFS;
    const int fd = open(Real(path).c_str(), (fi->flags & ~O_NOFOLLOW) | O_CREAT | O_NOFOLLOW, mode);
    if (fd < 0) return -errno;
    GiveToCaller(Real(path));
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
    const ssize_t n = pwrite(static_cast<int>(fi->fh), buffer, size, offset);
    if (n < 0) return -errno;
    written.insert(InodeOf(static_cast<int>(fi->fh)));
    return static_cast<int>(n);
}

int Truncate(const char* path, off_t size, fuse_file_info* fi) {
    const int rc = fi ? ftruncate(static_cast<int>(fi->fh), size) : truncate(Real(path).c_str(), size);
    return rc == 0 ? 0 : -errno;
}

int Chmod(const char* path, mode_t mode, fuse_file_info* fi) {
    if (failingCalls.count("chmod") != 0) return -EIO;
    const int rc = fi ? fchmod(static_cast<int>(fi->fh), mode) : chmod(Real(path).c_str(), mode);
    return rc == 0 ? 0 : -errno;
}

int Chown(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi) {
    const int rc = fi ? fchown(static_cast<int>(fi->fh), uid, gid) : lchown(Real(path).c_str(), uid, gid);
    return rc == 0 ? 0 : -errno;
}

int Utimens(const char* path, const struct timespec times[2], fuse_file_info* fi) {
    const int rc = fi ? futimens(static_cast<int>(fi->fh), times)
                      : utimensat(AT_FDCWD, Real(path).c_str(), times, AT_SYMLINK_NOFOLLOW);
    return rc == 0 ? 0 : -errno;
}

int Rename(const char* from, const char* to, unsigned flags) {
    return renameat2(AT_FDCWD, Real(from).c_str(), AT_FDCWD, Real(to).c_str(), flags) == 0 ? 0 : -errno;
}

int Link(const char* from, const char* to) { return link(Real(from).c_str(), Real(to).c_str()) == 0 ? 0 : -errno; }
int Unlink(const char* path) { return unlink(Real(path).c_str()) == 0 ? 0 : -errno; }
int Rmdir(const char* path) { return rmdir(Real(path).c_str()) == 0 ? 0 : -errno; }

int Symlink(const char* text, const char* path) {
    if (symlink(text, Real(path).c_str()) != 0) return -errno;
    GiveToCaller(Real(path));
    return 0;
}

int Mkdir(const char* path, mode_t mode) {
    if (mkdir(Real(path).c_str(), mode) != 0) return -errno;
    GiveToCaller(Real(path));
    return 0;
}

int Fsync(const char*, int, fuse_file_info* fi) {
    if (failingCalls.count("fsync") != 0) return -EIO;
    return fsync(static_cast<int>(fi->fh)) == 0 ? 0 : -errno;
}

int Release(const char*, fuse_file_info* fi) {
    close(static_cast<int>(fi->fh));
    return 0;
}

int StatFs(const char*, struct statvfs* st) { return statvfs(backing.c_str(), st) == 0 ? 0 : -errno; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Aufruf: kirvo-faulty-fs ORDNER EINHÄNGEPUNKT [--cut=/ORDNER:N]... [--eio=/PFAD]... "
                             "[--rw [--fail=fsync|chmod]... [--corrupt-written|--eio-written]]\n");
        return 2;
    }
    char* resolved = realpath(argv[1], nullptr);
    if (resolved == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    backing = resolved;
    std::free(resolved);
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--cut=", 0) == 0 && arg.find(':') != std::string::npos) {
            const size_t colon = arg.rfind(':');
            cuts[arg.substr(6, colon - 6)] = std::strtol(arg.c_str() + colon + 1, nullptr, 10);
        } else if (arg.rfind("--eio=", 0) == 0) {
            failing.insert(arg.substr(6));
        } else if (arg == "--rw") {
            writable = true;
        } else if (arg == "--fail=fsync" || arg == "--fail=chmod") {
            failingCalls.insert(arg.substr(7));
        } else if (arg == "--corrupt-written") {
            corruptWritten = true;
        } else if (arg == "--eio-written") {
            failWritten = true;
        } else {
            std::fprintf(stderr, "kirvo-faulty-fs: unbekannt: %s\n", arg.c_str());
            return 2;
        }
    }

    fuse_operations ops{};
    ops.init = Init;
    ops.getattr = GetAttr;
    ops.readlink = ReadLink;
    ops.opendir = OpenDir;
    ops.readdir = ReadDir;
    ops.releasedir = ReleaseDir;
    ops.open = Open;
    ops.read = Read;
    ops.release = Release;
    ops.statfs = StatFs;
    if (writable) {
        ops.create = Create;
        ops.write = Write;
        ops.truncate = Truncate;
        ops.chmod = Chmod;
        ops.chown = Chown;
        ops.utimens = Utimens;
        ops.rename = Rename;
        ops.link = Link;
        ops.unlink = Unlink;
        ops.rmdir = Rmdir;
        ops.mkdir = Mkdir;
        ops.fsync = Fsync;
        ops.symlink = Symlink;
    }

    std::string options = std::string(writable ? "rw" : "ro") + ",default_permissions,allow_other";
    std::vector<char*> args = {argv[0], argv[2], const_cast<char*>("-f"), const_cast<char*>("-s"),
                               const_cast<char*>("-o"), options.data()};
    return fuse_main(static_cast<int>(args.size()), args.data(), &ops, nullptr);
}
