#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <unordered_map>

#include "platform/error_text.h"
#include "platform/tree_watcher.h"
#include "platform/translation.h"

namespace kirvo {

namespace {

constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO |
                           IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

}  // namespace

struct TreeWatcher::State {
    struct Watch {
        size_t root;
        std::string relative;  // "" for the root, else "a/b/"
    };

    int fd = -1;
    SkipFolder skip;
    std::vector<std::string> roots;
    std::vector<int> rootWatch;  // -1 while the root is not watched
    std::unordered_map<int, Watch> watches;
    bool incomplete = false;
    bool limitReached = false;
    std::string problem;
    std::set<std::string> told;

    void note(const std::string& why) {
        incomplete = true;
        if (problem.empty() && !told.count(why)) problem = why;
    }

    // Watches the folder and everything below it that is not skipped.
    void walk(size_t root, const std::string& start) {
        std::vector<std::string> folders = {start};
        while (!folders.empty() && !limitReached) {
            const std::string relative = std::move(folders.back());
            folders.pop_back();
            const std::string path = roots[root] + "/" + relative;
            const uint32_t mask = relative.empty() ? kMask : kMask | IN_DONT_FOLLOW;
            const int wd = inotify_add_watch(fd, path.c_str(), mask);
            if (wd < 0) {
                if (errno == ENOSPC) {
                    limitReached = true;
                    note(Tr("Die Grenze der überwachten Ordner (fs.inotify.max_user_watches) ist erreicht"));
                } else if (errno != ENOENT && errno != ENOTDIR) {
                    note("\"" + path + Tr("\" lässt sich nicht überwachen: ") + ErrorText(errno));
                }
                continue;
            }
            watches[wd] = {root, relative};
            if (relative.empty()) rootWatch[root] = wd;
            DIR* dir = opendir(path.c_str());
            if (dir == nullptr) {
                if (errno != ENOENT) note("\"" + path + Tr("\" lässt sich nicht lesen: ") + ErrorText(errno));
                continue;
            }
            while (const dirent* entry = readdir(dir)) {
                const std::string_view name = entry->d_name;
                if (name == "." || name == "..") continue;
                bool folder = entry->d_type == DT_DIR;
                if (entry->d_type == DT_UNKNOWN) {
                    struct stat info {};
                    folder = fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
                }
                if (!folder) continue;
                std::string child = relative + std::string(name) + "/";
                if (!skip || !skip(root, child)) folders.push_back(std::move(child));
            }
            closedir(dir);
        }
    }

    // The watches of a folder that went away, and of everything below it.
    void forget(size_t root, const std::string& relative) {
        for (auto it = watches.begin(); it != watches.end();) {
            if (it->second.root == root && it->second.relative.compare(0, relative.size(), relative) == 0) {
                inotify_rm_watch(fd, it->first);
                it = watches.erase(it);
            } else {
                ++it;
            }
        }
    }
};

TreeWatcher::TreeWatcher(SkipFolder skip) : state_(std::make_unique<State>()) {
    state_->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    state_->skip = std::move(skip);
    if (state_->fd < 0) state_->note(std::string(Tr("Das System meldet keine Änderungen (inotify): ")) + ErrorText(errno));
}

TreeWatcher::~TreeWatcher() {
    if (state_->fd >= 0) close(state_->fd);
}

size_t TreeWatcher::AddRoot(const std::string& root) {
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    state_->roots.push_back(path);
    state_->rootWatch.push_back(-1);
    const size_t index = state_->roots.size() - 1;
    if (state_->fd >= 0) state_->walk(index, "");
    return index;
}

int TreeWatcher::fd() const { return state_->fd; }

std::vector<TreeWatcher::Change> TreeWatcher::Read() {
    std::vector<Change> changes;
    State& s = *state_;
    if (s.fd < 0) return changes;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = read(s.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                s.note(Tr("Das System hat Änderungen verworfen (seine Warteschlange lief über)"));
                for (size_t root = 0; root < s.roots.size(); ++root) changes.push_back({root, ""});
                continue;
            }
            const auto found = s.watches.find(event->wd);
            if (found == s.watches.end()) continue;
            const State::Watch watch = found->second;
            if (event->mask & IN_IGNORED) {
                s.watches.erase(found);
                if (watch.relative.empty()) {
                    s.rootWatch[watch.root] = -1;
                    s.incomplete = true;
                    changes.push_back({watch.root, ""});
                }
                continue;
            }
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                if (watch.relative.empty()) {  // the root itself went away
                    s.forget(watch.root, "");
                    s.rootWatch[watch.root] = -1;
                    s.incomplete = true;
                    changes.push_back({watch.root, ""});
                }
                continue;
            }
            if (event->len == 0) {
                changes.push_back({watch.root, watch.relative});
                continue;
            }
            const bool folder = (event->mask & IN_ISDIR) != 0;
            std::string path = watch.relative + event->name;
            if (folder) path += '/';
            if (folder && s.skip && s.skip(watch.root, path)) continue;
            if (folder && (event->mask & IN_MOVED_FROM)) s.forget(watch.root, path);
            if (folder && (event->mask & (IN_CREATE | IN_MOVED_TO))) s.walk(watch.root, path);
            changes.push_back({watch.root, std::move(path)});
        }
    }
    return changes;
}

void TreeWatcher::Rewalk() {
    State& s = *state_;
    if (s.fd < 0) return;
    s.incomplete = false;
    s.limitReached = false;
    for (size_t root = 0; root < s.roots.size(); ++root) s.walk(root, "");
}

bool TreeWatcher::complete() const {
    if (state_->incomplete || state_->fd < 0) return false;
    for (int wd : state_->rootWatch)
        if (wd < 0) return false;
    return true;
}

bool TreeWatcher::watching(size_t root) const { return root < state_->rootWatch.size() && state_->rootWatch[root] >= 0; }

std::string TreeWatcher::TakeProblem() {
    std::string problem = std::move(state_->problem);
    state_->problem.clear();
    if (!problem.empty()) state_->told.insert(problem);
    return problem;
}

}  // namespace kirvo
