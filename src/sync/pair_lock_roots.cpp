#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_state_store.h"

namespace kirvo {

std::optional<PairLock> PairLock::ForRoots(const std::string& sourceRoot, const std::string& targetRoot,
                                           std::chrono::milliseconds wait, Refusal& refusal) {
    return Acquire(SyncStateStore::DefaultFolder(), SyncPair::Of(sourceRoot, targetRoot).key(), wait, refusal);
}

}  // namespace kirvo
