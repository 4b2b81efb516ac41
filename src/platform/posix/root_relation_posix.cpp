#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/mount_id.h"
#include "platform/root_relation.h"

namespace kirvo {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

struct Identity {
    dev_t device;
    ino_t inode;
    bool operator==(const Identity&) const = default;
};

struct Mount {
    uint64_t id = 0;
    std::string device;  // "major:minor"
    std::string root;    // the folder of the file system it shows
    std::string point;   // where it is shown
};

std::string Unescaped(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string octal = field.substr(i + 1, 3);
            if (octal.size() == 3 && octal.find_first_not_of("01234567") == std::string::npos) {
                out.push_back(static_cast<char>(std::stoi(octal, nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<Mount> ReadMounts() {
    std::vector<Mount> mounts;
    std::ifstream in("/proc/self/mountinfo");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Mount m;
        std::string parent, root, point;
        if (fields >> m.id >> parent >> m.device >> root >> point) {
            m.root = Unescaped(root);
            m.point = Unescaped(point);
            mounts.push_back(std::move(m));
        }
    }
    return mounts;
}

bool Contains(const std::vector<Identity>& ids, const Identity& id) {
    for (const Identity& i : ids)
        if (i == id) return true;
    return false;
}

// Where else the top folder of a bind mount can be reached: through a mount of
// the same file system that shows a folder above what the bind mount shows.
std::string ShownElsewhere(const std::vector<Mount>& mounts, uint64_t mountId) {
    const Mount* bind = nullptr;
    for (const Mount& m : mounts)
        if (m.id == mountId) bind = &m;
    if (bind == nullptr || bind->root == "/") return {};
    for (const Mount& m : mounts) {
        if (m.id == mountId || m.device != bind->device) continue;
        const std::string prefix = m.root == "/" ? "/" : m.root + "/";
        if (bind->root.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = bind->root.substr(prefix.size());
        return m.point == "/" ? "/" + rest : m.point + "/" + rest;
    }
    return {};
}

// The identities of fd's folder and of every folder above it; for the top of a
// bind mount also those above the place it shows.
void Climb(int fd, std::vector<Identity>& ids, const std::vector<Mount>& mounts, int depth) {
    int current = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    while (current >= 0) {
        struct stat st;
        if (fstat(current, &st) != 0 || Contains(ids, {st.st_dev, st.st_ino})) break;
        ids.push_back({st.st_dev, st.st_ino});
        const int parent = openat(current, "..", kFolderFlags);
        const uint64_t mount = MountIdOf(current);
        if (depth < 8 && mount != 0 && (parent < 0 || MountIdOf(parent) != mount)) {
            const std::string other = ShownElsewhere(mounts, mount);
            const int there = other.empty() ? -1 : open(other.c_str(), kFolderFlags);
            struct stat ts;
            if (there >= 0 && fstat(there, &ts) == 0 && ts.st_dev == st.st_dev && ts.st_ino == st.st_ino) {
                ids.pop_back();  // climbed again from there, itself included
                Climb(there, ids, mounts, depth + 1);
                if (!Contains(ids, {st.st_dev, st.st_ino})) ids.push_back({st.st_dev, st.st_ino});
            }
            if (there >= 0) close(there);
        }
        close(current);
        current = parent;
    }
    if (current >= 0) close(current);
}

// The deepest folder of path that exists, and what lies below it still to be made.
int OpenExisting(std::string path, std::string& missing) {
    missing.clear();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    while (true) {
        const int fd = open(path.empty() ? "." : path.c_str(), kFolderFlags);
        if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR)) return fd;
        const size_t slash = path.rfind('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty()) return -1;
        missing = missing.empty() ? name : name + "/" + missing;
        if (slash == std::string::npos) {
            path.clear();
        } else {
            path.resize(slash == 0 ? 1 : slash);
        }
    }
}

bool Below(const std::string& inner, const std::string& outer) {
    return outer.empty() ? !inner.empty()
                         : inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
                               inner[outer.size()] == '/';
}

}  // namespace

RootRelation RelateRoots(const std::string& first, const std::string& second) {
    std::string firstMissing, secondMissing;
    const int a = OpenExisting(first, firstMissing);
    const int b = OpenExisting(second, secondMissing);
    RootRelation relation = RootRelation::Apart;
    if (a >= 0 && b >= 0) {
        const std::vector<Mount> mounts = ReadMounts();
        std::vector<Identity> above[2];
        Climb(a, above[0], mounts, 0);
        Climb(b, above[1], mounts, 0);
        struct stat sa, sb;
        if (fstat(a, &sa) == 0 && fstat(b, &sb) == 0) {
            const Identity ia{sa.st_dev, sa.st_ino}, ib{sb.st_dev, sb.st_ino};
            if (ia == ib) {
                relation = firstMissing == secondMissing   ? RootRelation::Same
                           : Below(secondMissing, firstMissing) ? RootRelation::SecondInsideFirst
                           : Below(firstMissing, secondMissing) ? RootRelation::FirstInsideSecond
                                                                : RootRelation::Apart;
            } else if (firstMissing.empty() && Contains(above[1], ia)) {
                relation = RootRelation::SecondInsideFirst;
            } else if (secondMissing.empty() && Contains(above[0], ib)) {
                relation = RootRelation::FirstInsideSecond;
            }
        }
    }
    if (a >= 0) close(a);
    if (b >= 0) close(b);
    return relation;
}

}  // namespace kirvo
