#pragma once
#include <cstdint>
#include <span>

#include "sync/reconciler.h"

namespace kirvo {

// Letter case, which the comparison ignores when it pairs names, written into
// the decisions of a mirror or a two-way run:
//   - a pair whose two names differ in case only: in a mirror the "to" side
//     takes the "from" side's name; in two-way the side that did not change
//     the name since its record takes the other's (both changed it: a
//     conflict; no record, or one from an older version: left as it is). A
//     pair with nothing else to do becomes a rename of that side's file or
//     folder (partner: the path itself); a copy renames first (renameIn).
//   - names of one side equal ignoring case and not paired byte for byte with
//     the other side ("Report.txt" and "report.txt" beside each other): each
//     is a conflict naming the other, and so is what lies below such a
//     folder; neither is ever deleted or copied because of the other.
// recordOf: two-way's record of each path (empty for a mirror).
void DecideCaseNames(const ReconcileInput& input, std::span<const uint32_t> recordOf,
                     std::span<PathDecision> decisions);

}  // namespace kirvo
