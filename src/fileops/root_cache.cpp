#include "fileops/root_cache.h"

#include <cerrno>

#include "platform/file_node.h"

namespace kirvo {

PathParts PathParts::Of(const RootedPath& p) {
    PathParts parts;
    std::string_view relative = p.relative();
    if (p.rootSize == 0 && !relative.empty() && relative[0] == '/') {
        parts.root = "/";  // no root given: every name from / on is checked
        relative.remove_prefix(1);
    } else {
        parts.root = std::string(p.root());
    }
    SplitRelative(relative, parts.folder, parts.name);
    const size_t folderEnd = static_cast<size_t>(parts.folder.data() + parts.folder.size() - p.path.data());
    parts.fullFolder = std::string_view(p.path).substr(0, parts.folder.empty() ? p.rootSize : folderEnd);
    return parts;
}

bool IsWithinFolder(std::string_view folder, std::string_view ancestor) {
    return folder == ancestor ||
           (folder.size() > ancestor.size() && folder.substr(0, ancestor.size()) == ancestor &&
            (ancestor.empty() || ancestor.back() == '/' || folder[ancestor.size()] == '/'));
}

int RootCache::open(const std::string& root, const FolderHandle*& handle) {
    for (Entry& e : entries_) {
        if (e.root == root) {
            if (e.error != 0 || !e.handle.usable()) e.error = access_.open(root, e.handle);  // it may exist by now
            handle = &e.handle;
            return e.error;
        }
    }
    Entry& e = entries_.emplace_back();
    e.root = root;
    e.error = access_.open(root, e.handle);
    handle = &e.handle;
    return e.error;
}

FileAttempt RootCache::openFolderOf(const RootedPath& p, const PathParts& parts, std::string_view what,
                                    FolderHandle& folder, bool missingIsError) {
    const FolderHandle* root = nullptr;
    if (const int error = open(parts.root, root))
        return FileAttempt::Fail(std::string(p.root().empty() ? std::string_view(parts.root) : p.root()), what, error);
    size_t failedAt = 0;
    const int error = root->openBeneath(parts.folder, folder, &failedAt);
    if (error == 0 || (error == ENOENT && !missingIsError)) return {};
    const size_t start = static_cast<size_t>(parts.folder.data() - p.path.data());
    return FileAttempt::Fail(p.path.substr(0, start + failedAt), what, error);
}

}  // namespace kirvo
