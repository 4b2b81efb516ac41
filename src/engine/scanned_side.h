#pragma once
#include <deque>
#include <string>
#include <vector>

#include "engine/chunked_store.h"
#include "engine/file_entry.h"
#include "engine/name_store.h"
#include "engine/unknown_place.h"

namespace kirvo {

// What the scan of one side leaves behind: its entries, its folder list
// (folderIndex = position; the root is 0), the names the entries point
// into, and the places it could not read, in walk order. Entries and folder
// texts never move once added.
struct ScannedSide {
    ChunkedStore<FileEntry> entries;
    std::deque<std::string> folders;
    NameStore names;
    std::vector<UnknownPlace> unknown;
    // With RunOptions::identities: what tells entries[i] apart from any other
    // version of it (inode 0: none known), and the device of the files of each folder.
    struct Identity {
        uint64_t inode;
        int64_t changedNs;     // ctime, 0 where unknown
        uint32_t nanoseconds;  // of the modification time, which the entry keeps to the millisecond
    };
    ChunkedStore<Identity> identities;
    std::vector<uint64_t> folderDevices;

    void Clear() {
        entries.clear();
        folders.clear();
        names.Clear();
        unknown.clear();
        identities.clear();
        folderDevices.clear();
    }
};

}  // namespace kirvo
