#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "sync/delete_limit.h"
#include "sync/observed_file.h"
#include "sync/sync_decision.h"
#include "sync/sync_state.h"
#include "sync/unknown_places.h"

namespace kirvo {

// A planned run as the guards see it: the paths, their decisions as chosen,
// and what is known of the roots.
struct GuardInput {
    std::span<const ObservedPath> paths;
    std::span<const PathDecision> decisions;
    const SyncState* state = nullptr;  // the recorded state, if any: what the roots held
    const UnknownPlaces* unknown = nullptr;
    bool sourceMissing = false;  // the root folder itself is not there
    bool targetMissing = false;
    // Given (--max-delete): what may be deleted instead of the rule "more
    // than half of a side's files, and at least 10"; it lets an empty root pass too.
    std::optional<DeleteLimit> limit;
};

// The figures and findings for one side.
struct SideGuard {
    uint64_t files = 0;     // files the side has now (those the filter lets in)
    uint64_t deletes = 0;   // files the run would delete there, to the trash or for good
    uint64_t recorded = 0;  // files the recorded state has for the pair
    bool missing = false;
    // More than half of the side's files and at least 10, or beyond the limit.
    bool massDeletion = false;
    // Empty or missing, while the recorded state or the run's deletions on
    // the other side say it held files: an unmounted stick, not a deletion.
    bool emptyRoot = false;
};

struct GuardReport {
    SideGuard source;
    SideGuard target;
    // Paths whose chosen action would touch an unknown place (a choice made
    // over an Unknown decision): never to be carried out.
    std::vector<uint32_t> unsafe;

    // Ask first; with no one to ask (--yes), refuse the run.
    bool needsConfirmation() const {
        return source.massDeletion || target.massDeletion || source.emptyRoot || target.emptyRoot;
    }
};

GuardReport CheckGuards(const GuardInput& input);

}  // namespace kirvo
