#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/directory_lister.h"

namespace kirvo {

class ForeignFolders;

// One folder being listed: its names as getdents gave them, and per name what
// fstatat found. Reading and describing the names; PosixDirectoryLister
// decides which thread does which part, and when.
class PosixListing {
public:
    struct Name {
        uint32_t offset;       // into names, zero-terminated
        unsigned char type;    // d_type
        bool present = true;   // false: vanished before it was described, or not the user's
        RecordKind kind = RecordKind::Other;
        int error = 0;         // Unknown: why it could not be described
        uint64_t size = 0;
        int64_t seconds = 0;
        uint32_t nanoseconds = 0;
        int64_t changed = 0;  // ctime, nanoseconds
        uint64_t device = 0;
        uint64_t inode = 0;
    };

    PosixListing() = default;
    ~PosixListing();
    PosixListing(const PosixListing&) = delete;
    PosixListing& operator=(const PosixListing&) = delete;

    // Reads all names at once (getdents reads whole blocks, and the folder is
    // read once), leaving out the folders that are not the user's. False when
    // the request was stopped; a read that breaks off sets `status`.
    bool ReadNames(const ForeignFolders& foreign);
    // The given names instead of the folder's, of unknown kind: each is looked at.
    void TakeNames(const std::vector<std::string>& given);
    // Names only: folders are folders, and links go where links are skipped.
    void KindsFromTypes();
    // Describes the names [begin, end) with fstatat, leaving out our temporary files.
    void Describe(size_t begin, size_t end);
    const char* nameOf(const Name& entry) const { return names.data() + entry.offset; }

    int fd = -1;
    DirectoryLister::Request request;
    ListingReceiver* receiver = nullptr;
    std::vector<char> names;
    std::vector<Name> entries;
    ListingStatus status;  // how reading the names ended
    std::atomic<size_t> sharesLeft{0};
    std::atomic<long> waits{0};  // times its requests put a thread to sleep
};

}  // namespace kirvo
