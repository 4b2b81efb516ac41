#include "sync/damage_guard.h"

namespace kirvo {
namespace {

// The damaged record of the file on `side`, where the file still shows its size and time.
const KeptContent* DamagedOn(const ObservedPath& path, SyncSide side, const ContentRecords& records) {
    const ObservedFile& file = path.on(side);
    if (!file.present()) return nullptr;
    const KeptContent* kept = records.Find(side, path.pathOn(side));
    return kept != nullptr && kept->damaged() && kept->SameSizeAndTime(file.size, file.mtimeNs, file.inode) ? kept : nullptr;
}

bool StillGood(const ObservedFile& file, const KeptContent* kept, const ContentHash& good) {
    return file.present() && kept != nullptr && !kept->damaged() && kept->hash == good &&
           kept->size == file.size && kept->mtimeNs == file.mtimeNs && file.inode != 0 && kept->inode == file.inode &&
           kept->ctimeNs == file.ctimeNs;
}

bool CopiesFrom(SyncAction action, SyncSide side) {
    return action == (side == SyncSide::Source ? SyncAction::CopyToTarget : SyncAction::CopyToSource);
}

// A copy from `side` is planned over a file whose record has its size and
// time, though its identity moved: its bytes now tell whether it is damaged.
void CheckBeforeCopy(const ObservedPath& path, SyncSide side, ContentRecords& records, ReadNow readNow, int64_t now) {
    const ObservedFile& file = path.on(side);
    const std::string own = path.pathOn(side);
    const KeptContent* kept = records.Find(side, own);
    if (kept == nullptr || kept->damaged() || !kept->SameSizeAndTime(file.size, file.mtimeNs, file.inode)) return;
    if (file.inode != 0 && kept->inode == file.inode && kept->ctimeNs == file.ctimeNs) return;  // unmoved: as recorded
    if (const std::optional<ContentHash> hash = readNow(side, own); hash && *hash != kept->hash)
        records.Take(side, own, *hash, ObservedNodeInfo(file), now);
}

}  // namespace

void GuardDamage(std::span<const ObservedPath> paths, std::span<PathDecision> decisions, ContentRecords& records,
                 ChangedSides sides, ReadNow readNow, int64_t now) {
    if (records.size() == 0) return;
    for (size_t i = 0; i < paths.size() && i < decisions.size(); ++i) {
        const ObservedPath& path = paths[i];
        if (path.isFolder() || !path.source.present() || !path.target.present()) continue;
        for (const SyncSide side : {SyncSide::Source, SyncSide::Target})
            if (CopiesFrom(decisions[i].planned.action, side)) CheckBeforeCopy(path, side, records, readNow, now);
        for (const SyncSide side : {SyncSide::Source, SyncSide::Target}) {
            const KeptContent* damaged = DamagedOn(path, side, records);
            if (damaged == nullptr) continue;
            SyncDecision& d = decisions[i].planned;
            const SyncSide other = Other(side);
            const bool mayChange = side == SyncSide::Source ? sides.source : sides.target;
            if (mayChange && DamagedOn(path, other, records) == nullptr &&
                StillGood(path.on(other), records.Find(other, path.pathOn(other)), damaged->hash)) {
                d = {side == SyncSide::Source ? SyncAction::CopyToSource : SyncAction::CopyToTarget, SyncReason::Repair,
                     side};
            } else if (d.action == SyncAction::Nothing || CopiesFrom(d.action, side)) {
                d = {SyncAction::Conflict, SyncReason::Damaged, side};
            }
            break;
        }
    }
}

}  // namespace kirvo
