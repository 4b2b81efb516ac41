#pragma once
#include <optional>
#include <ostream>

#include "cli/sync_options.h"
#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_state_store.h"

namespace kirvo {

class OperationLog;

// What the state and the lock of the pair need; mirror and two-way only.
struct PairAccess {
    explicit PairAccess(SyncPair p) : pair(std::move(p)) {}
    SyncPair pair;
    SyncStateStore store;
    std::optional<PairLock> lock;
};

// Takes the pair's lock, waiting a while for a run that holds it; 0 or the exit status after saying why.
int LockPair(PairAccess& access, std::ostream& err);

// Forgets the pair's state (--forget-state), says so and writes it to the log.
int ForgetState(PairAccess& access, const SyncOptions& options, OperationLog* log, std::ostream& err);

}  // namespace kirvo
