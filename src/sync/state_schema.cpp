#include "sync/state_schema.h"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "sync/sqlite_database.h"

namespace kirvo {

const char* const kFirstStateSchema = R"(
CREATE TABLE pair(
    id INTEGER PRIMARY KEY,
    first TEXT NOT NULL,
    second TEXT NOT NULL,
    mode INTEGER NOT NULL,
    compare INTEGER NOT NULL,
    filter INTEGER NOT NULL,
    first_device INTEGER,
    second_device INTEGER,
    UNIQUE(first, second));
CREATE TABLE folder(
    id INTEGER PRIMARY KEY,
    pair INTEGER NOT NULL,
    path BLOB NOT NULL,
    UNIQUE(pair, path));
CREATE TABLE file(
    folder INTEGER NOT NULL,
    name BLOB NOT NULL,
    a_size INTEGER NOT NULL,
    a_mtime INTEGER NOT NULL,
    a_inode INTEGER,
    a_device INTEGER,
    b_size INTEGER,
    b_mtime INTEGER,
    b_inode INTEGER,
    b_device INTEGER,
    PRIMARY KEY(folder, name)) WITHOUT ROWID;
)";

namespace {

// Folders of recorded files were on both sides: each gets a record of its own,
// and so does every folder above it.
void RecordFoldersOfFiles(SqliteDatabase& db) {
    std::vector<std::pair<int64_t, std::string>> holding;  // (pair, folder path)
    {
        SqliteStatement rows(db, "SELECT pair, path FROM folder WHERE path != x''");
        while (rows.step()) holding.emplace_back(rows.integer(0), std::string(rows.blob(1)));
    }
    SqliteStatement findFolder(db, "SELECT id FROM folder WHERE pair = ? AND path = ?");
    SqliteStatement addFolder(db, "INSERT INTO folder(pair, path) VALUES(?, ?)");
    SqliteStatement addRecord(db,
                              "INSERT OR IGNORE INTO file(folder, name, a_size, a_mtime, exact) VALUES(?, ?, 0, 0, 1)");
    std::unordered_map<std::string, int64_t> ids;
    for (const auto& [pair, path] : holding) {
        for (size_t end = path.find('/'); end != std::string::npos; end = path.find('/', end + 1)) {
            const size_t start = end == 0 ? 0 : path.rfind('/', end - 1) + 1;
            const std::string parent = path.substr(0, start);
            const std::string key = std::to_string(pair) + ":" + parent;
            auto it = ids.find(key);
            if (it == ids.end()) {
                findFolder.bind(1, pair).bindBlob(2, parent);
                int64_t id = -1;
                if (findFolder.step()) id = findFolder.integer(0);
                findFolder.reset();
                if (id < 0) {
                    addFolder.bind(1, pair).bindBlob(2, parent).run();
                    id = sqlite3_last_insert_rowid(db.handle());
                }
                it = ids.emplace(key, id).first;
            }
            addRecord.bind(1, it->second).bindBlob(2, std::string_view(path).substr(start, end + 1 - start)).run();
        }
    }
}

void Step(SqliteDatabase& db, int64_t to) {
    switch (to) {
    case 2:
        db.exec("ALTER TABLE file ADD COLUMN a_ctime INTEGER;"
                "ALTER TABLE file ADD COLUMN b_ctime INTEGER;"
                "ALTER TABLE file ADD COLUMN b_path BLOB;"
                "ALTER TABLE file ADD COLUMN exact INTEGER;");
        RecordFoldersOfFiles(db);
        break;
    case 3:
        // Content hashes per pair and side, apart from the pair's records: a
        // comparison may keep them without making a two-way run's state.
        db.exec("CREATE TABLE content_pair("
                "    id INTEGER PRIMARY KEY,"
                "    first TEXT NOT NULL,"
                "    second TEXT NOT NULL,"
                "    UNIQUE(first, second));"
                "CREATE TABLE content("
                "    pair INTEGER NOT NULL,"
                "    side INTEGER NOT NULL,"
                "    path BLOB NOT NULL,"
                "    hash BLOB NOT NULL,"
                "    size INTEGER NOT NULL,"
                "    mtime INTEGER NOT NULL,"
                "    device INTEGER NOT NULL,"
                "    inode INTEGER NOT NULL,"
                "    ctime INTEGER NOT NULL,"
                "    good INTEGER NOT NULL,"
                "    damaged INTEGER,"
                "    PRIMARY KEY(pair, side, path)) WITHOUT ROWID;");
        break;
    default: break;
    }
}

}  // namespace

void MigrateStateSchema(SqliteDatabase& db, int64_t from, int to) {
    for (int64_t version = from + 1; version <= to; ++version) {
        db.exec("BEGIN IMMEDIATE");
        try {
            // Another process may have taken this step while we waited for the lock.
            SqliteStatement current(db, "PRAGMA user_version");
            current.step();
            if (current.integer(0) < version) {
                Step(db, version);
                db.exec(("PRAGMA user_version = " + std::to_string(version)).c_str());
            }
        } catch (const SqliteFailure&) {
            sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        db.exec("COMMIT");
    }
}

}  // namespace kirvo
