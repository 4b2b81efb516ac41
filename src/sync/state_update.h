#pragma once
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sync/file_record.h"
#include "sync/observed_file.h"
#include "sync/sync_mode.h"
#include "sync/sync_state.h"
#include "sync/unknown_places.h"

namespace kirvo {

// How the state of a pair changes with a run: the records to write and the
// ones to remove, all or none (SyncStateStore::save). Texts are borrowed from
// the comparison and the loaded state, which must outlive the update.
struct StateUpdate {
    struct Put {
        std::string_view folder;
        std::string_view name;
        FileRecord record;
        std::string targetPath;  // the target's own path where it differs, else ""
    };
    struct Removal {
        std::string_view folder;
        std::string_view name;
        std::string_view targetPath = {};  // the target's own path where it differs, else ""
    };
    PairSettings settings;
    std::vector<Put> puts;
    std::vector<Removal> removals;

    bool changesRecords() const { return !puts.empty() || !removals.empty(); }
};

// Whether the run knows the two files of a path, as they are now, to hold
// the same bytes (it copied one over the other, renamed one into place, or
// read both): see SyncEvidence.
using ConfirmedEqual = std::function<bool(const ObservedPath& now)>;

// The state after a run, from the comparison made after it (or the run's own
// comparison when nothing was done):
//   - both files there, equal and of the same size: recorded as they are now,
//     where neither changed since its record or `confirmed` vouches for
//     them (a time within the same second says nothing about the bytes; a
//     failed copy leaves them as they were and so never counts as synchronised);
//     none: the comparison is taken at its word;
//   - a folder both sides have: recorded;
//   - a path at or below an unknown place, or left out by the filter now: its
//     record stays as it was;
//   - a recorded path neither tree has any more: its record goes;
//   - anything else (a conflict, a change not carried over) keeps its record,
//     so the next run sees the same change again; except that after a change
//     of filter a record not confirmed now is dropped: it may date from before
//     the file was left out, and must not make a deletion out of it later.
// `excluded` says whether the filter in use leaves a path out (none: nothing is).
StateUpdate ComputeStateUpdate(std::span<const ObservedPath> after, const SyncState* before,
                               const PairSettings& settings, const UnknownPlaces* unknown,
                               const std::function<bool(std::string_view folder, std::string_view name)>& excluded,
                               const ConfirmedEqual& confirmed = {});

}  // namespace kirvo
