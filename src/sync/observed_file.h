#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// The two trees of a pair, as the state and the decisions name them.
enum class SyncSide : uint8_t { Source, Target };

inline SyncSide Other(SyncSide side) { return side == SyncSide::Source ? SyncSide::Target : SyncSide::Source; }

// One side's file at one relative path, as a comparison saw it.
struct ObservedFile {
    enum class Kind : uint8_t {
        Absent,   // the listing was read and has no file there
        Unknown,  // could not be read: neither there nor missing (the reason is in UnknownPlaces)
        Present,
    };
    Kind kind = Kind::Absent;
    uint64_t size = 0;
    int64_t mtimeNs = 0;  // UTC, nanoseconds since 1970 (whole seconds where the side has no finer time)
    // The file's identity where the file system keeps it stable: both 0
    // otherwise (remote roots; file systems that invent inode numbers per mount).
    uint64_t device = 0;
    uint64_t inode = 0;
    // When the inode last changed (UTC nanoseconds), where the file system
    // keeps inodes stable; 0 otherwise. Content, times, rights and renames move it.
    int64_t ctimeNs = 0;

    bool present() const { return kind == Kind::Present; }
    bool hasIdentity() const { return inode != 0; }

    static ObservedFile Absent() { return {}; }
    static ObservedFile Unknown() { return {Kind::Unknown, 0, 0, 0, 0, 0}; }
    static ObservedFile Present(uint64_t size, int64_t mtimeNs, uint64_t device = 0, uint64_t inode = 0,
                                int64_t ctimeNs = 0) {
        return {Kind::Present, size, mtimeNs, device, inode, ctimeNs};
    }
    friend bool operator==(const ObservedFile&, const ObservedFile&) = default;
};

// What the caller's comparison says of the two files of one path.
enum class CompareVerdict : uint8_t {
    Equal,     // equal under the compare setting in use
    ToTarget,  // the source's is newer, or only the source has one
    ToSource,  // the target's is newer, or only the target has one
    Conflict,  // unequal without a direction
};

// One relative path of a pair: the folder ("" for the root, else names each
// followed by '/') and the name, as bytes; both borrowed from the caller. A
// folder is a path of its own, its name ending in '/' ("a/" and "b/" for
// "a/b/"), present on a side where that side has the folder.
struct ObservedPath {
    std::string_view folder;
    std::string_view name;
    ObservedFile source;
    ObservedFile target;
    CompareVerdict verdict = CompareVerdict::Equal;
    std::string_view conflictReason;  // the comparison's reason for Conflict, borrowed
    // The target's own folder and name where both sides have the path and
    // name it differently (in letter case only: paths pair ignoring case);
    // empty otherwise.
    std::string_view targetFolder = {};
    std::string_view targetName = {};

    const ObservedFile& on(SyncSide side) const { return side == SyncSide::Source ? source : target; }
    bool isFolder() const { return !name.empty() && name.back() == '/'; }
    std::string relativePath() const { return std::string(folder).append(name); }
    // The path as `side` names it.
    std::string pathOn(SyncSide side) const {
        return side == SyncSide::Target && !targetName.empty() ? std::string(targetFolder).append(targetName)
                                                                : relativePath();
    }
    std::string_view nameOn(SyncSide side) const {
        return side == SyncSide::Target && !targetName.empty() ? targetName : name;
    }
};

}  // namespace kirvo
