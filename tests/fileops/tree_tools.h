#pragma once
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/sync_command.h"
#include "engine/tree_matcher.h"

namespace kirvo::test {

// Tools for the fault and hostile-tree tests: trees past the path limit, the
// whole synchronisation in-process, and what is left afterwards.

// A scratch folder on a memory file system when there is one (for tests that
// write much and test the program, not the disk), else in the temporary folder.
// Meanwhile the home trash lies inside it, so replaced files never reach the
// top-folder trash of the memory file system.
class Scratch {
public:
    Scratch() {
        std::string pattern = (std::filesystem::exists("/dev/shm") ? std::string("/dev/shm")
                                                                   : std::filesystem::temp_directory_path().string()) +
                              "/kirvo-test-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
        if (const char* data = std::getenv("XDG_DATA_HOME")) dataHome_ = data;
        if (!path_.empty()) setenv("XDG_DATA_HOME", (path_ + "/.daten").c_str(), 1);
    }
    ~Scratch() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
        setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string dataHome_;
};

// Creates the folders of `relative` below root one name at a time (so the
// path may be longer than the system allows in one call) and returns the
// deepest folder's descriptor, or -1.
inline int MakeFoldersAt(const std::string& root, const std::string& relative) {
    std::filesystem::create_directories(root);
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (size_t pos = 0; fd >= 0 && pos < relative.size();) {
        size_t next = relative.find('/', pos);
        if (next == std::string::npos) next = relative.size();
        const std::string name = relative.substr(pos, next - pos);
        if (!name.empty()) {
            mkdirat(fd, name.c_str(), 0755);
            const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            close(fd);
            fd = child;
        }
        pos = next + 1;
    }
    return fd;
}

inline void SplitPath(const std::string& relative, std::string& folder, std::string& name) {
    const size_t slash = relative.rfind('/');
    folder = slash == std::string::npos ? "" : relative.substr(0, slash);
    name = slash == std::string::npos ? relative : relative.substr(slash + 1);
}

// Writes root/relative with any depth; false on failure.
inline bool WriteDeep(const std::string& root, const std::string& relative, const std::string& content,
                      int64_t mtime) {
    std::string folder, name;
    SplitPath(relative, folder, name);
    const int dir = MakeFoldersAt(root, folder);
    if (dir < 0) return false;
    const int fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    close(dir);
    if (fd < 0) return false;
    const bool ok = write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    futimens(fd, times);
    close(fd);
    return ok;
}

// Reads root/relative with any depth, following no link on the way; "<missing>" when absent.
inline std::string ReadDeep(const std::string& root, const std::string& relative) {
    std::string folder, name;
    SplitPath(relative, folder, name);
    int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (size_t pos = 0; dir >= 0 && pos < folder.size();) {
        size_t next = folder.find('/', pos);
        if (next == std::string::npos) next = folder.size();
        const int child = openat(dir, folder.substr(pos, next - pos).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        close(dir);
        dir = child;
        pos = next + 1;
    }
    if (dir < 0) return "<missing>";
    const int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    close(dir);
    if (fd < 0) return "<missing>";
    std::string content;
    char buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) content.append(buffer, static_cast<size_t>(n));
    close(fd);
    return content;
}

// The unequal pairs of a comparison, as "+1 relative/path" / "-1 ...".
inline std::vector<std::string> Unequal(const std::string& source, const std::string& target) {
    TreeMatcher matcher;
    std::string s = source, t = target;
    matcher.Run(s, t, false, false, true);
    std::vector<std::string> out;
    for (const FilePair& p : matcher.pairs()) {
        if (p.verdict == Verdict::Equal) continue;
        out.push_back((p.verdict == Verdict::SourceToTarget ? "+1 " : "-1 ") + (p.source ? p.source->relativePath() : p.target->relativePath()));
    }
    return out;
}

struct SyncOutcome {
    int status = -1;
    std::string out;
    std::string err;
};

// kirvo-cli sync --yes (plus extra options) in-process.
inline SyncOutcome SyncYes(const std::string& source, const std::string& target,
                           std::vector<std::string> extra = {}) {
    extra.push_back("--yes");
    extra.push_back(source);
    extra.push_back(target);
    SyncOptions options;
    std::string error;
    SyncOutcome r;
    if (!ParseSyncOptions(extra, options, error)) {
        r.err = error;
        return r;
    }
    std::istringstream in;
    std::ostringstream out, err;
    r.status = RunSync(options, in, out, err, false, false);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace kirvo::test
