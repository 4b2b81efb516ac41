#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/content_hash.h"
#include "platform/file_node.h"
#include "sync/observed_file.h"

namespace kirvo {

// What is known of one file's content: the hash of its bytes when they were
// last read whole, and the file as it stood then.
struct KeptContent {
    ContentHash hash;
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t device = 0;  // 0 where the side tells none (another machine)
    uint64_t inode = 0;
    int64_t ctimeNs = 0;
    int64_t goodSince = 0;     // when the bytes were last read and found to be these (Unix seconds)
    int64_t damagedSince = 0;  // when other bytes were found under the same size and time; 0: never

    static KeptContent Of(const ContentHash& hash, const NodeInfo& file, int64_t now);
    // Whether a file that shows `now` still holds these bytes without being
    // read: size, time to the nanosecond, inode and change time unmoved (the
    // device number is left out: a disk plugged in again may get another; the
    // pair's key already names its file system). Never for a damaged one.
    bool StillHeldBy(const NodeInfo& now) const;
    // Whether an edit would have moved the file's size or time: other bytes
    // under the same size and time are damage. A file put in its place (a
    // copy, an editor's save) has another inode, where the side tells one;
    // a rotting block moves none of them.
    bool SameSizeAndTime(uint64_t otherSize, int64_t otherMtimeNs, uint64_t otherInode) const {
        return size == otherSize && mtimeNs == otherMtimeNs && (inode == 0 || otherInode == 0 || inode == otherInode);
    }
    bool damaged() const { return damagedSince != 0; }
};

// A file as a comparison saw it, as a file system describes it.
NodeInfo ObservedNodeInfo(const ObservedFile& file);

// What reading a whole file tells against its record.
enum class ContentFinding {
    New,        // no record before: recorded now
    Confirmed,  // the recorded bytes
    Edited,     // its size or time moved: the new bytes are recorded
    Damaged,    // other bytes under the same size and time: the record of the good ones stays
};

// The content records of one pair, per side, by each side's own relative path.
class ContentRecords {
public:
    struct Change {
        SyncSide side;
        std::string path;
        KeptContent content;
    };

    const KeptContent* Find(SyncSide side, std::string_view path) const;
    // A record as it was saved.
    void Add(SyncSide side, std::string path, const KeptContent& content);
    // A file just read whole (its identity as opened): compares with the
    // record, keeps what is learnt, and says what it found.
    ContentFinding Take(SyncSide side, std::string_view path, const ContentHash& hash, const NodeInfo& file, int64_t now);
    // The record is taken as it stands (a copy Kirvo made, or read while copying).
    void Put(SyncSide side, std::string_view path, const KeptContent& content);
    // What changed since the last call, to be saved; in order of change.
    std::vector<Change> TakeChanges();
    bool hasChanges() const { return !changed_.empty(); }
    size_t size() const { return sides_[0].size() + sides_[1].size(); }

private:
    std::unordered_map<std::string, KeptContent>& Of(SyncSide side) { return sides_[side == SyncSide::Source ? 0 : 1]; }
    const std::unordered_map<std::string, KeptContent>& Of(SyncSide side) const {
        return sides_[side == SyncSide::Source ? 0 : 1];
    }
    void Changed(SyncSide side, std::string_view path);

    std::unordered_map<std::string, KeptContent> sides_[2];
    std::vector<std::pair<SyncSide, std::string>> changed_;
};

}  // namespace kirvo
