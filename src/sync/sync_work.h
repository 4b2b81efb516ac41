#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "fileops/delete_plan.h"
#include "fileops/file_operation_service.h"
#include "fileops/sync_plan.h"
#include "sync/sync_decision.h"

namespace kirvo {

class TreeMatcher;

// What a run's decisions come to for the file operations: per side the
// renames, the deletions, the copies into it and the empty folders to remove
// afterwards, each list in the order of the pairs.
struct SyncWork {
    struct Counted {
        int32_t files = 0;
        uint64_t bytes = 0;
        void add(uint64_t size) {
            ++files;
            bytes += size;
        }
    };

    CopyList toTarget;  // source to target
    CopyList toSource;
    std::vector<ListedPath> deleteInSource;
    std::vector<ListedPath> deleteInTarget;
    std::vector<MovePair> moveInSource;
    std::vector<MovePair> moveInTarget;
    std::vector<RootedPath> foldersInSource;  // deepest first
    std::vector<RootedPath> foldersInTarget;
    // The sizes of what is copied (the files copied), deleted and renamed.
    Counted copiedToTarget, copiedToSource, deletedInSource, deletedInTarget, movedInSource, movedInTarget;

    // Nothing to copy, delete or rename (empty folders alone do not count).
    bool empty() const {
        return toTarget.empty() && toSource.empty() && deleteInSource.empty() && deleteInTarget.empty() &&
               moveInSource.empty() && moveInTarget.empty();
    }
};

// Which sides a run may change: a copy into, a deletion or a rename in a side
// not allowed is left out.
struct ChangedSides {
    bool source = true;
    bool target = true;
};

// The work of the effective decisions over the comparison's pairs (decisions
// at the pairs' indexes). Nothing is planned at a pair a side could not read.
// Empty folders: with `mirrorFrom`, every folder of the other side that the
// "from" side lacks; otherwise, the folders that this run's deletions and
// renames empty on a side and that the other side lacks.
SyncWork PlanWork(const TreeMatcher& matcher, std::span<const PathDecision> decisions, ChangedSides sides,
                  const SyncSide* mirrorFrom);

}  // namespace kirvo
