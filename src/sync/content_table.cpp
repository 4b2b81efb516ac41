#include "sync/content_table.h"

#include "sync/pair_key.h"
#include "sync/sqlite_database.h"

namespace kirvo {
namespace {

// The key's first root is column side 0: the source unless the key is swapped.
SyncSide SideOf(int64_t column, bool swapped) { return (column == 0) != swapped ? SyncSide::Source : SyncSide::Target; }
int64_t ColumnOf(SyncSide side, bool swapped) { return (side == SyncSide::Source) != swapped ? 0 : 1; }

}  // namespace

void ReadContentRecords(const SqliteDatabase& db, const PairKey& key, ContentRecords& records) {
    SqliteStatement rows(db,
                         "SELECT side, path, hash, size, mtime, device, inode, ctime, good, damaged FROM content "
                         "WHERE pair = (SELECT id FROM content_pair WHERE first = ? AND second = ?)");
    rows.bindText(1, key.first()).bindText(2, key.second());
    while (rows.step()) {
        KeptContent kept;
        if (!ContentHash::FromBytes(rows.blob(2), kept.hash)) continue;  // not ours to trust
        kept.size = static_cast<uint64_t>(rows.integer(3));
        kept.mtimeNs = rows.integer(4);
        kept.device = static_cast<uint64_t>(rows.integer(5));
        kept.inode = static_cast<uint64_t>(rows.integer(6));
        kept.ctimeNs = rows.integer(7);
        kept.goodSince = rows.integer(8);
        kept.damagedSince = rows.isNull(9) ? 0 : rows.integer(9);
        records.Add(SideOf(rows.integer(0), key.swapped()), std::string(rows.blob(1)), kept);
    }
}

void WriteContentRecords(SqliteDatabase& db, const PairKey& key, std::span<const ContentRecords::Change> changes) {
    if (changes.empty()) return;
    SqliteStatement pair(db, "INSERT OR IGNORE INTO content_pair(first, second) VALUES(?, ?)");
    pair.bindText(1, key.first()).bindText(2, key.second()).run();
    SqliteStatement find(db, "SELECT id FROM content_pair WHERE first = ? AND second = ?");
    find.bindText(1, key.first()).bindText(2, key.second());
    find.step();
    const int64_t id = find.integer(0);
    SqliteStatement put(db,
                        "INSERT OR REPLACE INTO content(pair, side, path, hash, size, mtime, device, inode, ctime, good, "
                        "damaged) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const ContentRecords::Change& change : changes) {
        const KeptContent& c = change.content;
        put.bind(1, id).bind(2, ColumnOf(change.side, key.swapped())).bindBlob(3, change.path);
        put.bindBlob(4, c.hash.Bytes()).bind(5, static_cast<int64_t>(c.size)).bind(6, c.mtimeNs);
        put.bind(7, static_cast<int64_t>(c.device)).bind(8, static_cast<int64_t>(c.inode)).bind(9, c.ctimeNs);
        put.bind(10, c.goodSince);
        if (c.damaged()) put.bind(11, c.damagedSince);
        else put.bindNull(11);
        put.run();
    }
}

}  // namespace kirvo
