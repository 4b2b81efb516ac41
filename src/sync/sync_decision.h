#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sync/observed_file.h"

namespace kirvo {

// What a run does at one path.
enum class SyncAction : uint8_t {
    Nothing,
    CopyToTarget,
    CopyToSource,
    DeleteInTarget,
    DeleteInSource,
    MoveInTarget,  // rename the target's file at the partner path to this path (partner
                   // this path: a change of letter case, to the source's name)
    MoveInSource,
    Conflict,  // both left as they are, named
    Unknown,   // a side could not be read: left alone
};

// Why: each with the side it speaks of (SyncDecision::side).
enum class SyncReason : uint8_t {
    Equal,
    SameContent,              // changed or new since the last run, yet both hold the same bytes (read)
    Compared,                 // the comparison's arrow or conflict (update; two-way before its first run)
    FirstRun,                 // two-way without a recorded state: as Compared
    New,                      // new on `side` since the last run
    Changed,                  // changed on `side` only
    Deleted,                  // deleted on `side`, unchanged on the other
    DeletedChangedElsewhere,  // deleted on `side`, changed on the other: that one comes back
    DeletedFilterChanged,     // deleted on `side`, but the filter changed since: the other comes back
    Moved,                    // moved on `side` from the partner path (at the new path)
    MovedAway,                // moved on `side` to the partner path (at the old path)
    ChangedOnBoth,
    NewOnBoth,         // new on both sides and different
    UnequalUnchanged,  // unchanged on both since the last run, yet no longer equal
    MirrorMissing,     // missing on `side` (the mirror)
    MirrorDifferent,   // different on `side`
    MirrorExtra,       // only on `side`
    MirrorMoved,       // on `side` under the partner path with the same content
    MirrorMovedAway,   // on `side` renamed to the partner path
    Unreadable,        // `side` could not be read there
    CaseRenamed,       // renamed on `side` in letter case only: the other side follows
    CaseRenamedOnBoth, // renamed in letter case on both sides, differently
    CaseTwins,         // `side` has this name and the partner's, equal ignoring case
    MirrorCase,        // named in another letter case on `side`: renamed
    FileFolderClash,   // a file on one side, a folder on the other (partner: the other path)
    FolderStillUsed,   // deleted on `side`, but the other side put something new into it
    Damaged,           // damaged on `side` (other bytes under the same size and time): not copied
    Repair,            // damaged on `side`; the other side still holds the good bytes: brought back
};

struct SyncDecision {
    static constexpr uint32_t kNoPartner = UINT32_MAX;

    SyncAction action = SyncAction::Nothing;
    SyncReason reason = SyncReason::Equal;
    SyncSide side = SyncSide::Source;
    uint32_t partner = kNoPartner;  // moves: the index of the other path
    // A copy of a file whose name changed in letter case: the file on this
    // side takes the other side's name first.
    std::optional<SyncSide> renameIn = std::nullopt;

    friend bool operator==(const SyncDecision&, const SyncDecision&) = default;
};

// The rules' decision and the user's choice over it (a tick taken away, a
// direction chosen). The planned decision stays, so taking the choice back
// restores it.
struct PathDecision {
    SyncDecision planned;
    std::optional<SyncAction> chosen;

    SyncAction effective() const { return chosen.value_or(planned.action); }
};

// The reason as the list's tool tip says it, in German. partnerPath: the
// other path of a move; detail: the comparison's or the unreadable place's
// reason, where there is one.
std::string ReasonText(const SyncDecision& decision, std::string_view partnerPath = {}, std::string_view detail = {});

}  // namespace kirvo
