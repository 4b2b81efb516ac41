#pragma once
#include <optional>
#include <span>
#include <string>

#include "app/run_result.h"
#include "app/sync_request.h"
#include "platform/root.h"
#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_session.h"
#include "sync/sync_state_store.h"

namespace kirvo {

class OperationLog;
class RootAccess;
class TreeMatcher;

// Comparing and synchronising two roots: the one use case behind "Pfade
// vergleichen" + "Dateien abgleichen", "kirvo-cli compare" and "sync", and a
// job's run. Its stages, in order:
//   Open       the roots as one inspection found them; nesting
//   LoadState  mirror and two-way: the pair, its lock, its recorded state
//   (the caller compares the roots with request().ScanOptions())
//   Decide     one decision per pair (SyncSession); the list shows them
//   Run        the roots checked again, missing ones made, the pair's lock,
//              the guards, the questions, the work
//   (the caller compares again when Run says so)
//   Finish     the new state recorded, the result summed up, the pair let go
// kirvo-cli runs them straight through; the window runs the comparisons on
// a thread of its own and lets the user choose between Decide and Run. What
// every stage found and did goes into one RunResult. Nothing here asks or
// shows anything itself: questions go to SyncQuestions, files to the
// FileOperationService.
class SyncUseCase {
public:
    // roots: how the roots are looked at again and made (the connections of
    // remote ones); log: where forgetting a pair's state is written (none:
    // nowhere). Both must outlive the use case.
    SyncUseCase(SyncRequest request, RootAccess& roots, OperationLog* log = nullptr);

    const SyncRequest& request() const { return request_; }
    const SyncSession& session() const { return session_; }
    SyncSession& session() { return session_; }
    const RunResult& result() const { return result_; }
    // The run was refused at the guards' question (declined, or nobody to ask).
    bool guardRefused() const { return guardRefused_; }
    const Root& source() const { return source_; }
    const Root& target() const { return target_; }

    // The roots as the comparison's inspection found them. False when they
    // cannot be synchronised as they are (one inside the other, no folder, a
    // drive not connected): result() says why. They may still be compared.
    bool Open(Root source, Root target);
    // Mirror and two-way: the pair's identity, its lock where it is held
    // throughout (waiting, and saying so through `questions`), forgetting its
    // state when asked to, and the state itself. A state that cannot be read
    // is an error (never "no state"); a lock held elsewhere is Busy.
    StoreError LoadState(SyncQuestions* questions = nullptr);
    // Forgets the pair's state, under its lock, and writes so to the log;
    // `notice` as SyncStateStore::forget.
    StoreError ForgetState(std::string* notice);
    // Decides over the comparison of the two roots; the matcher must stay as
    // it is until Finish or the next Decide.
    void Decide(const TreeMatcher& matcher);
    bool decided() const { return session_.decided(); }
    // The pairs that take part (the list's marks); the others do nothing.
    void TakePart(std::span<const bool> takesPart);
    // Lets the pair's lock go while the plan waits for the user; Run takes it again.
    void ReleasePair() { lock_.reset(); }
    // The questions and the trash as they are set when the work is done (the
    // window's options may change while its list is shown).
    void UseFlags(const CopyFlags& copyFlags, const DeleteFlags& deleteFlags) {
        request_.copyFlags = copyFlags;
        request_.deleteFlags = deleteFlags;
    }

    // Does the work: refused as Open would be (the roots looked at again), a
    // missing root made where something is copied into it (asked), the
    // pair's lock taken and its state checked to be the one decided on,
    // then the session's guards, questions and requests as one run in the
    // log. True when the roots are to be compared again (something was
    // done, asked or found changed); false when nothing was started.
    bool Run(SyncQuestions& questions, FileOperationService& service);
    // After Run, instead of comparing again: brings the comparison decided on
    // up to date by looking again at the files the run copied, deleted and
    // renamed, on both sides of each copy. False where that could miss
    // something a whole comparison would find (folders made, removed or
    // renamed, a copy cancelled, a root that was missing, a remote root, ...):
    // the caller compares the roots again then, as after any run.
    bool LookAgain(TreeMatcher& decidedOn) const;
    // After the comparison that follows Run (null: there was none, or it did
    // not finish): records the new state (two-way), sums up and lets the pair go.
    const RunResult& Finish(const TreeMatcher* after);
    // A dry run's end: what Finish would say of the plan alone; unattended,
    // a question of the guards counts as refused.
    RunEnd PlanEnd(bool unattended) const;

private:
    // Why the roots cannot be synchronised now; "" when they can.
    std::string RootRefusal(RunEnd& end) const;
    // Into a missing root only where it may be made and the user says so.
    void KeepCopiesIntoUsableRoots(SyncWork& work, SyncQuestions& questions);
    bool TakeLock(std::chrono::milliseconds wait, SyncQuestions* questions, std::string& refusal);
    SyncStateStore Store() const;
    void Refuse(std::string why, RunEnd end);

    SyncRequest request_;
    RootAccess& roots_;
    OperationLog* log_;
    SyncSession session_;
    Root source_;
    Root target_;
    std::optional<SyncPair> pair_;
    std::optional<PairLock> lock_;
    const TreeMatcher* decidedOn_ = nullptr;
    bool awaitingRecord_ = false;
    bool guardRefused_ = false;
    RunResult result_;
};

}  // namespace kirvo
