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

}  // namespace

StateUpdate ComputeStateUpdate(std::span<const ObservedPath> after, const SyncState* before,
                               const PairSettings& settings, const UnknownPlaces* unknown,
                               const std::function<bool(std::string_view, std::string_view)>& excluded) {
    StateUpdate update;
    update.settings = settings;
    const bool filterChanged = before != nullptr && before->settings.filterHash != settings.filterHash;
    std::vector<bool> seen(before != nullptr ? before->size() : 0, false);
    for (const ObservedPath& p : after) {
        const uint32_t old = before != nullptr ? before->find(p.folder, p.name) : SyncState::kNone;
        if (old != SyncState::kNone) seen[old] = true;
        if (Unknown(p, unknown)) continue;
        if (p.source.present() && p.target.present() && p.verdict == CompareVerdict::Equal &&
            p.source.size == p.target.size) {
            const FileRecord now{SideRecord::Of(p.source), SideRecord::Of(p.target)};
            if (old == SyncState::kNone || !(before->record(old) == now))
                update.puts.push_back({p.folder, p.name, now});
        } else if (old != SyncState::kNone && filterChanged && !(p.source.present() && p.target.present())) {
            update.removals.push_back({p.folder, p.name});
        }
    }
    for (uint32_t i = 0; i < seen.size(); ++i) {
        if (seen[i]) continue;
        const std::string_view folder = before->folder(i);
        const std::string_view name = before->name(i);
        bool keep = excluded && excluded(folder, name);
        for (const SyncSide side : {SyncSide::Source, SyncSide::Target})
            keep = keep || (unknown != nullptr && unknown->contains(side, folder, name));
        if (!keep) update.removals.push_back({folder, name});
    }
    return update;
}

}  // namespace kirvo
