#pragma once
#include <string>

#include "platform/root.h"
#include "sync/observed_pairs.h"
#include "sync/pair_key.h"
#include "sync/root_identity.h"

namespace kirvo {

// The two roots of a run as the state and the lock know them: who each root
// is, the pair's key, and on which side a file's inode may be trusted.
class SyncPair {
public:
    static SyncPair Of(const Root& source, const Root& target);

    const RootIdentity& source() const { return source_; }
    const RootIdentity& target() const { return target_; }
    const PairKey& key() const { return key_; }
    SideIdentities identities() const { return {source_.stableInodes(), target_.stableInodes()}; }

private:
    SyncPair(RootIdentity source, RootIdentity target)
        : source_(std::move(source)), target_(std::move(target)), key_(source_, target_) {}
    RootIdentity source_;
    RootIdentity target_;
    PairKey key_;
};

}  // namespace kirvo
