#include "sync/sync_work.h"

#include <algorithm>
#include <string>

#include "engine/tree_matcher.h"
#include "sync/name_changes.h"

namespace kirvo {
namespace {

ListedFile Listed(const FileEntry& entry, int64_t utcOffset) {
    return ListedFile::Present(entry.size(), entry.modifiedSeconds() - utcOffset, entry.modifiedMilliseconds());
}

bool Unknown(const FilePair& pair) { return pair.unknownSides != 0 || IsUnknown(pair.verdict); }

const FileEntry* EntryOn(const FilePair& pair, SyncSide side) {
    return side == SyncSide::Source ? pair.source : pair.target;
}

TreeSide TreeOf(SyncSide side) { return side == SyncSide::Source ? TreeSide::Source : TreeSide::Target; }

// The side a move, copy into or deletion acts on.
SyncSide ActsOn(SyncAction action) {
    return action == SyncAction::CopyToSource || action == SyncAction::DeleteInSource ||
                   action == SyncAction::MoveInSource
               ? SyncSide::Source
               : SyncSide::Target;
}

size_t Depth(std::string_view path) { return static_cast<size_t>(std::count(path.begin(), path.end(), '/')); }

std::string_view WithoutSlash(std::string_view folder) {
    return folder.ends_with('/') ? folder.substr(0, folder.size() - 1) : folder;
}

class Planner {
public:
    Planner(const TreeMatcher& matcher, std::span<const ObservedPath> paths, std::span<const PathDecision> decisions,
            ChangedSides sides)
        : matcher_(matcher), pairs_(matcher.pairs()), paths_(paths), decisions_(decisions), sides_(sides),
          renamed_(pairs_.size(), false) {}

    SyncWork Plan() {
        RenameFolders();
        RenameFiles();
        for (size_t i = 0; i < pairs_.size() && i < decisions_.size(); ++i) PlanPair(i);
        PlanFolders();
        return std::move(work_);
    }

private:
    bool Allowed(SyncSide side) const { return side == SyncSide::Source ? sides_.source : sides_.target; }
    const std::string& Root(SyncSide side) const {
        return side == SyncSide::Source ? matcher_.sourceRoot() : matcher_.targetRoot();
    }
    RootedPath Join(SyncSide side, std::string_view relative) const {
        return RootedPath::Join(Root(side), relative, TreeOf(side));
    }
    std::vector<MovePair>& MovesIn(SyncSide side) {
        return side == SyncSide::Source ? work_.moveInSource : work_.moveInTarget;
    }
    // A rename of letter case at path i: on which side, or none.
    std::optional<SyncSide> CaseRename(size_t i) const {
        const PathDecision& d = decisions_[i];
        const SyncAction a = d.effective();
        if ((a == SyncAction::MoveInSource || a == SyncAction::MoveInTarget) && d.planned.partner == i)
            return ActsOn(a);
        if ((a == SyncAction::CopyToSource || a == SyncAction::CopyToTarget) && a == d.planned.action)
            return d.planned.renameIn;
        return std::nullopt;
    }
    // Pair i's file on `side` as it is named once the renames are done.
    std::string Final(size_t i, SyncSide side) const {
        const FileEntry* entry = EntryOn(pairs_[i], side);
        if (entry == nullptr) return {};
        const FileEntry* other = EntryOn(pairs_[i], Other(side));
        const bool renamed = renamed_[i] && other != nullptr && CaseRename(i) == side;
        return names_.Map(side, entry->folder()).append(renamed ? other->name() : entry->name());
    }

    void RenameFolders() {
        std::vector<size_t> folders;
        for (size_t i = pairs_.size(); i < paths_.size(); ++i)
            if (const std::optional<SyncSide> side = CaseRename(i); side && Allowed(*side)) folders.push_back(i);
        std::stable_sort(folders.begin(), folders.end(),
                         [&](size_t a, size_t b) { return Depth(paths_[a].relativePath()) < Depth(paths_[b].relativePath()); });
        for (const size_t i : folders) {
            const SyncSide side = *CaseRename(i);
            const auto [from, to] = names_.AddFolder(side, paths_[i].pathOn(side), paths_[i].nameOn(Other(side)));
            MovesIn(side).push_back({Join(side, WithoutSlash(from)), Join(side, WithoutSlash(to)), {}, 0, true});
        }
    }

    void RenameFiles() {
        for (size_t i = 0; i < pairs_.size() && i < decisions_.size(); ++i) {
            const std::optional<SyncSide> side = CaseRename(i);
            if (!side || !Allowed(*side) || Unknown(pairs_[i])) continue;
            const FileEntry* entry = EntryOn(pairs_[i], *side);
            const FileEntry* other = EntryOn(pairs_[i], Other(*side));
            if (entry == nullptr || other == nullptr) continue;
            MovePair move{Join(*side, names_.Map(*side, entry->relativePath())),
                          Join(*side, names_.Map(*side, entry->folder()).append(other->name())),
                          Listed(*entry, matcher_.utcOffset()), 0};
            uint64_t device = 0;
            matcher_.identityOf(*entry, device, move.inode);
            MovesIn(*side).push_back(std::move(move));
            (*side == SyncSide::Source ? work_.movedInSource : work_.movedInTarget).add(entry->size());
            renamed_[i] = true;
        }
    }

