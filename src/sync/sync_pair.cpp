#include "sync/sync_pair.h"

#include "platform/remote_address.h"

namespace kirvo {
namespace {

RootIdentity IdentityOf(const std::string& root) {
    if (RemoteAddress::IsRemote(root)) {
        if (const std::optional<RemoteAddress> address = RemoteAddress::Parse(root))
            return RootIdentity::Remote(address->user, address->host, address->port, address->path);
    }
    return RootIdentity::Local(root);
}

}  // namespace

SyncPair SyncPair::Of(const std::string& sourceRoot, const std::string& targetRoot) {
    return SyncPair(IdentityOf(sourceRoot), IdentityOf(targetRoot));
}

}  // namespace kirvo
