#include "sync/pair_content_memory.h"

#include <ctime>

#include "platform/root.h"
#include "sync/sync_pair.h"

namespace kirvo {
namespace {

SyncSide SideOf(Side side) { return side == kSourceSide ? SyncSide::Source : SyncSide::Target; }

}  // namespace

std::unique_ptr<PairContentMemory> PairContentMemory::For(const Root& source, const Root& target,
                                                          const std::string& stateFolder) {
    if (source.snapshot() || target.snapshot()) return nullptr;
    return std::make_unique<PairContentMemory>(stateFolder, SyncPair::Of(source, target).key());
}

PairContentMemory::PairContentMemory(const std::string& stateFolder, PairKey key)
    : store_(stateFolder), key_(std::move(key)) {}

PairContentMemory::~PairContentMemory() { Save(); }

void PairContentMemory::Load() {
    if (loaded_) return;
    loaded_ = true;
    usable_ = !store_.loadContent(key_, records_);
}

std::optional<ContentHash> PairContentMemory::Recall(Side side, std::string_view relative, const NodeInfo& now) {
    Load();
    const KeptContent* kept = records_.Find(SideOf(side), relative);
    if (kept == nullptr || !kept->StillHeldBy(now)) return std::nullopt;
    return kept->hash;
}

void PairContentMemory::Remember(Side side, std::string_view relative, const ContentHash& hash, const NodeInfo& identity) {
    Load();
    if (usable_) records_.Take(SideOf(side), relative, hash, identity, std::time(nullptr));
}

StoreError PairContentMemory::Save() {
    if (!usable_ || !records_.hasChanges()) return {};
    const std::vector<ContentRecords::Change> changes = records_.TakeChanges();
    return store_.saveContent(key_, changes);
}

std::unique_ptr<PairContentMemory> RememberedContent(CompareBy compareBy, const Root& source, const Root& target) {
    if (compareBy != CompareBy::Content) return nullptr;
    return PairContentMemory::For(source, target);
}

}  // namespace kirvo
