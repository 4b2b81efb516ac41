// The copy's looks ahead: the total for the progress, and the looks at the
// next files on another machine asked for together.
#include <string>
#include <vector>

#include "fileops/copy_run.h"

namespace kirvo {

// The total for the progress: as listed where the caller tells, looked at
// otherwise (pairs in one folder share one opening of it).
void CopyRun::countBytes() {
    FolderHandle folder;
    bool opened = false;
    std::string_view openedPath;  // root and folder of `folder`
    size_t foreseenTo = 0;
    for (size_t i = 0; i < pairs_.size(); ++i) {
        const CopyPair& pair = pairs_[i];
        // As listed where the caller tells.
        if (pair.listedFrom.state == ListedFile::State::Present) {
            bytesTotal_ += pair.listedFrom.size;
            continue;
        }
        const PathParts from = PathParts::Of(pair.from);
        const std::string_view path = std::string_view(pair.from.path).substr(0, pair.from.path.size() - from.name.size());
        const bool again = path != openedPath || !opened;
        if (again) {
            openedPath = path;
            opened = roots_.openFolderOf(pair.from, from, {}, folder).kind == FileAttempt::Done;
        }
        if (opened && (again || i >= foreseenTo)) {
            // The next names in this folder (nothing is done for a local one).
            std::vector<std::string> names;
            for (foreseenTo = i; foreseenTo < pairs_.size() && names.size() < kForesee; ++foreseenTo) {
                const std::string& next = pairs_[foreseenTo].from.path;
                const size_t slash = next.rfind('/');
                if (slash == std::string::npos || std::string_view(next).substr(0, slash + 1) != path) break;
                names.push_back(next.substr(slash + 1));
            }
            folder.foresee(names, flags_.links == LinkMode::Follow);
        }
        NodeInfo info;
        if (opened && folder.inspect(from.name, flags_.links == LinkMode::Follow, info) == 0 &&
            (info.kind == NodeKind::File || info.kind == NodeKind::Link))
            bytesTotal_ += info.size;
    }
}

// The looks at the next kForesee files on another machine are asked for
// together (see FolderHandle::foresee): their sources and their destinations.
void CopyRun::foresee(size_t from) {
    const std::span<const CopyPair> next = pairs_.subspan(from, std::min(kForesee, pairs_.size() - from));
    foreseenTo_ = from + next.size();
    std::vector<std::pair<std::string, std::vector<std::string>>> byRoot;  // root, then the paths below it
    const auto add = [&](const RootedPath& p) {
        const PathParts parts = PathParts::Of(p);
        if (!roots_.remote(parts.root) || parts.name.empty()) return;
        if (byRoot.empty() || byRoot.back().first != parts.root) byRoot.push_back({parts.root, {}});
        std::string relative(parts.folder);
        byRoot.back().second.push_back(relative.empty() ? std::string(parts.name) : relative + "/" + std::string(parts.name));
    };
    for (const bool sources : {true, false}) {
        for (const CopyPair& pair : next) add(sources ? pair.from : pair.to);
        for (const auto& [root, paths] : byRoot) {
            const FolderHandle* handle = nullptr;
            if (roots_.open(root, handle) == 0) handle->foresee(paths, sources && flags_.links == LinkMode::Follow);
        }
        byRoot.clear();
    }
}

}  // namespace kirvo
