#include "sync/deletion_guard.h"

namespace kirvo {
namespace {

constexpr uint64_t kMassDeletionMinimum = 10;

bool Touches(SyncAction action) {
    return action != SyncAction::Nothing && action != SyncAction::Conflict && action != SyncAction::Unknown;
}

bool UnknownAt(const GuardInput& input, uint32_t i) {
    const ObservedPath& p = input.paths[i];
    for (const SyncSide side : {SyncSide::Source, SyncSide::Target})
        if (p.on(side).kind == ObservedFile::Kind::Unknown ||
            (input.unknown != nullptr && input.unknown->contains(side, p.folder, p.name)))
            return true;
    return false;
}

void Judge(SideGuard& side, const SideGuard& other, bool runActs, const std::optional<DeleteLimit>& limit) {
    side.massDeletion = limit ? !limit->allows(side.deletes, side.files)
                              : side.deletes >= kMassDeletionMinimum && side.deletes * 2 > side.files;
    const bool empty = side.missing || side.files == 0;
    const bool heldFiles = side.recorded > 0 || other.deletes > 0;
    side.emptyRoot = empty && heldFiles && runActs && !(limit && limit->allows(other.deletes, other.files));
}

}  // namespace

GuardReport CheckGuards(const GuardInput& input) {
    GuardReport report;
    report.source.missing = input.sourceMissing;
    report.target.missing = input.targetMissing;
    report.source.recorded = report.target.recorded = input.state != nullptr ? input.state->files() : 0;
    bool runActs = false;
    for (uint32_t i = 0; i < input.paths.size(); ++i) {
        const ObservedPath& p = input.paths[i];
        if (p.source.present()) ++report.source.files;
        if (p.target.present()) ++report.target.files;
        if (i >= input.decisions.size()) continue;
        const PathDecision& d = input.decisions[i];
        const SyncAction action = d.effective();
        if (!Touches(action)) continue;
        const bool move = action == SyncAction::MoveInSource || action == SyncAction::MoveInTarget;
        if (UnknownAt(input, i) ||
            (move && (d.planned.partner >= input.paths.size() || UnknownAt(input, d.planned.partner)))) {
            report.unsafe.push_back(i);
            continue;
        }
        runActs = true;
        if (action == SyncAction::DeleteInSource) ++report.source.deletes;
        if (action == SyncAction::DeleteInTarget) ++report.target.deletes;
    }
    Judge(report.source, report.target, runActs, input.limit);
    Judge(report.target, report.source, runActs, input.limit);
    return report;
}

}  // namespace kirvo
