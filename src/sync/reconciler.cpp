#include "sync/reconciler.h"

#include "sync/case_names.h"
#include "sync/move_detection.h"
#include "sync/tree_shape.h"

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

// Equal by the comparison, and of the same size (times within the
// tolerance say "equal" whatever the sizes are).
bool LooksEqual(const ObservedPath& p) {
    return p.verdict == CompareVerdict::Equal && p.source.size == p.target.size;
}

SyncDecision Mirrored(const ObservedPath& p, SyncSide from) {
    const SyncSide to = Other(from);
    if (!p.on(from).present()) return {DeleteIn(to), SyncReason::MirrorExtra, to};
    if (!p.on(to).present()) return {CopyTo(to), SyncReason::MirrorMissing, to};
    if (LooksEqual(p)) return {SyncAction::Nothing, SyncReason::Equal, to};
    return {CopyTo(to), SyncReason::MirrorDifferent, to};
}

// Each side's file against the path's record.
enum class Since : uint8_t { Absent, New, Unchanged, Changed, Deleted };

Since StatusOf(const ObservedFile& file, const FileRecord* record, SyncSide side) {
    if (file.present())
        return record == nullptr                                      ? Since::New
               : ChangedSince(file, record->on(side), record->legacy) ? Since::Changed
                                                                      : Since::Unchanged;
    return record == nullptr ? Since::Absent : Since::Deleted;
}

// The two-way rules for a path that is no move. "Changed" is exact, against
// each side's own record; the comparison's "equal" (within its tolerance)
// counts only where neither side changed, or where both files are read and
// hold the same bytes:
//   unchanged on both and equal             nothing
//   changed or new on one or both sides, yet the same bytes: nothing (recorded again)
//   changed on one side only                copied to the other
//   deleted on one side, unchanged on the other: deleted there, unless the
//     filter changed since the record (then it might be a file the old filter
//     left out: copied back instead)
//   deleted on one side, changed on the other: the changed one is copied back
//   changed on both, new on both, or unchanged on both yet unequal: conflict
// A folder is there or not: new on one side, made on the other; deleted on
// one side, removed on the other (once nothing is left in it: TreeShape).
SyncDecision TwoWay(const ReconcileInput& input, uint32_t i, const FileRecord* record, bool filterChanged) {
    const ObservedPath& p = input.paths[i];
    const Since s = StatusOf(p.source, record, SyncSide::Source);
    const Since t = StatusOf(p.target, record, SyncSide::Target);
    if (p.source.present() && p.target.present()) {
        if (p.isFolder() || (s == Since::Unchanged && t == Since::Unchanged && LooksEqual(p)))
            return {SyncAction::Nothing, SyncReason::Equal, SyncSide::Source};
        if (LooksEqual(p) && input.sameBytes && input.sameBytes(i))
            return {SyncAction::Nothing, SyncReason::SameContent, SyncSide::Source};
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
        if (status == Since::Changed && !p.isFolder())
            return {CopyTo(there), SyncReason::DeletedChangedElsewhere, there};
        if (filterChanged) return {CopyTo(there), SyncReason::DeletedFilterChanged, there};
        return {DeleteIn(here), SyncReason::Deleted, there};
    }
    return {SyncAction::Nothing, SyncReason::Equal, SyncSide::Source};  // in no tree: nothing to do
}

// The record of a path: under the source's name, or, renamed in case on the
// source since, under the target's.
uint32_t RecordOf(const SyncState& state, const ObservedPath& p) {
    const uint32_t found = state.find(p.folder, p.name);
    if (found != SyncState::kNone || p.targetName.empty()) return found;
    return state.find(p.targetFolder, p.targetName);
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
        case SyncMode::Update:
            if (!paths[i].isFolder()) d = Compared(paths[i], SyncReason::Compared);
            break;
        case SyncMode::Mirror: d = Mirrored(paths[i], input.mirrorFrom); break;
        case SyncMode::TwoWay:
            if (!remembered) {
                d = Compared(paths[i], SyncReason::FirstRun);
                if (d.action == SyncAction::Nothing) d.reason = SyncReason::Equal;
                break;
            }
            recordOf[i] = RecordOf(*input.state, paths[i]);
            d = TwoWay(input, i, recordOf[i] == SyncState::kNone ? nullptr : &input.state->record(recordOf[i]),
                       input.state->settings.filterHash != input.filterHash);
            break;
        }
    }
    if (input.mode == SyncMode::Update) return decisions;
    if (remembered) {
        DetectRecordedMoves(SyncSide::Source, paths, *input.state, recordOf, decisions);
        DetectRecordedMoves(SyncSide::Target, paths, *input.state, recordOf, decisions);
    } else if (input.mode == SyncMode::Mirror) {
        DetectContentMoves(input, decisions);
    }
    DecideCaseNames(input, recordOf, decisions);
    ResolveTreeShape(paths, decisions);
    return decisions;
}

std::string ExplainDecision(const ReconcileInput& input, std::span<const PathDecision> decisions, uint32_t i) {
    const SyncDecision& d = decisions[i].planned;
    const ObservedPath& p = input.paths[i];
    std::string partner;
    if (d.partner != SyncDecision::kNoPartner) partner = input.paths[d.partner].pathOn(d.side);
    std::string_view detail = p.conflictReason;
    if (d.reason == SyncReason::Unreadable && input.unknown != nullptr)
        if (const std::string* reason = input.unknown->find(d.side, p.folder, p.name)) detail = *reason;
    return ReasonText(d, partner, detail);
}

}  // namespace kirvo
