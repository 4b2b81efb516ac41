#pragma once
#include <cstdint>
#include <optional>

#include "sync/state_update.h"
#include "sync/sync_state.h"

namespace kirvo {

class SqliteDatabase;

// The rows of the `file` table that hold a pair's records: one per path, a
// folder's name ending in '/'. Column a is the pair's first root, b its
// second (PairKey): `swapped` when the source is the second. A row's key
// (folder and name) is the path as the first root names it; b_path the
// second's where it differs (in letter case). A row leaves out what it shares
// with the rest: b's size and time where they are a's, devices where they are
// the pair's, inodes and change times that are 0. Rows written before change
// times and names were kept (exact NULL) load as legacy records.
// Both throw SqliteFailure; the caller holds the transaction.
void ReadStateRecords(const SqliteDatabase& db, int64_t pairId, const int64_t (&pairDevice)[2], bool swapped,
                      SyncState& state);
// pairDevice: the pair's devices, set here by the first files recorded where none is yet.
void WriteStateRecords(SqliteDatabase& db, int64_t pairId, std::optional<int64_t> (&pairDevice)[2], bool swapped,
                       const StateUpdate& update);

}  // namespace kirvo
