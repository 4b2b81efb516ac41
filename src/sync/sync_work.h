#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "fileops/delete_plan.h"
#include "fileops/file_operation_service.h"
#include "fileops/sync_plan.h"
#include "sync/observed_file.h"
#include "sync/sync_decision.h"

namespace kirvo {

class TreeMatcher;

// What a run's decisions come to for the file operations: per side the
// renames, the deletions, the copies into it and the folders to remove and to
// make. A run does them in the order that frees a path before it is filled:
// deletions, renames (changes of letter case first, folders before files),
// folders removed (deepest first), copies, folders made (parents first; those
// the copies did not make). Each path is written as it will be named when its
// step comes.
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
    std::vector<RootedPath> foldersInSource;  // removed once empty, deepest first
    std::vector<RootedPath> foldersInTarget;
    std::vector<RootedPath> newFoldersInSource;  // made, parents first
    std::vector<RootedPath> newFoldersInTarget;
    // The sizes of what is copied (the files copied), deleted and renamed.
    Counted copiedToTarget, copiedToSource, deletedInSource, deletedInTarget, movedInSource, movedInTarget;

    // Nothing to copy, delete, rename, remove or make.
    bool empty() const {
        return toTarget.empty() && toSource.empty() && deleteInSource.empty() && deleteInTarget.empty() &&
               moveInSource.empty() && moveInTarget.empty() && foldersInSource.empty() && foldersInTarget.empty() &&
               newFoldersInSource.empty() && newFoldersInTarget.empty();
    }
};

// Which sides a run may change: a copy into, a deletion or a rename in a side
// not allowed is left out.
struct ChangedSides {
    bool source = true;
    bool target = true;
};

// The work of the effective decisions over the comparison's pairs: paths and
// decisions at the pairs' indexes, followed by the folders' (ObserveFolders).
// Nothing is planned at a pair a side could not read.
SyncWork PlanWork(const TreeMatcher& matcher, std::span<const ObservedPath> paths,
                  std::span<const PathDecision> decisions, ChangedSides sides);

}  // namespace kirvo
