#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>

#include "platform/directory_lister.h"
#include "platform/posix/own_temporary_file.h"
#include "platform/posix/system_attribute_reader.h"

namespace kirvo {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

void Describe(const struct stat& st, DirectoryRecord& record) {
    record.size = static_cast<uint64_t>(st.st_size);
    record.modifiedSeconds = static_cast<int64_t>(st.st_mtim.tv_sec);
    record.modifiedNanoseconds = static_cast<uint32_t>(st.st_mtim.tv_nsec);
}

// Returns false when the name vanished or cannot be inspected.
bool Inspect(int folderFd, const char* name, unsigned char type, DirectoryRecord& record) {
    struct stat st;
    if (type == DT_DIR) {
        record.kind = RecordKind::Directory;
        return true;
    }
    if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) {
        record.kind = RecordKind::Other;  // fifo, socket, device: nothing to stat
        return true;
    }
    if (fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(st.st_mode)) {
        // A link is described as what it points to; a link to a folder is not entered.
        if (fstatat(folderFd, name, &st, 0) != 0 || !S_ISREG(st.st_mode)) {
            record.kind = RecordKind::Other;
            return true;
        }
        record.kind = RecordKind::File;
    } else if (S_ISREG(st.st_mode)) {
        // A temporary file of a copy (running, or left by a killed run) is not
        // part of the tree; a user's file of the same name is.
        if (OwnTemporaryFile::IsOurs(folderFd, name)) return false;
        record.kind = RecordKind::File;
    } else if (S_ISDIR(st.st_mode)) {
        record.kind = RecordKind::Directory;
        return true;
    } else {
        record.kind = RecordKind::Other;
        return true;
    }
    Describe(st, record);
    return true;
}

// Opens `relative` below `base` one name at a time, never following a link.
int OpenStepwise(int base, std::string_view relative) {
    int current = base;
    size_t pos = 0;
    while (pos < relative.size()) {
        size_t next = relative.find('/', pos);
        if (next == std::string_view::npos) next = relative.size();
        if (next > pos) {
            const std::string name(relative.substr(pos, next - pos));
            const int child = openat(current, name.c_str(), kFolderFlags | O_NOFOLLOW);
            if (current != base) close(current);
            if (child < 0) return -1;
            current = child;
        }
        pos = next + 1;
    }
    return current == base ? dup(base) : current;
}

}  // namespace

DirectoryLister::~DirectoryLister() {
    if (handle_ >= 0) close(handle_);
}

DirectoryLister::DirectoryLister(DirectoryLister&& other) noexcept : handle_(other.handle_) {
    other.handle_ = -1;
}

DirectoryLister& DirectoryLister::operator=(DirectoryLister&& other) noexcept {
    if (this != &other) {
        if (handle_ >= 0) close(handle_);
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

DirectoryLister DirectoryLister::Open(const std::string& path) {
    int fd = open(path.c_str(), kFolderFlags);
    if (fd < 0 && errno == ENAMETOOLONG) {
        const bool absolute = !path.empty() && path[0] == '/';
        const int start = open(absolute ? "/" : ".", kFolderFlags);
        if (start >= 0) {
            fd = OpenStepwise(start, std::string_view(path).substr(absolute ? 1 : 0));
            close(start);
        }
    }
    return DirectoryLister(fd);
}

DirectoryLister DirectoryLister::OpenChild(std::string_view relative) const {
    if (handle_ < 0) return DirectoryLister();
    return DirectoryLister(OpenStepwise(handle_, relative));
}

bool DirectoryLister::List(Detail detail, Visitor visit) const {
    if (handle_ < 0) return false;
    // fdopendir takes the descriptor over; list through a duplicate so this object keeps its own.
    const int fd = fcntl(handle_, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return false;
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        return false;
    }
    rewinddir(dir);
    std::optional<SystemAttributeReader> system;
    if (detail == Detail::FullWithSystemBit) system.emplace(fd);
    while (true) {
        errno = 0;
        const dirent* ent = readdir(dir);
        if (ent == nullptr) break;  // the end, or an error: both end the listing
        DirectoryRecord record;
        record.name = std::string_view(ent->d_name);
        if (detail != Detail::NamesOnly) {
            if (!Inspect(fd, ent->d_name, ent->d_type, record)) continue;
            if (system && record.kind == RecordKind::Directory && std::strcmp(ent->d_name, ".") != 0 &&
                std::strcmp(ent->d_name, "..") != 0)
                record.isSystem = system->IsSystem(ent->d_name);
        } else {
            record.kind = ent->d_type == DT_DIR ? RecordKind::Directory : RecordKind::Other;
        }
        visit(record);
    }
    closedir(dir);
    return true;
}

bool DirectoryLister::List(const std::string& path, Detail detail, Visitor visit) {
    const DirectoryLister folder = Open(path);
    return folder.List(detail, visit);
}

int64_t CurrentUtcOffsetSeconds() {
    tzset();
    const time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr) return 0;
    return static_cast<int64_t>(local.tm_gmtoff);
}

}  // namespace kirvo
