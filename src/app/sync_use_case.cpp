#include "app/sync_use_case.h"

#include <algorithm>

#include "engine/tree_matcher.h"
#include "app/root_rules.h"
#include "fileops/operation_log.h"
#include "platform/root_access.h"
#include "platform/translation.h"

namespace kirvo {

SyncUseCase::SyncUseCase(SyncRequest request, RootAccess& roots, OperationLog* log)
    : request_(std::move(request)), roots_(roots), log_(log), session_(request_.Settings()) {}

SyncStateStore SyncUseCase::Store() const {
    return SyncStateStore(request_.stateFolder.empty() ? SyncStateStore::DefaultFolder() : request_.stateFolder);
}

void SyncUseCase::Refuse(std::string why, RunEnd end) {
    result_.refusal = std::move(why);
    result_.end = std::max(result_.end, end);
}

bool SyncUseCase::Open(Root source, Root target) {
    source_ = std::move(source);
    target_ = std::move(target);
    RunEnd end = RunEnd::InLine;
    std::string refusal = RootRefusal(end);
    if (refusal.empty()) return true;
    Refuse(std::move(refusal), end);
    return false;
}

std::string SyncUseCase::RootRefusal(RunEnd& end) const {
    if (std::string unusable = RootRules::Unusable(source_, target_, end); !unusable.empty()) return unusable;
    // A sync with a drive that is not there would judge (and, beyond update,
    // delete) against an empty side: nothing is done at all.
    for (const TreeSide side : {TreeSide::Source, TreeSide::Target}) {
        const Root& root = side == TreeSide::Source ? source_ : target_;
        if (!RootRules::DriveMissing(root)) continue;
        end = RunEnd::NotAllDone;
        return std::string(RootRules::SideName(side)) + " " + root.MissingText() + Tr(" Es wird nichts kopiert.");
    }
    return {};
}

bool SyncUseCase::TakeLock(std::chrono::milliseconds wait, SyncQuestions* questions, std::string& refusal) {
    if (lock_) return true;
    const SyncStateStore store = Store();
    PairLock::Refusal why;
    lock_ = PairLock::Acquire(store.folder(), pair_->key(), std::chrono::milliseconds(0), why);
    if (!lock_ && why.holder > 0 && wait.count() > 0) {
        if (questions)
            questions->Tell(Format(Tr("Warte auf einen anderen Abgleich dieser Ordner (Prozess %d) …"), why.holder));
        lock_ = PairLock::Acquire(store.folder(), pair_->key(), wait, why);
    }
    if (!lock_) refusal = why.message + Tr(" Nichts wurde geändert.");
    return lock_.has_value();
}

StoreError SyncUseCase::LoadState(SyncQuestions* questions) {
    if (request_.mode == SyncMode::Update) return {};
    if (!pair_) pair_.emplace(SyncPair::Of(source_, target_));
    const bool changes = !request_.dryRun && !request_.readOnly;
    if (request_.holdPairThroughout && changes) {
        std::string refusal;
        if (!TakeLock(request_.lockWait, questions, refusal)) {
            Refuse(refusal, RunEnd::NotAllDone);
            return {StoreError::Kind::Busy, refusal};
        }
    }
    if (request_.forgetState && changes) {
        std::string notice;
        if (StoreError error = ForgetState(&notice)) return error;
        if (questions && !notice.empty()) questions->Tell(Tr("Hinweis: ") + notice);
    }
    // Afresh (a dry run shows the first run afresh), but the remembered
    // content stays: without it the damage guard would be off unsaid.
    SyncStateStore store = Store();
    return session_.LoadState(store, pair_->key(), request_.forgetState);
}

StoreError SyncUseCase::ForgetState(std::string* notice) {
    if (!pair_) pair_.emplace(SyncPair::Of(source_, target_));
    const bool held = lock_.has_value();
    std::string refusal;
    if (!TakeLock(std::chrono::milliseconds(0), nullptr, refusal)) return {StoreError::Kind::Busy, refusal};
    SyncStateStore store = Store();
    const StoreError error = store.forget(pair_->key(), notice);
    if (!error && log_ != nullptr)
        log_->write({OperationLog::kStateForgotten, source_.text(), target_.text(), {}, {}, OperationLog::kOk});
    if (!held) lock_.reset();
    return error;
}

void SyncUseCase::Decide(const TreeMatcher& matcher) {
    session_.Decide(matcher, pair_ ? pair_->identities() : SideIdentities{});
    decidedOn_ = &matcher;
    result_.Planned(session_, matcher);
    result_.work = session_.Work();
}

void SyncUseCase::TakePart(std::span<const bool> takesPart) {
    session_.TakePart(takesPart);
    result_.work = session_.Work();
}

void SyncUseCase::KeepCopiesIntoUsableRoots(SyncWork& work, SyncQuestions& questions) {
    for (const TreeSide side : {TreeSide::Target, TreeSide::Source}) {
        const bool target = side == TreeSide::Target;
        CopyList& copies = target ? work.toTarget : work.toSource;
        std::vector<RootedPath>& folders = target ? work.newFoldersInTarget : work.newFoldersInSource;
        std::string note;
        if ((copies.empty() && folders.empty()) ||
            RootRules::MayCopyInto(side, target ? target_ : source_, roots_, questions, note))
            continue;
        result_.notes.push_back(note);
        copies = {};
        folders.clear();  // making one would make the root
        (target ? work.copiedToTarget : work.copiedToSource) = {};
    }
}

bool SyncUseCase::Run(SyncQuestions& questions, FileOperationService& service) {
    if (!session_.decided()) return false;
    // What Open said of the roots is judged afresh below.
    result_.refusal.clear();
    result_.end = RunEnd::InLine;
    SyncWork work = session_.Work();
    if (!work.empty()) {
        // Looked at again: time has passed since the comparison (a stick may be plugged in by now).
        for (Root* root : {&source_, &target_})
            if (RootRules::DriveMissing(*root)) roots_.inspect(*root);
        RunEnd end = RunEnd::InLine;
        if (std::string refusal = RootRefusal(end); !refusal.empty()) {
            Refuse(std::move(refusal), end);
            return false;
        }
        KeepCopiesIntoUsableRoots(work, questions);
    }
    if (session_.mode() != SyncMode::Update && !lock_) {
        if (!pair_) pair_.emplace(SyncPair::Of(source_, target_));
        std::string refusal;
        if (!TakeLock(request_.lockWait, &questions, refusal)) {
            Refuse(refusal, RunEnd::NotAllDone);
            return true;
        }
        SyncStateStore store = Store();
        if (!session_.StateUnchanged(store, pair_->key())) {
            lock_.reset();
            Refuse(Tr("Seit dem Vergleich hat ein anderer Abgleich dieser Ordner den Stand geändert; nichts wurde "
                      "geändert. Die Liste wird neu verglichen."),
                   RunEnd::NotAllDone);
            return true;
        }
    }
    if (session_.remembers() && pair_) {
        SyncStateStore store = Store();
        if (const StoreError error = session_.ForgetChangeTimesOfReplaced(work, store, pair_->key())) {
            lock_.reset();
            Refuse(error.message, RunEnd::NotAllDone);
            return true;
        }
    }
    result_.work = work;
    SyncOutcome outcome;
    {
        // Everything the session does is one run in the log, undone as a whole.
        const ServiceRun unit(&service, request_.runName, source_, target_);
        outcome = session_.Run(work, questions, service, request_.copyFlags, request_.deleteFlags);
        result_.runId = unit.id();
    }
    if (outcome.refused) {
        guardRefused_ = true;
        Refuse(outcome.refusal, RunEnd::NotAllDone);
        lock_.reset();
        return true;
    }
    awaitingRecord_ = true;
    using Request = RunResult::Request;
    const auto folderMoves = [](const std::vector<MovePair>& moves) {
        std::vector<bool> folders;
        for (const MovePair& move : moves) folders.push_back(move.folder);
        return folders;
    };
    const std::tuple<const std::optional<OperationResult>*, Request, TreeSide, std::vector<bool>> requests[] = {
        {&outcome.movedInSource, Request::Move, TreeSide::Source, folderMoves(work.moveInSource)},
        {&outcome.movedInTarget, Request::Move, TreeSide::Target, folderMoves(work.moveInTarget)},
        {&outcome.deletedInSource, Request::Delete, TreeSide::Source, {}},
        {&outcome.deletedInTarget, Request::Delete, TreeSide::Target, {}},
        {&outcome.copiedToTarget, Request::Copy, TreeSide::Target, {}},
        {&outcome.copiedToSource, Request::Copy, TreeSide::Source, {}},
        {&outcome.foldersInSource, Request::RemoveFolders, TreeSide::Source, {}},
        {&outcome.foldersInTarget, Request::RemoveFolders, TreeSide::Target, {}},
        {&outcome.newFoldersInSource, Request::MakeFolders, TreeSide::Source, {}},
        {&outcome.newFoldersInTarget, Request::MakeFolders, TreeSide::Target, {}}};
    for (const auto& [done, kind, side, folders] : requests)
        if (*done) result_.Add(kind, side, **done, folders);
    if (result_.Counts().done() + result_.Count(FileOutcome::Skipped) + result_.Count(FileOutcome::Failed) == 0)
        result_.runId.clear();  // a run that did nothing leaves no trace in the log
    return true;
}

bool SyncUseCase::LookAgain(TreeMatcher& decidedOn) const {
    const SyncWork& work = result_.work;
    if (&decidedOn != decidedOn_ || !awaitingRecord_ || result_.Count(FileOutcome::Cancelled) > 0) return false;
    if (source_.state() == Root::State::Missing || target_.state() == Root::State::Missing) return false;
    if (!work.foldersInSource.empty() || !work.foldersInTarget.empty() || !work.newFoldersInSource.empty() ||
        !work.newFoldersInTarget.empty())
        return false;
    std::vector<std::string> paths[2];
    bool outside = false;
    const std::string_view roots[2] = {decidedOn.sourceRoot(), decidedOn.targetRoot()};
    const auto touch = [&](const RootedPath& path) {
        const std::string_view root = std::string_view(path.path).substr(0, path.rootSize);
        const int side = root == roots[0] ? 0 : root == roots[1] ? 1 : -1;
        if (side < 0 || path.rootSize == path.path.size()) {
            outside = true;
            return;
        }
        paths[side].push_back(path.path.substr(path.rootSize));
    };
    for (const CopyList* copies : {&work.toTarget, &work.toSource})
        for (const CopyPair& copy : copies->pairs) {
            touch(copy.from);
            touch(copy.to);
        }
    for (const auto* deletes : {&work.deleteInSource, &work.deleteInTarget})
        for (const ListedPath& deleted : *deletes) touch(deleted.path);
    for (const auto* moves : {&work.moveInSource, &work.moveInTarget})
        for (const MovePair& move : *moves) {
            if (move.folder) return false;
            touch(move.from);
            touch(move.to);
        }
    if (outside) return false;
    return decidedOn.LookAgain(paths[0], paths[1]);
}

const RunResult& SyncUseCase::Finish(const TreeMatcher* after) {
    // Update mode keeps no state, but what its copies read is kept all the same.
    if (session_.mode() == SyncMode::Update && awaitingRecord_ && !source_.snapshot() && !target_.snapshot()) {
        if (!pair_) pair_.emplace(SyncPair::Of(source_, target_));
        SyncStateStore store = Store();
        session_.RecordContent(store, pair_->key());
    }
    if (after != nullptr) {
        if (awaitingRecord_ && pair_) {
            SyncStateStore store = Store();
            if (const StoreError error = session_.Record(*after, pair_->identities(), store, pair_->key())) {
                result_.notes.push_back(error.message + Tr(" Der neue Stand ist nicht festgehalten; der nächste "
                                                           "Abgleich entscheidet nach dem alten."));
                result_.end = std::max(result_.end, RunEnd::NotAllDone);
            }
        }
        result_.Afterwards(session_, *after);
        if (!after->unknownPlaces().empty()) result_.end = std::max(result_.end, RunEnd::NotAllDone);
        const bool leftUnequal = !result_.unequal.empty() || !result_.conflicts.empty();
        if (leftUnequal) result_.end = std::max(result_.end, RunEnd::LeftUnequal);
    }
    // A root that was missing and still is: nothing was copied into it.
    for (Root* root : {&source_, &target_}) {
        if (root->state() != Root::State::Missing) continue;
        roots_.inspect(*root);
        if (root->state() == Root::State::Missing) result_.end = std::max(result_.end, RunEnd::NotAllDone);
    }
    awaitingRecord_ = false;
    lock_.reset();
    return result_;
}

RunEnd SyncUseCase::PlanEnd(bool unattended) const {
    RunEnd end = result_.end;
    const bool missing = source_.state() == Root::State::Missing || target_.state() == Root::State::Missing;
    if (!result_.unknownPlaces.empty() || missing || (unattended && session_.Guards().needsConfirmation()))
        return std::max(end, RunEnd::NotAllDone);
    if (!result_.work.empty() || !result_.conflicts.empty()) return std::max(end, RunEnd::LeftUnequal);
    return end;
}

}  // namespace kirvo
