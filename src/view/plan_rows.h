#pragma once
#include <cstddef>
#include <span>
#include <vector>

#include "fileops/sync_plan.h"
#include "view/result_rows.h"

namespace kirvo {

// The result list's rows as the file operations read them. Only rows that take
// part are returned, in list order, each with takesPart set: the plans skip
// every other row anyway, and a million-row list then costs nothing for the
// rows left out. Direction comes from the row's pair (+1, -1, 0; 0 on folder
// rows, place rows, conflicts and unknown pairs; conflicts are flagged as
// such, and so is each side that could not be read at the row's path); the
// paths are the pair's relative paths, "" where a side has no file.
// Each side's file comes with its size and time as listed, in UTC: utcOffset is
// the offset the comparison added to make its local times (TreeMatcher::utcOffset).
class PlanRows {
public:
    // Synchronise: rows whose state image is 2 or 3 (bit 0x2000 of the list
    // state), that is marked file rows and folder rows; folder rows carry no
    // direction and no paths, so the plans drop them.
    static std::vector<PlanRow> Marked(const ResultRows& rows, int64_t utcOffset);

    // Copy and Delete: the rows whose indexes are in selected (any order;
    // duplicates and indexes past the last row are ignored).
    static std::vector<PlanRow> Selected(const ResultRows& rows, std::span<const size_t> selected, int64_t utcOffset);

    // One row as the plans read it, takesPart set as given.
    static PlanRow Row(const ResultRows& rows, size_t row, bool takesPart, int64_t utcOffset);

    // The state bit that makes a row take part in Synchronise.
    static constexpr int kTakesPartStateBit = 0x2000;
    static bool TakesPartInSync(int stateImage) { return ((stateImage << 12) & kTakesPartStateBit) != 0; }
};

}  // namespace kirvo
