#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_node.h"
#include "platform/root.h"

namespace kirvo {
namespace {

constexpr int kWayFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// The descriptor closes with the walk, whichever way it ends.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
    void reset(int next) {
        if (fd >= 0) close(fd);
        fd = next;
    }
};

}  // namespace

void Root::Inspect() {
    if (remote()) return;
    if (snapshot()) return InspectSnapshotFile();
    const std::string& path = location_;
    const bool absolute = !path.empty() && path[0] == '/';
    Descriptor folder;
    folder.reset(open(absolute ? "/" : ".", kWayFlags));
    if (folder.fd < 0) return Judge(State::Unreadable, errno);
    std::string reached = absolute ? "/" : "";  // the part of the path that exists, as written
    size_t pos = absolute ? 1 : 0;
    while (true) {
        while (pos < path.size() && path[pos] == '/') ++pos;
        if (pos >= path.size()) break;
        const size_t end = path.find('/', pos);
        const std::string name = path.substr(pos, end - pos);
        const bool last = path.find_first_not_of('/', end) == std::string::npos;
        const int next = openat(folder.fd, name.c_str(), kWayFlags);
        if (next < 0) {
            const int error = errno;
            if (error == ENOENT) return Judge(State::Missing, 0, reached, last);
            if (error == ENOTDIR) return Judge(State::NotFolder, ENOTDIR);
            return Judge(State::Unreadable, error);
        }
        folder.reset(next);
        reached = path.substr(0, end);
        pos = end;
    }
    // There and a folder: can it be listed?
    const int listed = openat(folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0) return Judge(State::Unreadable, errno);
    close(listed);
    Judge(State::Exists, 0);
}

// A snapshot root is there when its file is a regular file that can be read.
void Root::InspectSnapshotFile() {
    const std::string file = SnapshotFileOf(location_);
    struct stat st {};
    if (stat(file.c_str(), &st) != 0) {
        const int error = errno;
        if (error != ENOENT) return Judge(State::Unreadable, error);
        const size_t slash = file.rfind('/');
        const std::string parent = slash == 0 ? "/" : file.substr(0, slash);
        struct stat up {};
        const bool parentThere = stat(parent.c_str(), &up) == 0 && S_ISDIR(up.st_mode);
        return Judge(State::Missing, 0, parentThere ? parent : std::string(), parentThere);
    }
    if (!S_ISREG(st.st_mode)) return Judge(State::Unreadable, kNotSnapshot);
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Judge(State::Unreadable, errno);
    close(fd);
    Judge(State::Exists, 0);
}

}  // namespace kirvo
