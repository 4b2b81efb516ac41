#include "sync/tree_shape.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/text_compare.h"

namespace kirvo {
namespace {

constexpr uint32_t kNone = UINT32_MAX;

SyncAction CopyTo(SyncSide side) { return side == SyncSide::Source ? SyncAction::CopyToSource : SyncAction::CopyToTarget; }
SyncAction DeleteIn(SyncSide side) {
    return side == SyncSide::Source ? SyncAction::DeleteInSource : SyncAction::DeleteInTarget;
}
SyncAction MoveIn(SyncSide side) { return side == SyncSide::Source ? SyncAction::MoveInSource : SyncAction::MoveInTarget; }

bool Acting(SyncAction a) { return a != SyncAction::Nothing && a != SyncAction::Unknown && a != SyncAction::Conflict; }

// Whether the decisions change which paths exist anywhere: otherwise the
// shape of both trees stays as it is.
bool ChangesShape(std::span<const ObservedPath> paths, std::span<const PathDecision> decisions) {
    for (size_t i = 0; i < paths.size(); ++i) {
        const SyncDecision& d = decisions[i].planned;
        switch (d.action) {
        case SyncAction::CopyToSource:
        case SyncAction::CopyToTarget:
            if (!paths[i].source.present() || !paths[i].target.present()) return true;
            break;
        case SyncAction::DeleteInSource:
        case SyncAction::DeleteInTarget: return true;
        case SyncAction::MoveInSource:
        case SyncAction::MoveInTarget:
            if (d.partner != i) return true;
            break;
        default: break;
        }
    }
    return false;
}

class Shape {
public:
    Shape(std::span<const ObservedPath> paths, std::span<PathDecision> decisions)
        : paths_(paths), decisions_(decisions), keys_(paths.size()), parent_(paths.size(), kNone) {
        size_t deepest = 0;
        std::vector<size_t> depth(paths.size());
        for (size_t i = 0; i < paths.size(); ++i) {
            std::string& key = keys_[i];
            key = paths[i].relativePath();
            for (char& c : key) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
            for (const char c : key) depth[i] += c == '/' ? 1 : 0;
            if (paths[i].isFolder()) --depth[i];
            deepest = std::max(deepest, depth[i]);
        }
        for (size_t i = 0; i < paths.size(); ++i)
            if (paths[i].isFolder())
                folders_.emplace(std::string_view(keys_[i]).substr(0, keys_[i].size() - 1), static_cast<uint32_t>(i));
        byDepth_.resize(deepest + 1);
        for (size_t i = 0; i < paths.size(); ++i) {
            byDepth_[depth[i]].push_back(static_cast<uint32_t>(i));
            std::string_view parent = keys_[i];
            if (paths[i].isFolder()) parent.remove_suffix(1);
            const size_t slash = parent.rfind('/');
            if (slash == std::string_view::npos) continue;
            if (const auto it = folders_.find(parent.substr(0, slash)); it != folders_.end()) parent_[i] = it->second;
        }
    }

    // One pass: folders that cannot be removed stay; clashes become conflicts.
    // True when a decision changed.
    bool Settle() {
        bool changed = false;
        for (const SyncSide side : {SyncSide::Source, SyncSide::Target}) {
            Place(side, changed);
            for (uint32_t i = 0; i < paths_.size(); ++i) {
                if (paths_[i].isFolder() || !after_[i]) continue;
                const auto folder = folders_.find(keys_[i]);
                if (folder != folders_.end() && after_[folder->second]) changed = Clash(i, folder->second, side) || changed;
            }
        }
        return changed;
    }

private:
    bool Present(uint32_t i, SyncSide side) const { return paths_[i].on(side).kind != ObservedFile::Kind::Absent; }

    bool FileAfter(uint32_t i, SyncSide side) const {
        const SyncDecision& d = decisions_[i].planned;
        const bool created = d.action == CopyTo(side) || (d.action == MoveIn(side) && d.partner != i);
        const bool movedAway = d.action == SyncAction::Nothing && d.partner != SyncDecision::kNoPartner &&
                               d.partner != i && decisions_[d.partner].planned.action == MoveIn(side);
        return created || (Present(i, side) && d.action != DeleteIn(side) && !movedAway);
    }

    // Whether each path is there on `side` after the run, deepest first, so
    // that a folder knows whether anything stays in it.
    void Place(SyncSide side, bool& changed) {
        after_.assign(paths_.size(), false);
        std::vector<bool> keeps(paths_.size(), false);
        for (size_t depth = byDepth_.size(); depth-- > 0;) {
            for (const uint32_t i : byDepth_[depth]) {
                if (paths_[i].isFolder()) {
                    SyncDecision& d = decisions_[i].planned;
                    if (d.action == DeleteIn(side) && keeps[i]) {
                        const SyncSide there = Other(side);
                        d = {paths_[i].on(there).present() ? SyncAction::Nothing : CopyTo(there),
                             SyncReason::FolderStillUsed, there};
                        changed = true;
                    }
                    after_[i] = keeps[i] || d.action == CopyTo(side) || (Present(i, side) && d.action != DeleteIn(side));
                } else {
                    after_[i] = FileAfter(i, side);
                }
                if (after_[i] && parent_[i] != kNone) keeps[parent_[i]] = true;
            }
        }
    }

    void MarkConflict(uint32_t i, uint32_t partner, SyncSide side, bool& changed) {
        SyncDecision& d = decisions_[i].planned;
        if (d.action == SyncAction::Unknown || (d.action == SyncAction::Conflict && d.reason == SyncReason::FileFolderClash))
            return;
        // The old path of a rename goes with it.
        if (d.partner != SyncDecision::kNoPartner && d.partner != i) {
            SyncDecision& other = decisions_[d.partner].planned;
            if (other.action == SyncAction::Nothing || other.action == SyncAction::MoveInSource ||
                other.action == SyncAction::MoveInTarget)
                other = {SyncAction::Conflict, SyncReason::FileFolderClash, side, partner};
        }
        d = {SyncAction::Conflict, SyncReason::FileFolderClash, side, partner};
        changed = true;
    }

    // A file and a folder of one name on one side afterwards: neither is touched.
    bool Clash(uint32_t file, uint32_t folder, SyncSide side) {
        bool changed = false;
        MarkConflict(file, folder, side, changed);
        MarkConflict(folder, file, side, changed);
        const std::string_view below = keys_[folder];
        for (uint32_t j = 0; j < paths_.size(); ++j)
            if (Acting(decisions_[j].planned.action) && std::string_view(keys_[j]).starts_with(below))
                MarkConflict(j, file, side, changed);
        return changed;
    }

    std::span<const ObservedPath> paths_;
    std::span<PathDecision> decisions_;
    std::vector<std::string> keys_;  // folded relative paths
    std::vector<uint32_t> parent_;   // the folder path each lies in, or kNone (the root)
    std::unordered_map<std::string_view, uint32_t> folders_;  // folded path without its '/' -> index
    std::vector<std::vector<uint32_t>> byDepth_;
    std::vector<bool> after_;
};

}  // namespace

void ResolveTreeShape(std::span<const ObservedPath> paths, std::span<PathDecision> decisions) {
    if (!ChangesShape(paths, decisions)) return;
    Shape shape(paths, decisions);
    // Each pass only turns decisions into conflicts or keeps folders: it ends.
    for (size_t pass = 0; pass <= paths.size() && shape.Settle(); ++pass) {
    }
}

}  // namespace kirvo