    void PlanPair(size_t i) {
        const FilePair& pair = pairs_[i];
        const PathDecision& decision = decisions_[i];
        const SyncAction action = decision.effective();
        // Nothing is deleted or renamed where a side could not be read; a copy
        // is refused there by PlanCopyOfRow (its destination) and the verdict.
        if (IsUnknown(pair.verdict) ||
            (Unknown(pair) && action != SyncAction::CopyToTarget && action != SyncAction::CopyToSource))
            return;
        const int64_t offset = matcher_.utcOffset();
        switch (action) {
        case SyncAction::CopyToTarget:
        case SyncAction::CopyToSource: {
            const SyncSide to = ActsOn(action);
            if (!Allowed(to)) break;
            PlanRow row = PlanRowOf(pair, offset);
            row.direction = to == SyncSide::Target ? 1 : -1;
            row.sourcePath = Final(i, SyncSide::Source);
            row.targetPath = Final(i, SyncSide::Target);
            CopyPair copy;
            if (!PlanCopyOfRow(row, matcher_.sourceRoot(), matcher_.targetRoot(), copy)) break;
            (to == SyncSide::Target ? work_.copiedToTarget : work_.copiedToSource).add(EntryOn(pair, Other(to))->size());
            (to == SyncSide::Target ? work_.toTarget : work_.toSource).pairs.push_back(std::move(copy));
            break;
        }
        case SyncAction::DeleteInSource:
        case SyncAction::DeleteInTarget: {
            const SyncSide side = ActsOn(action);
            const FileEntry* entry = EntryOn(pair, side);
            if (!Allowed(side) || entry == nullptr) break;
            (side == SyncSide::Source ? work_.deleteInSource : work_.deleteInTarget)
                .emplace_back(Join(side, entry->relativePath()), Listed(*entry, offset));
            (side == SyncSide::Source ? work_.deletedInSource : work_.deletedInTarget).add(entry->size());
            break;
        }
        case SyncAction::MoveInSource:
        case SyncAction::MoveInTarget: {
            const SyncSide side = ActsOn(action);
            const size_t partner = decision.planned.partner;
            if (partner == i || !Allowed(side) || partner >= pairs_.size() || Unknown(pairs_[partner])) break;
            // The file at the old path on this side goes to the new path as the other side names it.
            const FileEntry* from = EntryOn(pairs_[partner], side);
            const FileEntry* named = EntryOn(pair, Other(side));
            if (from == nullptr || named == nullptr) break;
            MovePair move{Join(side, names_.Map(side, from->relativePath())),
                          Join(side, names_.Map(Other(side), named->relativePath())), Listed(*from, offset), 0};
            uint64_t device = 0;
            matcher_.identityOf(*from, device, move.inode);
            MovesIn(side).push_back(std::move(move));
            (side == SyncSide::Source ? work_.movedInSource : work_.movedInTarget).add(from->size());
            break;
        }
        case SyncAction::Nothing:
        case SyncAction::Conflict:
        case SyncAction::Unknown: break;
        }
    }

    void PlanFolders() {
        for (size_t i = pairs_.size(); i < paths_.size() && i < decisions_.size(); ++i) {
            const SyncAction action = decisions_[i].effective();
            const bool remove = action == SyncAction::DeleteInSource || action == SyncAction::DeleteInTarget;
            const bool make = action == SyncAction::CopyToSource || action == SyncAction::CopyToTarget;
            const SyncSide side = ActsOn(action);
            if (!(remove || make) || !Allowed(side)) continue;
            // A folder made is named as the side that has it.
            const SyncSide named = remove ? side : Other(side);
            const RootedPath path = Join(side, WithoutSlash(names_.Map(named, paths_[i].pathOn(named))));
            if (remove) (side == SyncSide::Source ? work_.foldersInSource : work_.foldersInTarget).push_back(path);
            else (side == SyncSide::Source ? work_.newFoldersInSource : work_.newFoldersInTarget).push_back(path);
        }
        const auto depth = [](const RootedPath& p) { return Depth(p.relative()); };
        for (auto* removed : {&work_.foldersInSource, &work_.foldersInTarget})
            std::sort(removed->begin(), removed->end(), [&](const RootedPath& a, const RootedPath& b) {
                return depth(a) != depth(b) ? depth(a) > depth(b) : a.path < b.path;
            });
        for (auto* made : {&work_.newFoldersInSource, &work_.newFoldersInTarget})
            std::sort(made->begin(), made->end(), [&](const RootedPath& a, const RootedPath& b) {
                return depth(a) != depth(b) ? depth(a) < depth(b) : a.path < b.path;
            });
    }

    const TreeMatcher& matcher_;
    std::span<const FilePair> pairs_;
    std::span<const ObservedPath> paths_;
    std::span<const PathDecision> decisions_;
    ChangedSides sides_;
    NameChanges names_;
    std::vector<bool> renamed_;  // the file's case rename is planned
    SyncWork work_;
};

}  // namespace

SyncWork PlanWork(const TreeMatcher& matcher, std::span<const ObservedPath> paths,
                  std::span<const PathDecision> decisions, ChangedSides sides) {
    return Planner(matcher, paths, decisions, sides).Plan();
}

}  // namespace kirvo
