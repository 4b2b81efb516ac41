#pragma once
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "fileops/file_operation_service.h"
#include "sync/content_records.h"
#include "sync/delete_limit.h"
#include "sync/deletion_guard.h"
#include "sync/observed_pairs.h"
#include "sync/sync_evidence.h"
#include "sync/sync_decision.h"
#include "sync/sync_mode.h"
#include "sync/sync_plan_summary.h"
#include "sync/sync_state.h"
#include "sync/sync_state_store.h"
#include "sync/sync_work.h"

namespace kirvo {

class PathFilter;
class ScanFilter;
class TreeMatcher;

// How a run is to bring the trees into line.
struct SyncSettings {
    SyncMode mode = SyncMode::Update;
    SyncSide mirrorFrom = SyncSide::Source;  // Mirror: the side the other becomes a copy of
    ChangedSides sides;                      // which sides may be changed (--direction)
    // What the state is recorded under: the compare setting ("Vergleich")
    // and the hash of the filter in use (FilterHashOf).
    int32_t compareSetting = 0;
    uint64_t filterHash = 0;
    // The filter of the comparison: a file it leaves out keeps its record.
    const ScanFilter* filter = nullptr;
    std::optional<DeleteLimit> limit;  // --max-delete
};

// The questions of a run, each answered by the window or on the terminal.
class SyncQuestions {
public:
    enum class Kind {
        MakeRoot,  // a missing root is to be made for what is copied into it
        Guard,     // the guards found something to ask about: before anything is done
        Copies,    // one per direction, source to target first
        Moves,     // one per side with renames
    };
    virtual ~SyncQuestions() = default;
    // True: go on. Kind::Guard is refused where nobody can be asked.
    virtual bool Confirm(Kind kind, const std::string& text) = 0;
    // The whole plan, after the guards and before anything is done: false
    // leaves everything as it is; a declined part (Group::accepted) is left
    // out. This one asks the count questions one by one (Kind::Copies per
    // direction, Kind::Moves per side), each standing on its own.
    virtual bool ConfirmPlan(SyncPlanSummary& plan);
    // What the user should know while the run goes on (it waits for another run).
    virtual void Tell(const std::string& text) { (void)text; }
    // What the user must be told now: part of the work is left out (a drive that is not connected).
    virtual void Warn(const std::string& text) { Tell(text); }
};

// What a run did: each request made to the service, or why it did nothing.
struct SyncOutcome {
    bool refused = false;  // the guards' question was declined: nothing was done
    std::string refusal;   // German: what the guards found
    std::optional<OperationResult> movedInSource, movedInTarget, deletedInSource, deletedInTarget;
    std::optional<OperationResult> copiedToTarget, copiedToSource;
    std::optional<OperationResult> foldersInSource, foldersInTarget;  // removed
    std::optional<OperationResult> newFoldersInSource, newFoldersInTarget;
};

// A pair left unequal after a run, and why (German).
struct UnequalPair {
    size_t pair = 0;
    std::string path;
    std::string reason;
};

// Synchronising two folders, the one use case behind "Dateien abgleichen" and
// "kirvo-cli sync": detect what changed on each side (against the state of
// the pair: two-way) → reconcile into one decision per pair (the rules'
// default, and the user's choice over it) → plan the copies, deletions and
// renames → check the guards → ask → run them through the file-operation
// service → (the caller compares again) → record the new state. Update is
// this same use case with the comparison's arrows: it never touches the
// state, never deletes and never renames.
class SyncSession {
public:
    explicit SyncSession(SyncSettings settings) : settings_(std::move(settings)) {}

    const SyncSettings& settings() const { return settings_; }
    SyncMode mode() const { return settings_.mode; }
    // Two-way keeps a state; mirror and two-way want the files' identities.
    bool remembers() const { return settings_.mode == SyncMode::TwoWay; }
    bool wantsIdentities() const { return settings_.mode != SyncMode::Update; }

    // Two-way: loads the pair's state from the store (none yet: the pair's
    // first run). A state that cannot be read is an error, never "no state".
    // Mirror and two-way: the pair's content hashes too, so that no damaged
    // file is copied over its counterpart (GuardDamage); without them
    // (a database that cannot be read) nothing is known to be damaged.
    // contentOnly: the state begun afresh (--forget-state), the hashes kept:
    // forgetting which files were where says nothing against their bytes.
    StoreError LoadState(SyncStateStore& store, const PairKey& pair, bool contentOnly = false);
    // The content hashes the last run's copies read (Record does it too):
    // for update mode, which records no state.
    void RecordContent(SyncStateStore& store, const PairKey& pair) const;
    bool hasState() const { return state_.has_value(); }
    // Whether the store still holds the state the decisions were made on
    // (no other run recorded one since); false also when it cannot be read.
    bool StateUnchanged(SyncStateStore& store, const PairKey& pair) const;

