#pragma once
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "sync/content_records.h"
#include "sync/pair_key.h"
#include "sync/state_update.h"
#include "sync/store_error.h"
#include "sync/sync_state.h"

namespace kirvo {

class SqliteDatabase;

// The synchronised state of every pair of the user, in one SQLite database
// ($XDG_STATE_HOME/kirvo/abgleich.db, else ~/.local/state/kirvo/): nothing is
// ever written into the synchronised folders. A database that cannot be read
// is an error, never "no state", which would bring back every deletion.
class SyncStateStore {
public:
    static constexpr int kSchemaVersion = 3;
    static constexpr const char* kFileName = "abgleich.db";

    // $XDG_STATE_HOME/kirvo when set to an absolute path, else ~/.local/state/kirvo.
    static std::string DefaultFolder();

    explicit SyncStateStore(std::string folder = DefaultFolder(), int busyTimeoutMs = 10'000);
    ~SyncStateStore();
    SyncStateStore(const SyncStateStore&) = delete;
    SyncStateStore& operator=(const SyncStateStore&) = delete;

    const std::string& folder() const { return folder_; }
    std::string databasePath() const { return folder_ + "/" + kFileName; }

    // The pair's recorded state in `state`, or none when it has none yet.
    // Refused (OtherDisk, NotMounted) where a root lies on another file system
    // than a state recorded at its place describes (see PairPlaces).
    StoreError load(const PairKey& pair, std::optional<SyncState>& state);
    // Applies an update in one transaction: afterwards the pair has the new
    // state, or, on any failure (or a process killed on the way), the old one.
    StoreError save(const PairKey& pair, const StateUpdate& update);
    // Forgets everything recorded for the pair, and takes its roots as they
    // are now for its own: another disk's state at their places is kept, and
    // no longer stands in the way. A database that cannot be read
    // at all is moved aside (next to it, named "….defekt-<time>") and a new one
    // begins: `notice` then says so. The pair's next run is its first.
    StoreError forget(const PairKey& pair, std::string* notice = nullptr);
    // Before anything reverts what runs of the pair did (undo): the recorded
    // state would take what comes back for new and what goes for deleted, and
    // the pair's next run would delete the counterparts. Forgets the pair's
    // state in one committed transaction, so that from then on, whenever the
    // process ends, the pair has no state and its next run deletes nothing.
    // `forgotten` says whether there was one; no database is made where there
    // is none. A database that cannot be read is left as it is (every run of
    // the pair refuses it until it is forgotten), with its message in `notice`.
    StoreError forgetBeforeUndo(const PairKey& pair, bool& forgotten, std::string& notice);

    // The content hashes recorded for the pair, added to `records` (none
    // where there is no database yet: reading makes none).
    StoreError loadContent(const PairKey& pair, ContentRecords& records);
    // Writes content records in one transaction; the pair's state is left as it is.
    StoreError saveContent(const PairKey& pair, std::span<const ContentRecords::Change> changes);

private:
    void open();
    StoreError translate(int code, int systemErrno, const std::string& detail) const;
    bool NoDatabaseYet(StoreError& error) const;

    std::string folder_;
    int busyTimeoutMs_;
    std::unique_ptr<SqliteDatabase> db_;
};

}  // namespace kirvo
