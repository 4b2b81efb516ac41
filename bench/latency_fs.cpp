// A file system for measurements: shows a folder (read-only) and waits a
// given time before answering each request, as a share on a network would.
// Requests that arrive together are served together, by up to 128 threads.
// Usage: kirvo-latency-fs ORDNER EINHÄNGEPUNKT [MILLISEKUNDEN] [FUSE-OPTIONEN ...]
// Unmount with: fusermount3 -u EINHÄNGEPUNKT
#define FUSE_USE_VERSION 35
#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string backing;
std::chrono::microseconds delay{1000};

std::string Real(const char* path) { return backing + path; }
void Wait() { std::this_thread::sleep_for(delay); }

void* Init(fuse_conn_info* conn, fuse_config* cfg) {
    // Every request goes to the file system, as on a share that caches nothing.
    cfg->entry_timeout = 0;
    cfg->attr_timeout = 0;
    cfg->negative_timeout = 0;
    cfg->kernel_cache = 0;
    conn->want &= ~FUSE_CAP_READDIRPLUS;
    return nullptr;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info*) {
    Wait();
    return lstat(Real(path).c_str(), st) == 0 ? 0 : -errno;
}

int ReadLink(const char* path, char* buffer, size_t size) {
    Wait();
    const ssize_t n = readlink(Real(path).c_str(), buffer, size - 1);
    if (n < 0) return -errno;
    buffer[n] = '\0';
    return 0;
}

int OpenDir(const char* path, fuse_file_info* fi) {
    Wait();
    DIR* dir = opendir(Real(path).c_str());
    if (dir == nullptr) return -errno;
    fi->fh = reinterpret_cast<uint64_t>(dir);
    return 0;
}

int ReadDir(const char*, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info* fi, fuse_readdir_flags) {
    Wait();
    DIR* dir = reinterpret_cast<DIR*>(fi->fh);
    rewinddir(dir);
    while (const dirent* ent = readdir(dir)) {
        struct stat st {};
        st.st_ino = ent->d_ino;
        st.st_mode = static_cast<mode_t>(DTTOIF(ent->d_type));
        if (fill(buffer, ent->d_name, &st, 0, static_cast<fuse_fill_dir_flags>(0)) != 0) break;
    }
    return 0;
}

int ReleaseDir(const char*, fuse_file_info* fi) {
    Wait();
    closedir(reinterpret_cast<DIR*>(fi->fh));
    return 0;
}

int Open(const char* path, fuse_file_info* fi) {
    Wait();
    if ((fi->flags & O_ACCMODE) != O_RDONLY) return -EROFS;
    const int fd = open(Real(path).c_str(), O_RDONLY);
    if (fd < 0) return -errno;
    fi->fh = static_cast<uint64_t>(fd);
    return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
    Wait();
    const ssize_t n = pread(static_cast<int>(fi->fh), buffer, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int Release(const char*, fuse_file_info* fi) {
    close(static_cast<int>(fi->fh));
    return 0;
}

int StatFs(const char*, struct statvfs* st) {
    Wait();
    return statvfs(backing.c_str(), st) == 0 ? 0 : -errno;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "Aufruf: kirvo-latency-fs ORDNER EINHÄNGEPUNKT [MILLISEKUNDEN] [FUSE-OPTIONEN ...]\n");
        return 2;
    }
    char* resolved = realpath(argv[1], nullptr);
    if (resolved == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    backing = resolved;
    std::free(resolved);
    int next = 3;
    if (argc > 3 && argv[3][0] != '-') delay = std::chrono::microseconds(static_cast<long>(std::atof(argv[next++]) * 1000));

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

    std::vector<char*> args = {argv[0], argv[2], const_cast<char*>("-o"),
                               const_cast<char*>("ro,default_permissions,max_threads=128,max_idle_threads=128")};
    for (int i = next; i < argc; ++i) args.push_back(argv[i]);
    return fuse_main(static_cast<int>(args.size()), args.data(), &ops, nullptr);
}
