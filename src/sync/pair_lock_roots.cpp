#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_state_store.h"

namespace kirvo {

std::optional<PairLock> PairLock::ForRoots(const Root& source, const Root& target, std::chrono::milliseconds wait,
                                           Refusal& refusal) {
    return Acquire(SyncStateStore::DefaultFolder(), SyncPair::Of(source, target).key(), wait, refusal);
}

}  // namespace kirvo
