#pragma once
#include <span>

#include "sync/content_records.h"

namespace kirvo {

class PairKey;
class SqliteDatabase;

// The content records of a pair in the state database (table content, per
// pair of content_pair), inside the caller's transaction. Throw SqliteFailure.
void ReadContentRecords(const SqliteDatabase& db, const PairKey& key, ContentRecords& records);
void WriteContentRecords(SqliteDatabase& db, const PairKey& key, std::span<const ContentRecords::Change> changes);

}  // namespace kirvo
