#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/content_hash.h"
#include "platform/directory_lister.h"
#include "platform/function_ref.h"
#include "platform/link_mode.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kirvo {

// A snapshot (a listing saved by "kirvo-cli snapshot save") opened for
// reading: what it says of itself, its folders, and the entries of each
// folder read when they are asked for. Never written to. One thread at a time.
class SnapshotFile {
public:
    struct Summary {
        std::string folder;  // the folder saved, as the user named it
        int64_t savedSeconds = 0;  // UTC
        uint32_t savedNanoseconds = 0;
        bool hashes = false;  // files carry content hashes
        LinkMode links = LinkMode::Follow;
        std::string filter;   // the patterns it was saved with, "" for none
        int64_t files = 0;
        int64_t folders = 0;
        std::string program;  // "kirvo VERSION"
    };
    // One file, link or name of a folder, as saved.
    struct Entry {
        RecordKind kind = RecordKind::File;
        uint64_t size = 0;
        int64_t seconds = 0;  // UTC
        uint32_t nanoseconds = 0;
        bool hashed = false;
        ContentHash hash;
        std::string link;  // a link kept as itself: its text
    };

    ~SnapshotFile();
    SnapshotFile(const SnapshotFile&) = delete;
    SnapshotFile& operator=(const SnapshotFile&) = delete;

    // Opens the file read-only and checks that it is a snapshot of ours,
    // with every page in order when `checkWhole` (a read of the whole file):
    // 0, the system's error (ENOENT: no such file), or kNotSnapshot; reason
    // then says why, in German.
    static int Open(const std::string& path, bool checkWhole, std::unique_ptr<SnapshotFile>& file, std::string& reason);

    const Summary& summary() const { return summary_; }

    // Lists the folder `relative` (names each followed by the separator, ""
    // for the root) as a lister would: its sub-folders, then its files,
    // links and uninspected names. A folder whose listing broke off when it
    // was saved ends so again, after what was read of it.
    ListingStatus List(std::string_view relative, FunctionRef<void(const DirectoryRecord&)> visit);
    // The entry at `relative` (a path below the root): 0, or ENOENT.
    int Find(std::string_view relative, Entry& entry);

private:
    struct Folder {
        int64_t parent = -1;
        std::string path;  // "" for the root, else names each followed by the separator
        bool system = false;
        int error = 0;
        std::string reason;
        std::vector<uint32_t> children;
    };
    SnapshotFile() = default;
    int Load(bool checkWhole, std::string& reason);
    ListingStatus Damaged() const;

    sqlite3* db_ = nullptr;
    sqlite3_stmt* list_ = nullptr;
    sqlite3_stmt* find_ = nullptr;
    Summary summary_;
    std::vector<Folder> folders_;
    std::unordered_map<std::string, uint32_t> byPath_;
};

}  // namespace kirvo
