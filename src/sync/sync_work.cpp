#include "sync/sync_work.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "engine/text_compare.h"
#include "engine/tree_matcher.h"

namespace kirvo {
namespace {

ListedFile Listed(const FileEntry& entry, int64_t utcOffset) {
    return ListedFile::Present(entry.size(), entry.modifiedSeconds() - utcOffset, entry.modifiedMilliseconds());
}

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return folded;
}

bool Unknown(const FilePair& pair) { return pair.unknownSides != 0 || IsUnknown(pair.verdict); }

// Empty folders to remove on one side, deepest first.
class FolderCandidates {
public:
    FolderCandidates(const TreeMatcher& matcher, Side side) : matcher_(matcher), side_(side) {
        for (const std::string& folder : matcher.folders(side == kSourceSide ? kTargetSide : kSourceSide))
            otherSide_.insert(Folded(folder));
    }

    // The folder and those above it, up to (not including) the root.
    void AddWithParents(std::string_view folder) {
        while (!folder.empty() && added_.insert(std::string(folder)).second) {
            const size_t slash = folder.substr(0, folder.size() - 1).rfind('/');
            folder = slash == std::string_view::npos ? std::string_view() : folder.substr(0, slash + 1);
        }
    }
    void AddAll() {
        for (const std::string& folder : matcher_.folders(side_)) added_.insert(folder);
    }

    std::vector<RootedPath> Take() const {
        std::vector<std::string> kept;
        for (const std::string& folder : added_) {
            if (folder.empty() || otherSide_.contains(Folded(folder))) continue;
            const std::string_view path(folder);
            const bool unknown = std::any_of(matcher_.unknownPlaces().begin(), matcher_.unknownPlaces().end(),
                                             [&](const UnknownPlace& place) { return place.Covers(path); });
            if (!unknown) kept.push_back(folder);
        }
        // Deeper folders first; among equals a fixed order.
        std::sort(kept.begin(), kept.end(), [](const std::string& a, const std::string& b) {
            const auto depth = [](const std::string& s) { return std::count(s.begin(), s.end(), '/'); };
            return depth(a) != depth(b) ? depth(a) > depth(b) : a < b;
        });
        const std::string& root = side_ == kSourceSide ? matcher_.sourceRoot() : matcher_.targetRoot();
        std::vector<RootedPath> folders;
        for (const std::string& folder : kept)
            folders.push_back(RootedPath::Join(root, std::string_view(folder).substr(0, folder.size() - 1),
                                               side_ == kSourceSide ? TreeSide::Source : TreeSide::Target));
        return folders;
    }

private:
    const TreeMatcher& matcher_;
    Side side_;
    std::unordered_set<std::string> otherSide_;
    std::unordered_set<std::string> added_;
};

}  // namespace

SyncWork PlanWork(const TreeMatcher& matcher, std::span<const PathDecision> decisions, ChangedSides sides,
                  const SyncSide* mirrorFrom) {
    SyncWork work;
    const std::span<const FilePair> pairs = matcher.pairs();
    const int64_t offset = matcher.utcOffset();
    const std::string& sourceRoot = matcher.sourceRoot();
    const std::string& targetRoot = matcher.targetRoot();
    FolderCandidates sourceFolders(matcher, kSourceSide);
    FolderCandidates targetFolders(matcher, kTargetSide);
    CopyPair copy;
    for (size_t i = 0; i < pairs.size() && i < decisions.size(); ++i) {
        const FilePair& pair = pairs[i];
        const PathDecision& decision = decisions[i];
        const SyncAction action = decision.effective();
        // Nothing is deleted or renamed where a side could not be read; a copy
        // is refused there by PlanCopyOfRow (its destination) and the verdict.
        if (IsUnknown(pair.verdict) || (Unknown(pair) && action != SyncAction::CopyToTarget &&
                                        action != SyncAction::CopyToSource))
            continue;
        switch (action) {
        case SyncAction::CopyToTarget:
        case SyncAction::CopyToSource: {
            const bool toTarget = action == SyncAction::CopyToTarget;
            if (!(toTarget ? sides.target : sides.source)) break;
            PlanRow row = PlanRowOf(pair, offset);
            row.direction = toTarget ? 1 : -1;
            if (!PlanCopyOfRow(row, sourceRoot, targetRoot, copy)) break;
            (toTarget ? work.copiedToTarget : work.copiedToSource).add((toTarget ? pair.source : pair.target)->size());
            (toTarget ? work.toTarget : work.toSource).pairs.push_back(std::move(copy));
            break;
        }
        case SyncAction::DeleteInSource:
            if (!sides.source || pair.source == nullptr) break;
            work.deleteInSource.emplace_back(RootedPath::Join(sourceRoot, pair.source->relativePath(), TreeSide::Source),
                                             Listed(*pair.source, offset));
            work.deletedInSource.add(pair.source->size());
            sourceFolders.AddWithParents(pair.source->folder());
            break;
        case SyncAction::DeleteInTarget:
            if (!sides.target || pair.target == nullptr) break;
            work.deleteInTarget.emplace_back(RootedPath::Join(targetRoot, pair.target->relativePath(), TreeSide::Target),
                                             Listed(*pair.target, offset));
            work.deletedInTarget.add(pair.target->size());
            targetFolders.AddWithParents(pair.target->folder());
            break;
        case SyncAction::MoveInSource:
        case SyncAction::MoveInTarget: {
            const bool inTarget = action == SyncAction::MoveInTarget;
            const size_t partner = decision.planned.partner;
            if (!(inTarget ? sides.target : sides.source) || partner >= pairs.size() || Unknown(pairs[partner])) break;
            // The file at the old path on this side goes to the new path as the other side names it.
            const FileEntry* from = inTarget ? pairs[partner].target : pairs[partner].source;
            const FileEntry* named = inTarget ? pair.source : pair.target;
            if (from == nullptr || named == nullptr) break;
            const std::string& root = inTarget ? targetRoot : sourceRoot;
            const TreeSide side = inTarget ? TreeSide::Target : TreeSide::Source;
            MovePair move{RootedPath::Join(root, from->relativePath(), side),
                          RootedPath::Join(root, named->relativePath(), side), Listed(*from, offset), 0};
            uint64_t device = 0;
            matcher.identityOf(*from, device, move.inode);
            (inTarget ? work.moveInTarget : work.moveInSource).push_back(std::move(move));
            (inTarget ? work.movedInTarget : work.movedInSource).add(from->size());
            (inTarget ? targetFolders : sourceFolders).AddWithParents(from->folder());
            break;
        }
        case SyncAction::Nothing:
        case SyncAction::Conflict:
        case SyncAction::Unknown: break;
        }
    }
    if (mirrorFrom != nullptr) {
        FolderCandidates& to = *mirrorFrom == SyncSide::Source ? targetFolders : sourceFolders;
        if (*mirrorFrom == SyncSide::Source ? sides.target : sides.source) to.AddAll();
    }
    if (sides.source) work.foldersInSource = sourceFolders.Take();
    if (sides.target) work.foldersInTarget = targetFolders.Take();
    return work;
}

}  // namespace kirvo
