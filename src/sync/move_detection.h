#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "sync/reconciler.h"

namespace kirvo {

// Moves found by the reconciler, written into decisions: at the new path a
// move on the other side (partner: the old path), at the old path nothing
// (partner: the new path). Paths already Unknown take no part.

// With state: on side `moved`, the file recorded at A is gone and a new file
// at B has the same device, inode, size and time; the other side still has A
// unchanged and nothing at B. Hard links (an inode seen twice) are left out.
void DetectRecordedMoves(SyncSide moved, std::span<const ObservedPath> paths, const SyncState& state,
                         std::span<const uint32_t> recordOf, std::span<PathDecision> decisions);

// Without state (the mirror): a file only on the "to" side and one only on the
// "from" side with the same size, times at most 2 s apart and, as sameContent
// says, the same bytes. Empty files are copied, never matched.
void DetectContentMoves(const ReconcileInput& input, std::span<PathDecision> decisions);

}  // namespace kirvo
