#pragma once
#include <span>
#include <string_view>

#include "engine/file_entry.h"
#include "engine/scanned_side.h"

namespace kirvo {

// The order of the entry table: by folder, then by name, ignoring ASCII case,
// the separator weighing as a backslash (0x5C) does, so a sibling whose name
// goes on with a byte below it ("A1/", "A-b/", "A b/") comes before the folder
// whose name is its prefix ("A/"), on every platform. Entries equal that way
// get a fixed order (the folder ignoring case as stored, then the bytes, then
// the side), so the result never depends on the order the file system listed
// them in.
class EntryOrder {
public:
    // <0, 0 or >0.
    static int Compare(const FileEntry& a, const FileEntry& b);
    // Folder texts alone, by the first two keys of Compare.
    static int CompareFolders(std::string_view a, std::string_view b);

    // Sorts entries by Compare. The entries' folder indexes refer to the two
    // sides' folder lists, which lets each folder text be compared once per
    // folder instead of once per entry.
    static void Sort(std::span<const FileEntry*> entries, const ScannedSide (&sides)[2]);
};

}  // namespace kirvo
