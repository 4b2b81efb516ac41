#include "view/selection_stats.h"

#include <cstdio>

#include "view/result_rows.h"
#include "view/value_format.h"

namespace kirvo {

void SelectionStats::Update(const ResultRows& rows) {
    sourceFiles_ = targetFiles_ = 0;
    sourceBytes_ = targetBytes_ = 0;
    const size_t n = rows.size();
    for (size_t i = 0; i < n; ++i) {
        if (rows.StateImage(i) != ResultRows::kMarked) continue;
        const FilePair* pair = rows.Pair(i);
        if (pair->verdict != 1 && pair->verdict != -1) continue;  // only rows with an arrow
        if (pair->target) {
            ++targetFiles_;
            targetBytes_ += pair->target->size();
        }
        if (pair->source) {
            ++sourceFiles_;
            sourceBytes_ += pair->source->size();
        }
    }
}

std::string SelectionStats::Text(int32_t files, uint64_t bytes) {
    const double total = static_cast<double>(bytes);
    const std::string size = FormatTotalSize(total);
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%i Dateien mit %s (%.0f Byte) ausgewählt ", files, size.c_str(), total);
    return buffer;
}

}  // namespace kirvo
