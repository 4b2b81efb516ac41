#pragma once
#include <span>

#include "engine/file_entry.h"
#include "engine/name_store.h"

namespace kirvo {

// Most files lie on both sides under the same name, so the two sides' name
// stores mostly hold the same bytes. After the sort, each target entry whose
// neighbour is a source entry of byte-identical name takes that name, and the
// target's store is rebuilt with only the names no source shares: names cost
// about half.
class TwinNames {
public:
    // sorted: every entry of the run, ordered by EntryOrder; targetNames: the
    // store the target entries' names are in now, replaced by the smaller one.
    static void Share(std::span<const FileEntry* const> sorted, NameStore& targetNames);
};

}  // namespace kirvo