    // Decides over a comparison (made with RunOptions::identities where
    // wantsIdentities()): one decision per pair. The matcher must stay as it
    // is until Clear() or the next Decide. Every choice is dropped.
    void Decide(const TreeMatcher& matcher, SideIdentities identities);
    // Forgets the comparison: before the matcher is cleared or runs again.
    void Clear();
    bool decided() const { return matcher_ != nullptr; }

    // At the pairs' indexes.
    std::span<const PathDecision> decisions() const { return decisions_; }
    // Mirror and two-way: one per folder either side has (ObserveFolders), as
    // folderPaths() names them; they follow the files and take no choice.
    std::span<const PathDecision> folderDecisions() const { return folderDecisions_; }
    std::span<const ObservedPath> folderPaths() const {
        return std::span<const ObservedPath>(paths_).subspan(std::min(paths_.size(), decisions_.size()));
    }
    // The user's choice over the rules' decision of a pair; none: the rules'.
    void Choose(size_t pair, std::optional<SyncAction> action);
    // Every pair's choice at once: those not taking part do nothing, the
    // others what the rules decided.
    void TakePart(std::span<const bool> takesPart);
    // Why a pair is decided as it is, for the list's tool tip.
    std::string Explain(size_t pair) const;

    SyncWork Work() const;
    GuardReport Guards() const;
    // The guards' findings as a question or refusal ("" when there are none).
    std::string GuardText(const GuardReport& report) const;

    // Asks and does the work: the guards' question first (declined: nothing
    // is done), then one question per direction with copies and per side
    // with renames; then, so that what frees a path goes before what fills
    // it: deletions, renames, folders removed, copies, the folders still to
    // make. Keeps what the run knows to be equal for Record.
    SyncOutcome Run(const SyncWork& work, SyncQuestions& questions, FileOperationService& service,
                    const CopyFlags& copyFlags, const DeleteFlags& deleteFlags);

    // Two-way, right before Run: the records of the files the copies are to
    // replace lose their change time, in one transaction. Keeping the old
    // version in the trash links it there before the copy takes its place,
    // which moves its change time; a run killed in between leaves the old
    // file as it was but changed in time, and the next run would take that
    // for an edit (a conflict where the other side changed). Size, time and
    // inode still tell a real change; a finished run records afresh.
    StoreError ForgetChangeTimesOfReplaced(const SyncWork& work, SyncStateStore& store, const PairKey& pair) const;

    // Two-way: records the state from the comparison made after the run, in
    // one transaction. A pair counts as synchronised where neither file
    // changed since its record, or the run vouches for both (SyncEvidence).
    // Mirror and two-way: the content hashes of what was copied (both
    // sides), where a copy read every byte; those are kept as far as they
    // can be, and never fail the run.
    StoreError Record(const TreeMatcher& after, SideIdentities identities, SyncStateStore& store,
                      const PairKey& pair) const;

    // Mirror and two-way, over the comparison made after the run: the pairs
    // still unequal (a conflict, a failure, what could not be read), each with
    // its reason; for update, those the comparison does not find equal.
    std::vector<UnequalPair> Unequal(const TreeMatcher& after) const;

    // The question before copying one direction: "Es werden %i Dateien von Quelle nach Ziel kopiert !".
    static std::string CopyQuestion(bool toTarget, int32_t count);

private:
    void KeepEvidence(const SyncWork& work, const SyncOutcome& outcome);
    void KeepContent(const SyncWork& work, const SyncOutcome& outcome);

    SyncSettings settings_;
    const TreeMatcher* matcher_ = nullptr;
    std::vector<PathDecision> decisions_;
    std::vector<PathDecision> folderDecisions_;
    std::vector<ObservedPath> paths_;  // mirror and two-way: what the decisions rest on, pairs then folders
    UnknownPlaces unknown_;
    std::optional<SyncState> state_;
    SyncEvidence evidence_;  // from Run, for Record: kept when the comparison goes
    ContentRecords content_;  // mirror and two-way: the pair's content hashes, from LoadState
    std::vector<ContentRecords::Change> copiedContent_;  // from Run, for Record
    // From Run, for Unequal: why a path was left as it was (relative path -> German reason).
    std::unordered_map<std::string, std::string> left_;
};

// The hash of what decides which files a comparison sees: the include and
// exclude patterns and the two folder options.
uint64_t FilterHashOf(const PathFilter& filter, bool excludeSubFolders, bool excludeSystemFolders);

}  // namespace kirvo
