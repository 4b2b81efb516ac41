#pragma once
#include <deque>
#include <string>

#include "engine/chunked_store.h"
#include "engine/file_entry.h"
#include "engine/name_store.h"

namespace kirvo {

// What the scan of one side leaves behind: its entries, its folder list
// (folderIndex = position; the root is 0) and the names the entries point
// into. Entries and folder texts never move once added.
struct ScannedSide {
    ChunkedStore<FileEntry> entries;
    std::deque<std::string> folders;
    NameStore names;

    void Clear() {
        entries.clear();
        folders.clear();
        names.Clear();
    }
};

}  // namespace kirvo
