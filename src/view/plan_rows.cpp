#include "view/plan_rows.h"

#include <vector>

namespace kirvo {

PlanRow PlanRows::Row(const ResultRows& rows, size_t row, bool takesPart, int64_t utcOffset) {
    if (const FilePair* pair = rows.Pair(row)) return PlanRowOf(*pair, utcOffset, takesPart);
    PlanRow planRow;
    planRow.takesPart = takesPart;
    return planRow;
}

std::vector<PlanRow> PlanRows::Marked(const ResultRows& rows, int64_t utcOffset) {
    std::vector<PlanRow> planRows;
    const std::span<const ResultRows::RowRecord> records = rows.records();
    for (size_t i = 0; i < records.size(); ++i) {
        if (TakesPartInSync(records[i].state)) planRows.push_back(Row(rows, i, true, utcOffset));
    }
    return planRows;
}

std::vector<PlanRow> PlanRows::Selected(const ResultRows& rows, std::span<const size_t> selected, int64_t utcOffset) {
    std::vector<bool> taken(rows.size(), false);
    for (size_t row : selected) {
        if (row < taken.size()) taken[row] = true;
    }
    std::vector<PlanRow> planRows;
    for (size_t i = 0; i < taken.size(); ++i) {
        if (taken[i]) planRows.push_back(Row(rows, i, true, utcOffset));
    }
    return planRows;
}

}  // namespace kirvo
