#pragma once
#include <cstdint>

#include "engine/file_entry.h"

namespace kirvo {

// One row of the comparison result. Borrows its entries from the engine.
struct FilePair {
    // The verdict of a pair that differs but has no direction: the times
    // count as equal while size or contents differ, or the contents could
    // not be read. Only the comparison by size or by content gives it.
    static constexpr int32_t kConflict = 3;

    int32_t verdict = 0;                // +1 source to target, 0 equal, -1 target to source, or kConflict
    const FileEntry* source = nullptr;  // side 1, or null
    const FileEntry* target = nullptr;  // side 2, or null
};

inline bool IsConflict(int32_t verdict) { return verdict == FilePair::kConflict; }
// +1 or -1: the verdicts that say which way a file goes.
inline bool HasDirection(int32_t verdict) { return verdict == 1 || verdict == -1; }

}  // namespace kirvo
