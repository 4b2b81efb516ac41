#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/link_mode.h"
#include "platform/snapshot/snapshot_file.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kirvo {

// Writes a snapshot: into a temporary file beside its place (a name of our
// temporary form, which listings leave out), then, once complete and on the
// disk, renamed into place. A run killed part way leaves no half snapshot
// under the name, only the temporary file; an old snapshot there stays
// until the new one replaces it whole.
class SnapshotWriter {
public:
    struct Description {
        std::string folder;  // the folder saved, as the user named it
        bool hashes = false;
        LinkMode links = LinkMode::Follow;
        std::string filter;  // the patterns, "" for none
    };

    SnapshotWriter() = default;
    // An unfinished snapshot's temporary file goes.
    ~SnapshotWriter();
    SnapshotWriter(const SnapshotWriter&) = delete;
    SnapshotWriter& operator=(const SnapshotWriter&) = delete;

    // Starts the snapshot that is to become `path`: 0, or the error with a
    // German reason. Something at `path` other than a snapshot of ours is
    // never replaced (EEXIST).
    int Begin(const std::string& path, const Description& description, std::string& reason);
    // The folders in walk order, each after its parent: the first is the
    // root (parent -1, no name), and each one's id is its position. error
    // and reason: its listing broke off (what was read of it follows).
    void AddFolder(int64_t parent, std::string_view name, bool system, int error, std::string_view reason);
    // A file or link of a folder (Entry::kind File or Link), or a name
    // there that could not be inspected (Unknown, with error and reason).
    void AddEntry(int64_t folder, std::string_view name, const SnapshotFile::Entry& entry, int error = 0,
                  std::string_view reason = {});
    // Completes the file, puts it on the disk and renames it into place: 0,
    // or the first error of the whole writing with its reason (nothing is
    // then at `path` that was not there before).
    int Finish(std::string& reason);

private:
    void Fail(int code);
    void Abandon();

    sqlite3* db_ = nullptr;
    sqlite3_stmt* folder_ = nullptr;
    sqlite3_stmt* entry_ = nullptr;
    std::string path_;
    std::string temporary_;
    int64_t folders_ = 0;
    int64_t files_ = 0;
    int error_ = 0;
    std::string reason_;
};

}  // namespace kirvo
