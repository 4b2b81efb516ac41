#pragma once
#include <cstdint>

#include "engine/file_entry.h"

namespace kirvo {

// Which way a pair's file has to go, if at all. The numbers are those stored
// and written elsewhere (+1, 0, -1, and 3 for a conflict).
enum class Verdict : int32_t {
    TargetToSource = -1,  // "<---": the target file is newer, or only in the target
    Equal = 0,            // "="
    SourceToTarget = 1,   // "--->": the source file is newer, or only in the source
    // Unequal without a direction: the times count as equal while size or
    // contents differ, or the contents could not be read. Only the comparison
    // by size or by content gives it.
    Conflict = 3,         // "<?>"
    // The file is on one side only, and the other side could not be read
    // there: whether it is missing there is unknown.
    Unknown = 4,          // "?"
};

// One row of the comparison result. Borrows its entries from the engine.
struct FilePair {
    // Bits of unknownSides: the pair's path lies in or under a place that
    // side could not read. Nothing is written there, neither copied nor deleted.
    static constexpr uint8_t kSourceUnknown = 1;
    static constexpr uint8_t kTargetUnknown = 2;

    Verdict verdict = Verdict::Equal;
    uint8_t unknownSides = 0;
    const FileEntry* source = nullptr;  // side 1, or null
    const FileEntry* target = nullptr;  // side 2, or null
};

static_assert(sizeof(FilePair) <= 24, "a million pairs should stay small");

inline bool IsConflict(Verdict verdict) { return verdict == Verdict::Conflict; }
inline bool IsUnknown(Verdict verdict) { return verdict == Verdict::Unknown; }
// +1 or -1: the verdicts that say which way a file goes.
inline bool HasDirection(Verdict verdict) {
    return verdict == Verdict::SourceToTarget || verdict == Verdict::TargetToSource;
}
// +1, -1, or 0 for every verdict without a direction.
inline int32_t DirectionOf(Verdict verdict) { return HasDirection(verdict) ? static_cast<int32_t>(verdict) : 0; }
// The verdict of a time comparison's result (+1, 0, -1).
inline Verdict VerdictFromDirection(int32_t direction) {
    return direction > 0 ? Verdict::SourceToTarget : direction < 0 ? Verdict::TargetToSource : Verdict::Equal;
}

}  // namespace kirvo
