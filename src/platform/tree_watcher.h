#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kirvo {

// Tells when something changes below local folders: every folder of each
// tree is watched (inotify), folders that appear are added as they appear,
// links to folders are not followed. What the system cannot promise (events
// dropped when its queue overflows, folders left unwatched when its limit of
// watches is reached or a folder cannot be read) is reported, so that the
// caller can look at the whole tree instead.
class TreeWatcher {
public:
    // Whether a folder below a root ("a/b/", relative to the root) is left
    // unwatched, and what happens in it ignored.
    using SkipFolder = std::function<bool(size_t root, std::string_view relativeFolder)>;

    struct Change {
        size_t root = 0;
        std::string path;  // relative to the root; a folder's ends in '/'
    };

    explicit TreeWatcher(SkipFolder skip = {});
    ~TreeWatcher();
    TreeWatcher(const TreeWatcher&) = delete;
    TreeWatcher& operator=(const TreeWatcher&) = delete;

    // Adds a root and watches its tree; returns its index. A root that cannot
    // be watched now (missing, unreadable) is tried again by Rewalk.
    size_t AddRoot(const std::string& root);
    // Readable when changes wait (for poll()); -1 when the system has no inotify.
    int fd() const;

    // The changes waiting now, without blocking; new folders among them are
    // watched from now on.
    std::vector<Change> Read();
    // Walks every tree again: watches what is not watched (a root that came
    // back, folders missed after an overflow or a move).
    void Rewalk();

    // Every folder of every root is watched and nothing was dropped since the
    // last Rewalk.
    bool complete() const;
    // Whether the root's own folder is watched (false while it is missing).
    bool watching(size_t root) const;
    // Why not complete(), once: the first reason since the last call, or "".
    std::string TakeProblem();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kirvo
