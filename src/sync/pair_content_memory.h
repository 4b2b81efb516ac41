#pragma once
#include <memory>
#include <optional>
#include <string>

#include "engine/content_memory.h"
#include "engine/run_options.h"
#include "platform/root.h"
#include "sync/content_records.h"
#include "sync/pair_key.h"
#include "sync/sync_state_store.h"

namespace kirvo {

// The content hashes of one pair in the state database, for its content
// comparisons: read at the first question, what was read anew written back
// by Save (and, as far as it goes, when it ends). A database that cannot be
// read costs nothing but the reading: every file is then read.
class PairContentMemory final : public ContentMemory {
public:
    // None where a root is a snapshot (which keeps its own hashes).
    static std::unique_ptr<PairContentMemory> For(const Root& source, const Root& target,
                                                  const std::string& stateFolder = SyncStateStore::DefaultFolder());

    PairContentMemory(const std::string& stateFolder, PairKey key);
    ~PairContentMemory() override;

    std::optional<ContentHash> Recall(Side side, std::string_view relative, const NodeInfo& now) override;
    void Remember(Side side, std::string_view relative, const ContentHash& hash, const NodeInfo& identity) override;

    // Writes what was learnt since the last Save.
    StoreError Save();

private:
    void Load();

    SyncStateStore store_;
    PairKey key_;
    ContentRecords records_;
    bool loaded_ = false;
    bool usable_ = true;
};

// The memory a comparison by `compareBy` of the two roots uses: none but by content.
std::unique_ptr<PairContentMemory> RememberedContent(CompareBy compareBy, const Root& source, const Root& target);

}  // namespace kirvo
