#pragma once
#include <span>

#include "sync/observed_file.h"
#include "sync/sync_decision.h"

namespace kirvo {

// Makes the decisions of a mirror or two-way run agree on the shape of each
// tree afterwards, so that one run can do all of them (the work runs what
// frees a path before what fills it: deletions, renames, folders removed
// deepest first, copies, folders made):
//   - a folder is removed on a side only when nothing is left in it there;
//     one that keeps something (new, changed, unreadable, in conflict) stays,
//     and comes back on the side that deleted it;
//   - where a side would end up with a file and a folder of the same name
//     (a file replaced by a folder on one side and changed on the other, and
//     the like), the file, the folder and everything below it that would act
//     are a conflict, naming each other: nothing is done there.
// Paths are compared ignoring letter case, as the comparison pairs them.
void ResolveTreeShape(std::span<const ObservedPath> paths, std::span<PathDecision> decisions);

}  // namespace kirvo
