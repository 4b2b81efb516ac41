#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cli/text_writer.h"
#include "engine/unknown_place.h"
#include "fileops/file_operation_service.h"
#include "fileops/sync_plan.h"
#include "sync/sync_session.h"
#include "view/result_rows.h"

namespace kirvo {

// What one synchronisation planned and did, for the reports that are not
// text: the JSON document, the summary line of an unattended run and its
// notification.
struct SyncReport {
    bool compared = false;  // the comparison before the copying finished
    SyncPlan plan;          // what it found to copy, per direction (after --direction)
    SyncWork work;          // all it planned: the copies, deletions and renames
    bool refused = false;   // the guards refused the run: nothing was done
    std::string refusal;
    std::vector<ConflictNote> conflicts;
    std::vector<UnknownPlace> unknownPlaces;  // what a side could not read: nothing copied into or out of it
    OperationResult toTarget;  // what the copying did, per direction; empty when not run
    OperationResult toSource;
    OperationResult deletedInSource, deletedInTarget;  // what the deletions and renames did
    OperationResult movedInSource, movedInTarget;
    bool comparedAfter = false;  // the comparison afterwards finished
    SideTotals sourceAfter;
    SideTotals targetAfter;
    int32_t unequalAfter = 0;
    int status = -1;  // the exit status, once known

    void Planned(const SyncWork& planned, const std::vector<ConflictNote>& found) {
        compared = true;
        work = planned;
        plan.sourceToTarget = planned.toTarget;
        plan.targetToSource = planned.toSource;
        conflicts = found;
    }
    void Done(const SyncOutcome& outcome);
    void Afterwards(const ResultRows& rows, int32_t unequal) {
        comparedAfter = true;
        sourceAfter = rows.sourceTotals();
        targetAfter = rows.targetTotals();
        unequalAfter = unequal;
    }

    // Over both directions, and the deletions and renames.
    int32_t count(FileOutcome outcome) const;
    int32_t deletedCount() const { return deletedInSource.count(FileOutcome::Done) + deletedInTarget.count(FileOutcome::Done); }
    int32_t movedCount() const { return movedInSource.count(FileOutcome::Done) + movedInTarget.count(FileOutcome::Done); }
    int32_t replacedCount() const;
    int32_t trashedCount() const {
        return toTarget.trashedCount() + toSource.trashedCount() + deletedInSource.trashedCount() +
               deletedInTarget.trashedCount();
    }
    uint64_t bytesCopied() const;
    bool cancelled() const {
        return toTarget.cancelled || toSource.cancelled || deletedInSource.cancelled || deletedInTarget.cancelled ||
               movedInSource.cancelled || movedInTarget.cancelled;
    }

    // "3 kopiert (12 KB), 1 Konflikt, 2 fehlgeschlagen": what happened, for a
    // person; "nichts zu tun" when there was nothing.
    std::string Summary() const;
    // What of it wants a look: "1 Konflikt, 2 fehlgeschlagen"; "" for nothing.
    std::string Problems() const;
};

}  // namespace kirvo
