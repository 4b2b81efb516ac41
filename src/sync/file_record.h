#pragma once
#include <cstdint>

#include "sync/observed_file.h"

namespace kirvo {

// One side's file as it was at the end of its last successful synchronisation:
// what decides whether it changed since. A folder's record has no figures.
struct SideRecord {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t device = 0;  // 0 with inode 0: no stable identity on that side
    uint64_t inode = 0;
    int64_t ctimeNs = 0;  // 0: not known

    static SideRecord Of(const ObservedFile& file) {
        return {file.size, file.mtimeNs, file.device, file.inode, file.ctimeNs};
    }
    friend bool operator==(const SideRecord&, const SideRecord&) = default;
};

// A path's record: both files (or folders) were there and equal when it was made.
struct FileRecord {
    SideRecord source;
    SideRecord target;
    // Made by an older version: times kept to the millisecond, no change
    // times, and the target's own name not kept (it may differ in case).
    bool legacy = false;

    const SideRecord& on(SyncSide side) const { return side == SyncSide::Source ? source : target; }
    friend bool operator==(const FileRecord&, const FileRecord&) = default;
};

// Whether a present file differs from its record, exactly: size, time to the
// nanosecond as the file system gives it (to the millisecond against a legacy
// record), the change time where both know one, and, where both carry a
// stable identity of the same device, the inode (a file replaced by another
// of the same size and time). Device numbers of removable and network file
// systems change from mount to mount, so another device is no change by
// itself; the change time is kept on disk and survives that. Never a
// tolerance: that is for comparing the two sides with each other.
inline bool ChangedSince(const ObservedFile& now, const SideRecord& record, bool legacy = false) {
    if (now.size != record.size) return true;
    const int64_t mtime = legacy ? now.mtimeNs - ((now.mtimeNs % 1'000'000) + 1'000'000) % 1'000'000 : now.mtimeNs;
    if (mtime != record.mtimeNs) return true;
    if (now.ctimeNs != 0 && record.ctimeNs != 0 && now.ctimeNs != record.ctimeNs) return true;
    return now.inode != 0 && record.inode != 0 && now.device == record.device && now.inode != record.inode;
}

}  // namespace kirvo
