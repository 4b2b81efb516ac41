// SyncSession: doing the work, and what the run leaves known for the state
// and for the report of what stayed unequal.
#include <ctime>
#include <string_view>

#include "engine/text_compare.h"
#include "engine/tree_matcher.h"
#include "platform/translation.h"
#include "sync/sync_session.h"

namespace kirvo {
namespace {


ObservedFile Placed(const FileStamp& stamp) {
    return ObservedFile::Present(stamp.size, stamp.seconds * 1'000'000'000 + stamp.nanoseconds, stamp.device, stamp.inode);
}

// Why a request left a path as it was, or "" when it was done.
std::string NotDone(const FileReport& report) {
    switch (report.outcome) {
    case FileOutcome::Done: return {};
    case FileOutcome::Skipped: return Format(Tr("übersprungen: %s"), report.reason);
    case FileOutcome::Failed: return Format(Tr("fehlgeschlagen: %s"), report.reason);
    case FileOutcome::Cancelled: return Tr("abgebrochen");
    }
    return {};
}

// Each request's items with their reports, in request order.
template <class Item, class Visit>
void EachDone(const std::vector<Item>& items, const std::optional<OperationResult>& result, Visit visit) {
    if (!result) return;
    for (size_t k = 0; k < items.size() && k < result->files.size(); ++k) visit(items[k], result->files[k]);
}

// What the plan names beyond the work: the folders the comparison found, so
// that those the copies make are named, and the conflicts left as they are.
SyncPlanSummary::Known KnownOf(const SyncSession& session, const TreeMatcher* matcher) {
    SyncPlanSummary::Known known;
    if (matcher == nullptr) return known;
    known.folders[0] = &matcher->folders(kSourceSide);
    known.folders[1] = &matcher->folders(kTargetSide);
    const std::span<const FilePair> pairs = matcher->pairs();
    const std::span<const PathDecision> decisions = session.decisions();
    for (size_t i = 0; i < pairs.size() && i < decisions.size(); ++i) {
        if (decisions[i].planned.action != SyncAction::Conflict) continue;
        const FileEntry* named = pairs[i].source ? pairs[i].source : pairs[i].target;
        const std::string why = session.mode() == SyncMode::Update ? std::string(matcher->conflictReason(i))
                                                                    : session.Explain(i);
        known.conflicts.push_back(named->relativePath() + (why.empty() ? "" : " – " + why));
    }
    return known;
}

}  // namespace

bool SyncQuestions::ConfirmPlan(SyncPlanSummary& plan) {
    for (SyncPlanSummary::Group& group : plan.groups()) {
        if (!group.declinable) continue;
        const bool copies = group.part == SyncPlanSummary::Part::ToTarget || group.part == SyncPlanSummary::Part::ToSource;
        group.accepted = Confirm(copies ? Kind::Copies : Kind::Moves, group.text);
    }
    return true;
}

SyncOutcome SyncSession::Run(const SyncWork& work, SyncQuestions& questions, FileOperationService& service,
                             const CopyFlags& copyFlags, const DeleteFlags& deleteFlags) {
    SyncOutcome outcome;
    evidence_.clear();
    left_.clear();
    if (const GuardReport report = Guards(); report.needsConfirmation()) {
        outcome.refusal = GuardText(report);
        if (!questions.Confirm(SyncQuestions::Kind::Guard, outcome.refusal + Tr("\n\nTrotzdem abgleichen?"))) {
            outcome.refused = true;
            return outcome;
        }
        outcome.refusal.clear();
    }
    // Every question comes before anything is done.
    SyncPlanSummary plan(work, deleteFlags.useTrash, KnownOf(*this, matcher_));
    if (!plan.empty() && !questions.ConfirmPlan(plan)) {
        KeepEvidence(work, outcome);
        return outcome;
    }
    using Part = SyncPlanSummary::Part;
    const bool toTarget = plan.accepted(Part::ToTarget), toSource = plan.accepted(Part::ToSource);
    const bool moveSource = plan.accepted(Part::MovesInSource), moveTarget = plan.accepted(Part::MovesInTarget);
    CopyFlags flags = copyFlags;
    const DeleteFlags& removal = deleteFlags;

    // What frees a path goes before what fills it: a file replaced by a
    // folder, a rename onto a name a deletion frees, a folder replaced by a
    // file all finish in one run.
    if (!work.deleteInSource.empty()) outcome.deletedInSource = service.remove(work.deleteInSource, removal);
    if (!work.deleteInTarget.empty()) outcome.deletedInTarget = service.remove(work.deleteInTarget, removal);
    if (moveSource) outcome.movedInSource = service.move(work.moveInSource);
    if (moveTarget) outcome.movedInTarget = service.move(work.moveInTarget);
    if (!work.foldersInSource.empty()) outcome.foldersInSource = service.removeEmptyFolders(work.foldersInSource);
    if (!work.foldersInTarget.empty()) outcome.foldersInTarget = service.removeEmptyFolders(work.foldersInTarget);
    flags.newerExpected = settings_.mode != SyncMode::Update;
    if (toTarget) outcome.copiedToTarget = service.copy(work.toTarget.pairs, flags);
    if (toSource) outcome.copiedToSource = service.copy(work.toSource.pairs, flags);
    // Copies make the folders they need (asking where the user wants that); the empty ones come last.
    if (!work.newFoldersInSource.empty()) outcome.newFoldersInSource = service.makeFolders(work.newFoldersInSource);
    if (!work.newFoldersInTarget.empty()) outcome.newFoldersInTarget = service.makeFolders(work.newFoldersInTarget);
    KeepEvidence(work, outcome);
    return outcome;
}

StoreError SyncSession::ForgetChangeTimesOfReplaced(const SyncWork& work, SyncStateStore& store,
                                                     const PairKey& pair) const {
    if (!remembers() || !state_) return {};
    StateUpdate update;
    update.settings = state_->settings;
    for (const SyncSide to : {SyncSide::Source, SyncSide::Target}) {
        const bool intoTarget = to == SyncSide::Target;
        for (const CopyPair& copy : intoTarget ? work.toTarget.pairs : work.toSource.pairs) {
            const uint32_t i = state_->find(intoTarget ? copy.from.relative() : copy.to.relative());
            if (i == SyncState::kNone || state_->isFolder(i) || state_->record(i).legacy) continue;
            FileRecord record = state_->record(i);
            SideRecord& replaced = to == SyncSide::Source ? record.source : record.target;
            if (replaced.ctimeNs == 0) continue;
            replaced.ctimeNs = 0;
            update.puts.push_back({state_->folder(i), state_->name(i), record, std::string(state_->targetPath(i))});
        }
    }
    if (!update.changesRecords()) return {};
    return store.save(pair, update);
}

void SyncSession::KeepEvidence(const SyncWork& work, const SyncOutcome& outcome) {
    if (matcher_ == nullptr) return;
    const size_t pairs = decisions_.size();
    for (size_t i = 0; i < pairs; ++i) {
        const SyncAction a = decisions_[i].effective();
        if (a == SyncAction::Conflict || a == SyncAction::Unknown) {
            const FilePair& pair = matcher_->pairs()[i];
            left_[(pair.source ? pair.source : pair.target)->relativePath()] = Explain(i);
        }
    }
    const auto notDone = [&](const RootedPath& path, const FileReport& report) {
        if (std::string why = NotDone(report); !why.empty()) left_[std::string(path.relative())] = std::move(why);
    };
    const auto listed = [&](const ListedPath& item, const FileReport& report) { notDone(item.path, report); };
    const auto moved = [&](const MovePair& item, const FileReport& report) { notDone(item.from, report); };
    const auto copied = [&](const CopyPair& item, const FileReport& report) { notDone(item.from, report); };
    EachDone(work.deleteInSource, outcome.deletedInSource, listed);
    EachDone(work.deleteInTarget, outcome.deletedInTarget, listed);
    EachDone(work.moveInSource, outcome.movedInSource, moved);
    EachDone(work.moveInTarget, outcome.movedInTarget, moved);
    EachDone(work.newFoldersInSource, outcome.newFoldersInSource, notDone);
    EachDone(work.newFoldersInTarget, outcome.newFoldersInTarget, notDone);
    EachDone(work.toTarget.pairs, outcome.copiedToTarget, copied);
    EachDone(work.toSource.pairs, outcome.copiedToSource, copied);
    KeepContent(work, outcome);
    if (!remembers()) return;

    // Pairs found equal although their times cannot tell (by their bytes, or
    // on the pair's first run by the comparison alone).
    for (size_t i = 0; i < pairs && i < paths_.size(); ++i) {
        const PathDecision& d = decisions_[i];
        if (d.effective() != SyncAction::Nothing || d.planned.action != SyncAction::Nothing) continue;
        if (d.planned.reason == SyncReason::SameContent || (!state_ && d.planned.reason == SyncReason::Equal))
            evidence_.add(paths_[i].relativePath(), paths_[i].source, paths_[i].target);
    }
    // What the run itself put in line: renames, then copies.
    std::unordered_map<std::string, size_t> indexOf;
    const auto find = [&](std::string_view relative) -> size_t {
        if (indexOf.empty())
            for (size_t i = 0; i < pairs && i < paths_.size(); ++i) indexOf.emplace(Folded(paths_[i].relativePath()), i);
        const auto it = indexOf.find(Folded(relative));
        return it == indexOf.end() ? SIZE_MAX : it->second;
    };
    for (const SyncSide side : {SyncSide::Source, SyncSide::Target}) {
        const bool inSource = side == SyncSide::Source;
        EachDone(inSource ? work.moveInSource : work.moveInTarget, inSource ? outcome.movedInSource : outcome.movedInTarget,
                 [&](const MovePair& move, const FileReport& report) {
                     const size_t i = find(move.to.relative());
                     if (move.folder || report.outcome != FileOutcome::Done || i == SIZE_MAX) return;
                     const size_t old = decisions_[i].planned.partner < pairs ? decisions_[i].planned.partner : i;
                     const ObservedFile renamed = SyncEvidence::WithoutChangeTime(paths_[old].on(side));
                     const ObservedFile& kept = paths_[i].on(Other(side));
                     evidence_.add(move.to.relative(), inSource ? renamed : kept, inSource ? kept : renamed);
                 });
    }
    for (const SyncSide to : {SyncSide::Source, SyncSide::Target}) {
        const bool intoTarget = to == SyncSide::Target;
        EachDone(intoTarget ? work.toTarget.pairs : work.toSource.pairs,
                 intoTarget ? outcome.copiedToTarget : outcome.copiedToSource,
                 [&](const CopyPair& copy, const FileReport& report) {
                     const std::string_view sourcePath = intoTarget ? copy.from.relative() : copy.to.relative();
                     const size_t i = find(sourcePath);
                     if (report.outcome != FileOutcome::Done || !report.placed || i == SIZE_MAX) return;
                     const ObservedFile& from = paths_[i].on(Other(to));
                     const ObservedFile made = Placed(*report.placed);
                     evidence_.add(sourcePath, intoTarget ? from : made, intoTarget ? made : from);
                 });
    }
}

// Every copy whose bytes passed through here (or were read to check it):
// the copy with its identity as placed, and in mirror and two-way its
// source with the identity the comparison listed (update mode lists none).
void SyncSession::KeepContent(const SyncWork& work, const SyncOutcome& outcome) {
    copiedContent_.clear();
    std::unordered_map<std::string, size_t> indexOf;
    for (size_t i = 0; i < decisions_.size() && i < paths_.size(); ++i) indexOf.emplace(paths_[i].relativePath(), i);
    const int64_t now = std::time(nullptr);
    for (const SyncSide to : {SyncSide::Source, SyncSide::Target}) {
        const bool intoTarget = to == SyncSide::Target;
        EachDone(intoTarget ? work.toTarget.pairs : work.toSource.pairs,
                 intoTarget ? outcome.copiedToTarget : outcome.copiedToSource,
                 [&](const CopyPair& copy, const FileReport& report) {
                     if (report.outcome != FileOutcome::Done || !report.content) return;
                     content_.Put(to, copy.to.relative(), KeptContent::Of(report.content->hash, report.content->identity, now));
                     // The source with its identity as listed: where it changed
                     // before the copy began, that identity is gone, and so is the record's use.
                     const auto it = indexOf.find(std::string(copy.from.relative()));
                     if (it == indexOf.end()) return;
                     const ObservedFile& from = paths_[it->second].on(Other(to));
                     if (!from.present()) return;
                     content_.Put(Other(to), copy.from.relative(), KeptContent::Of(report.content->hash, ObservedNodeInfo(from), now));
                 });
    }
    copiedContent_ = content_.TakeChanges();
}

std::vector<UnequalPair> SyncSession::Unequal(const TreeMatcher& after) const {
    std::vector<UnequalPair> unequal;
    const bool exact = settings_.mode != SyncMode::Update;
    const std::span<const FilePair> pairs = after.pairs();
    for (size_t i = 0; i < pairs.size(); ++i) {
        const FilePair& pair = pairs[i];
        const bool sizes = pair.source && pair.target && pair.source->size() != pair.target->size();
        UnequalPair u{i, (pair.source ? pair.source : pair.target)->relativePath(), {}};
        // A pair the run left in conflict or failed on stays unequal whatever the times say.
        const auto left = left_.find(u.path);
        if (pair.verdict == Verdict::Equal && !(exact && sizes) && (left == left_.end() || !exact)) continue;
        if (left != left_.end()) {
            u.reason = left->second;
        } else if (IsUnknown(pair.verdict) || pair.unknownSides != 0) {
            u.reason = Tr("nicht lesbar");
        } else if (pair.verdict == Verdict::Conflict) {
            const std::string_view why = after.conflictReason(i);
            u.reason = why.empty() ? Tr("ungleich, ohne dass die Zeiten eine Richtung zeigen") : std::string(why);
        } else if (!pair.source || !pair.target) {
            u.reason = pair.source ? Tr("nur in der Quelle") : Tr("nur im Ziel");
        } else if (pair.verdict == Verdict::Equal) {
            u.reason = Tr("gleiche Zeit, verschiedene Größe");
        } else {
            u.reason = pair.verdict == Verdict::SourceToTarget ? Tr("in der Quelle neuer") : Tr("im Ziel neuer");
        }
        unequal.push_back(std::move(u));
    }
    if (!exact) return unequal;
    std::vector<ObservedPath> folders;
    ObserveFolders(after, folders);
    for (const ObservedPath& folder : folders) {
        if (folder.source.present() == folder.target.present()) continue;
        UnequalPair u{SIZE_MAX, folder.relativePath(), {}};
        const auto left = left_.find(u.path.substr(0, u.path.size() - 1));
        u.reason = left != left_.end() ? left->second
                   : folder.source.present() ? Tr("Ordner nur in der Quelle")
                                             : Tr("Ordner nur im Ziel");
        unequal.push_back(std::move(u));
    }
    return unequal;
}

}  // namespace kirvo
