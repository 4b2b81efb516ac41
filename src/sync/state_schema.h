#pragma once
#include <cstdint>

namespace kirvo {

class SqliteDatabase;

// The tables of the state database as the first version made them; every
// later version's changes are steps from there (MigrateStateSchema).
extern const char* const kFirstStateSchema;

// Brings a database of schema `from` up to `to`, each step in a transaction
// of its own that also sets the version, so a kill at any moment leaves one
// version or the next. Records of older versions stay readable: nothing of
// theirs turns into a deletion or a first run. Throws SqliteFailure.
//   1 -> 2: change times, the second root's own name, and which rows are
//   exact (older ones keep times to the millisecond); a record for every
//   folder that held a recorded file (both sides had it).
//   2 -> 3: content hashes per pair and side (ContentRecords), kept apart
//   from the pairs' records.
void MigrateStateSchema(SqliteDatabase& db, int64_t from, int to);

}  // namespace kirvo
