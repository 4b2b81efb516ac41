#pragma once
#include <memory>
#include <optional>
#include <string>

#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_session.h"
#include "sync/sync_state_store.h"

namespace kirvo {

class AppOptions;
class PathFilter;
class TreeMatcher;

// The window's side of the sync use case: the plan the list shows (a
// SyncSession in the mode set under "Abgleichen als", decided anew after
// every comparison), and around "Dateien abgleichen" the pair's lock, taken
// before anything is done and let go once the comparison that follows has
// recorded the new state (two-way).
class SyncController {
public:
    explicit SyncController(const AppOptions& options) : options_(options) {}

    // Where the state of the pairs is kept; the user's state folder unless set.
    void setStateFolder(std::string folder) { stateFolder_ = std::move(folder); }

    // Decides over a comparison that is to be shown. A state that cannot be
    // read comes back as the error, with no plan: "Dateien abgleichen" then
    // does nothing until the user starts afresh (never "no state", which
    // would bring deleted files back).
    StoreError Prepare(const TreeMatcher& matcher, const PathFilter& filter);
    // What to ask after Prepare's error before StartAfresh; "" where that is
    // not to be offered (a disk that is not mounted is to be mounted).
    static std::string AfreshQuestion(const StoreError& error);
    // Forgets the pair's state and prepares again; notice as SyncStateStore::forget.
    StoreError StartAfresh(const TreeMatcher& matcher, const PathFilter& filter, std::string* notice);
    // Before the matcher is cleared or runs again: the plan no longer applies.
    void Drop();

    // The plan the list shows; null when there is none.
    const SyncSession* plan() const { return session_ && session_->decided() ? session_.get() : nullptr; }
    SyncSession* session() { return session_ && session_->decided() ? session_.get() : nullptr; }
    // Why there is no plan ("" when there is one or nothing was compared).
    const std::string& stateError() const { return stateError_; }

    // Mirror and two-way, before the work is done: the pair's lock, and the
    // state checked to be the one decided on. "" when the run may go on,
    // else why not.
    std::string Begin();
    // The work was done (or not): after the comparison that follows, Finish.
    void AwaitRecord() { awaitingRecord_ = true; }
    // After the comparison that follows a run (complete: it can be recorded):
    // records the new state (two-way) and lets the pair go. "" or a warning.
    std::string Finish(const TreeMatcher* after);

private:
    std::unique_ptr<SyncStateStore> Store() const;

    const AppOptions& options_;
    std::string stateFolder_;
    std::unique_ptr<SyncSession> session_;
    std::optional<SyncPair> pair_;
    std::string stateError_;
    std::optional<PairLock> lock_;
    bool awaitingRecord_ = false;
};

}  // namespace kirvo
