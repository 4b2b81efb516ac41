#include "sync/sync_pair.h"

namespace kirvo {
namespace {

RootIdentity IdentityOf(const Root& root) {
    if (const RemoteAddress* address = root.address())
        return RootIdentity::Remote(address->user, address->host, address->port, address->path);
    return RootIdentity::Local(root.location());
}

}  // namespace

SyncPair SyncPair::Of(const Root& source, const Root& target) {
    return SyncPair(IdentityOf(source), IdentityOf(target));
}

}  // namespace kirvo
