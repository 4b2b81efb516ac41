#include "platform/root.h"
#include "platform/root_access.h"
#include "platform/sftp/remote_address.h"
#include "sync/pair_lock.h"
#include "sync/sync_state_store.h"

namespace kirvo {
namespace {

// A folder on another machine by its address as written (user and port as
// given there); a local one by its file system.
RootIdentity IdentityOf(const std::string& root) {
    if (Root::NamesRemote(root)) {
        if (const std::optional<RemoteAddress> address = RemoteAddress::Parse(root))
            return RootIdentity::Remote(address->user, address->host, address->port, address->path);
    }
    return RootIdentity::Local(root);
}

}  // namespace

std::optional<PairLock> PairLock::ForRoots(const std::string& sourceRoot, const std::string& targetRoot,
                                           std::chrono::milliseconds wait, Refusal& refusal) {
    return Acquire(SyncStateStore::DefaultFolder(), PairKey(IdentityOf(sourceRoot), IdentityOf(targetRoot)), wait,
                   refusal);
}

}  // namespace kirvo
