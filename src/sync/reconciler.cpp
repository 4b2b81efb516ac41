#include "sync/reconciler.h"

#include "sync/move_detection.h"

namespace kirvo {
namespace {

SyncAction CopyTo(SyncSide side) {
    return side == SyncSide::Source ? SyncAction::CopyToSource : SyncAction::CopyToTarget;
}
SyncAction DeleteIn(SyncSide side) {
    return side == SyncSide::Source ? SyncAction::DeleteInSource : SyncAction::DeleteInTarget;
}

// An unreadable side leaves the path alone, whatever else holds.
bool MarkUnknown(const ReconcileInput& input, const ObservedPath& p, SyncDecision& d) {
    for (const SyncSide side : {SyncSide::Source, SyncSide::Target}) {
        if (p.on(side).kind == ObservedFile::Kind::Unknown ||
            (input.unknown != nullptr && input.unknown->contains(side, p.folder, p.name))) {
            d = {SyncAction::Unknown, SyncReason::Unreadable, side};
            return true;
        }
    }
    return false;
}

SyncDecision Compared(const ObservedPath& p, SyncReason reason) {
    switch (p.verdict) {
    case CompareVerdict::ToTarget: return {SyncAction::CopyToTarget, reason, SyncSide::Source};
    case CompareVerdict::ToSource: return {SyncAction::CopyToSource, reason, SyncSide::Target};
    case CompareVerdict::Conflict: return {SyncAction::Conflict, reason, SyncSide::Source};
    case CompareVerdict::Equal: break;
    }
    return {SyncAction::Nothing, SyncReason::Equal, SyncSide::Source};
}

SyncDecision Mirrored(const ObservedPath& p, SyncSide from) {
    const SyncSide to = Other(from);
    if (!p.on(from).present()) return {DeleteIn(to), SyncReason::MirrorExtra, to};
    if (!p.on(to).present()) return {CopyTo(to), SyncReason::MirrorMissing, to};
    if (p.verdict == CompareVerdict::Equal) return {SyncAction::Nothing, SyncReason::Equal, to};
    return {CopyTo(to), SyncReason::MirrorDifferent, to};
}

// Each side's file against the path's record.
enum class Since : uint8_t { Absent, New, Unchanged, Changed, Deleted };

Since StatusOf(const ObservedFile& file, const FileRecord* record, SyncSide side) {
    if (file.present())
        return record == nullptr                      ? Since::New
               : ChangedSince(file, record->on(side)) ? Since::Changed
                                                      : Since::Unchanged;
    return record == nullptr ? Since::Absent : Since::Deleted;
}

// The two-way rules for a path that is no move:
//   equal now (and of the same size)        nothing (and recorded again)
//   changed on one side only, or new there  copied to the other
//   deleted on one side, unchanged on the other: deleted there, unless the
//     filter changed since the record (then it might be a file the old filter
//     left out: copied back instead)
//   deleted on one side, changed on the other: the changed one is copied back
//   changed on both, new on both, or unchanged on both yet unequal: conflict
SyncDecision TwoWay(const ObservedPath& p, const FileRecord* record, bool filterChanged) {
    const Since s = StatusOf(p.source, record, SyncSide::Source);
    const Since t = StatusOf(p.target, record, SyncSide::Target);
    if (p.source.present() && p.target.present()) {
        // Times within the tolerance say "equal"; a size that differs says
        // otherwise (a file saved again within two seconds of the last run).
        if (p.verdict == CompareVerdict::Equal && p.source.size == p.target.size)
            return {SyncAction::Nothing, SyncReason::Equal, SyncSide::Source};
        if (s == Since::Changed && t == Since::Unchanged)
            return {SyncAction::CopyToTarget, SyncReason::Changed, SyncSide::Source};
        if (s == Since::Unchanged && t == Since::Changed)
            return {SyncAction::CopyToSource, SyncReason::Changed, SyncSide::Target};
        const SyncReason why = s == Since::New                                  ? SyncReason::NewOnBoth
                               : s == Since::Unchanged && t == Since::Unchanged ? SyncReason::UnequalUnchanged
                                                                                : SyncReason::ChangedOnBoth;
        return {SyncAction::Conflict, why, SyncSide::Source};
    }
    for (const SyncSide here : {SyncSide::Source, SyncSide::Target}) {
        const SyncSide there = Other(here);
        const Since status = here == SyncSide::Source ? s : t;
        if (!p.on(here).present()) continue;
        if (status == Since::New) return {CopyTo(there), SyncReason::New, here};
        if (status == Since::Changed) return {CopyTo(there), SyncReason::DeletedChangedElsewhere, there};
        if (filterChanged) return {CopyTo(there), SyncReason::DeletedFilterChanged, there};
        return {DeleteIn(here), SyncReason::Deleted, there};
    }
    return {SyncAction::Nothing, SyncReason::Equal, SyncSide::Source};  // in no tree: nothing to do
}

}  // namespace

std::vector<PathDecision> Reconcile(const ReconcileInput& input) {
    const auto& paths = input.paths;
    std::vector<PathDecision> decisions(paths.size());
    const bool remembered = input.mode == SyncMode::TwoWay && input.state != nullptr;
    std::vector<uint32_t> recordOf;
    if (remembered) recordOf.assign(paths.size(), SyncState::kNone);
    for (uint32_t i = 0; i < paths.size(); ++i) {
        SyncDecision& d = decisions[i].planned;
        if (MarkUnknown(input, paths[i], d)) continue;
        if (!paths[i].source.present() && !paths[i].target.present()) continue;  // nothing there to act on
        switch (input.mode) {
        case SyncMode::Update: d = Compared(paths[i], SyncReason::Compared); break;
        case SyncMode::Mirror: d = Mirrored(paths[i], input.mirrorFrom); break;
        case SyncMode::TwoWay:
            if (!remembered) {
                d = Compared(paths[i], SyncReason::FirstRun);
                if (d.action == SyncAction::Nothing) d.reason = SyncReason::Equal;
                break;
            }
            recordOf[i] = input.state->find(paths[i].folder, paths[i].name);
            d = TwoWay(paths[i], recordOf[i] == SyncState::kNone ? nullptr : &input.state->record(recordOf[i]),
                       input.state->settings.filterHash != input.filterHash);
            break;
        }
    }
    if (remembered) {
        DetectRecordedMoves(SyncSide::Source, paths, *input.state, recordOf, decisions);
        DetectRecordedMoves(SyncSide::Target, paths, *input.state, recordOf, decisions);
    } else if (input.mode == SyncMode::Mirror) {
        DetectContentMoves(input, decisions);
    }
    return decisions;
}

std::string ExplainDecision(const ReconcileInput& input, std::span<const PathDecision> decisions, uint32_t i) {
    const SyncDecision& d = decisions[i].planned;
    const ObservedPath& p = input.paths[i];
    std::string partner;
    if (d.partner != SyncDecision::kNoPartner) partner = input.paths[d.partner].relativePath();
    std::string_view detail = p.conflictReason;
    if (d.reason == SyncReason::Unreadable && input.unknown != nullptr)
        if (const std::string* reason = input.unknown->find(d.side, p.folder, p.name)) detail = *reason;
    return ReasonText(d, partner, detail);
}

}  // namespace kirvo
