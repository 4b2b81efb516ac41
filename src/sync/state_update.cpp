#include "sync/state_update.h"

namespace kirvo {
namespace {

bool Unknown(const ObservedPath& p, const UnknownPlaces* unknown) {
    for (const SyncSide side : {SyncSide::Source, SyncSide::Target})
        if (p.on(side).kind == ObservedFile::Kind::Unknown ||
            (unknown != nullptr && unknown->contains(side, p.folder, p.name)))
            return true;
    return false;
}

bool Unchanged(const ObservedPath& p, const FileRecord& record) {
    return !ChangedSince(p.source, record.source, record.legacy) && !ChangedSince(p.target, record.target, record.legacy);
}

}  // namespace

StateUpdate ComputeStateUpdate(std::span<const ObservedPath> after, const SyncState* before,
                               const PairSettings& settings, const UnknownPlaces* unknown,
                               const std::function<bool(std::string_view, std::string_view)>& excluded,
                               const ConfirmedEqual& confirmed) {
    StateUpdate update;
    update.settings = settings;
    const bool filterChanged = before != nullptr && before->settings.filterHash != settings.filterHash;
    std::vector<bool> seen(before != nullptr ? before->size() : 0, false);
    for (const ObservedPath& p : after) {
        uint32_t old = before != nullptr ? before->find(p.folder, p.name) : SyncState::kNone;
        // Renamed in case on the source since: recorded under the name the target still has.
        const bool renamed = old == SyncState::kNone && before != nullptr && !p.targetName.empty();
        if (renamed) old = before->find(p.pathOn(SyncSide::Target));
        const bool both = p.source.present() && p.target.present();
        if (Unknown(p, unknown) || !both) {
            if (old == SyncState::kNone) continue;
            seen[old] = true;
            if (!Unknown(p, unknown) && filterChanged && !renamed)
                update.removals.push_back({p.folder, p.name, before->targetPath(old)});
            continue;
        }
        const bool folder = p.isFolder();
        const bool equal = folder || (p.verdict == CompareVerdict::Equal && p.source.size == p.target.size);
        const FileRecord* was = old != SyncState::kNone ? &before->record(old) : nullptr;
        const bool trusted = folder || (was != nullptr && Unchanged(p, *was)) || !confirmed || confirmed(p);
        if (!equal || !trusted) {
            if (old != SyncState::kNone) seen[old] = true;  // kept as it was
            continue;
        }
        FileRecord now;
        if (!folder) now = {SideRecord::Of(p.source), SideRecord::Of(p.target)};
        const std::string targetPath = p.targetName.empty() ? std::string() : p.pathOn(SyncSide::Target);
        if (!renamed && old != SyncState::kNone) seen[old] = true;
        if (renamed || was == nullptr || !(*was == now) || before->targetPath(old) != targetPath)
            update.puts.push_back({p.folder, p.name, now, targetPath});
    }
    for (uint32_t i = 0; i < seen.size(); ++i) {
        if (seen[i]) continue;
        const std::string_view folder = before->folder(i);
        const std::string_view name = before->name(i);
        bool keep = excluded && excluded(folder, name);
        for (const SyncSide side : {SyncSide::Source, SyncSide::Target})
            keep = keep || (unknown != nullptr && unknown->contains(side, folder, name));
        if (!keep) update.removals.push_back({folder, name, before->targetPath(i)});
    }
    return update;
}

}  // namespace kirvo
