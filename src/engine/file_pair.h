#pragma once
#include <cstdint>

#include "engine/file_entry.h"

namespace kirvo {

// One row of the comparison result. Borrows its entries from the engine.
struct FilePair {
    int32_t verdict = 0;                // +1 source to target, 0 equal, -1 target to source
    const FileEntry* source = nullptr;  // side 1, or null
    const FileEntry* target = nullptr;  // side 2, or null
};

}  // namespace kirvo
