#pragma once
#include <cstdint>

#include "sync/observed_file.h"

namespace kirvo {

// One side's file as it was at the end of its last successful synchronisation:
// what decides whether it changed since.
struct SideRecord {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t device = 0;  // 0 with inode 0: no stable identity on that side
    uint64_t inode = 0;

    static SideRecord Of(const ObservedFile& file) { return {file.size, file.mtimeNs, file.device, file.inode}; }
    friend bool operator==(const SideRecord&, const SideRecord&) = default;
};

// A path's record: both files were there and equal when it was made.
struct FileRecord {
    SideRecord source;
    SideRecord target;

    const SideRecord& on(SyncSide side) const { return side == SyncSide::Source ? source : target; }
    friend bool operator==(const FileRecord&, const FileRecord&) = default;
};

// Whether a present file differs from its record: size or time, or, where
// both carry a stable identity of the same device, the inode (a file replaced
// by another of the same size and time). Device numbers of removable and
// network file systems change from mount to mount, so another device is no
// change by itself.
inline bool ChangedSince(const ObservedFile& now, const SideRecord& record) {
    if (now.size != record.size || now.mtimeNs != record.mtimeNs) return true;
    return now.inode != 0 && record.inode != 0 && now.device == record.device && now.inode != record.inode;
}

}  // namespace kirvo
