#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "sync/observed_file.h"
#include "sync/sync_decision.h"
#include "sync/sync_mode.h"
#include "sync/sync_state.h"
#include "sync/unknown_places.h"

namespace kirvo {

// Everything the decisions of one run rest on. Pure data: the reconciler
// reads no file itself.
struct ReconcileInput {
    SyncMode mode = SyncMode::Update;
    SyncSide mirrorFrom = SyncSide::Source;  // Mirror: the side the other becomes a copy of
    // The comparison of the two trees under the filter in use: every path
    // either side has, each once; folders too (see ObservedPath). Paths equal
    // ignoring letter case come next to each other, as the comparison orders them.
    std::span<const ObservedPath> paths;
    // TwoWay: the pair's recorded state; none: the pair's first run, which
    // decides as Update does (nothing deleted).
    const SyncState* state = nullptr;
    uint64_t filterHash = 0;                 // TwoWay: the FilterHash in use now
    const UnknownPlaces* unknown = nullptr;  // the places that could not be read
    // Mirror: whether the "from" file of path `from` holds the same bytes as the
    // "to" file of path `to` (the caller reads both); none: no moves are looked for.
    std::function<bool(uint32_t from, uint32_t to)> sameContent;
    // TwoWay: whether the two files of path i hold the same bytes (the caller
    // reads both); asked only where the times cannot tell. None: they differ.
    std::function<bool(uint32_t i)> sameBytes;
};

// One decision per path, in the order of input.paths.
//   Update: the comparison's arrows and conflicts as they are.
//   Mirror: the "to" side becomes an exact copy: missing and different files
//     (another size, or unequal by the comparison) are copied, also over a
//     newer one; files only there are deleted, or renamed where a file only on
//     the "from" side has the same size, nearly the same time (2 s) and, as
//     sameContent confirms, the same bytes; folders are made and removed.
//   TwoWay: against the record of each path (see the .cpp).
// In both, names that differ in letter case follow the side that changed
// them (CaseNames), and what frees a path goes before what fills it, or the
// two are a conflict (TreeShape).
// Nothing at or below an unknown place is touched: its decision is Unknown.
std::vector<PathDecision> Reconcile(const ReconcileInput& input);

// The tool tip of decision i: ReasonText with the partner's path and the
// comparison's or the unknown place's reason.
std::string ExplainDecision(const ReconcileInput& input, std::span<const PathDecision> decisions, uint32_t i);

}  // namespace kirvo
