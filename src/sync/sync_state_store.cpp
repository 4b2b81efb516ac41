#include "sync/sync_state_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unordered_map>

#include "sync/pair_places.h"
#include "sync/sqlite_database.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr int64_t kApplicationId = 0x4B72766F;  // "Krvo"
// Failures of our own, beside SQLite's codes.
constexpr int kNotOurs = -1;
constexpr int kNewer = -2;

constexpr const char* kSchema = R"(
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
// A row leaves out what it shares with the rest: b's size and time where they
// are a's, devices where they are the pair's, inodes that are 0.

struct PairRow {
    int64_t id = 0;
    std::optional<int64_t> device[2];  // first, second
};

const SideRecord& Column(const FileRecord& record, int column, bool swapped) {
    return (column == 0) != swapped ? record.source : record.target;
}
SideRecord& Column(FileRecord& record, int column, bool swapped) {
    return (column == 0) != swapped ? record.source : record.target;
}

std::string GermanReason(int code) {
    switch (code & 0xFF) {
    case SQLITE_FULL: return Tr("kein Platz mehr auf dem Datenträger");
    case SQLITE_READONLY: return Tr("nur lesbar");
    case SQLITE_PERM:
    case SQLITE_AUTH: return Tr("keine Berechtigung");
    case SQLITE_CANTOPEN: return Tr("lässt sich nicht öffnen");
    case SQLITE_NOMEM: return Tr("kein Speicher mehr");
    case SQLITE_IOERR: return Tr("Ein-/Ausgabefehler");
    default: return sqlite3_errstr(code);
    }
}

class Transaction {
public:
    Transaction(SqliteDatabase& db, const char* begin) : db_(db) { db_.exec(begin); }
    ~Transaction() {
        if (!done_) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        db_.exec("COMMIT");
        done_ = true;
    }

private:
    SqliteDatabase& db_;
    bool done_ = false;
};

std::optional<PairRow> FindPair(const SqliteDatabase& db, const PairKey& key) {
    SqliteStatement find(db, "SELECT id, first_device, second_device FROM pair WHERE first = ? AND second = ?");
    find.bindText(1, key.first()).bindText(2, key.second());
    if (!find.step()) return std::nullopt;
    PairRow row;
    row.id = find.integer(0);
    for (int c = 0; c < 2; ++c)
        if (!find.isNull(1 + c)) row.device[c] = find.integer(1 + c);
    return row;
}

// Everything recorded for the pair, inside the caller's transaction; false when it had nothing.
bool DeletePair(SqliteDatabase& db, const PairKey& key) {
    const std::optional<PairRow> pair = FindPair(db, key);
    if (!pair) return false;
    SqliteStatement files(db, "DELETE FROM file WHERE folder IN (SELECT id FROM folder WHERE pair = ?)");
    files.bind(1, pair->id).run();
    SqliteStatement folders(db, "DELETE FROM folder WHERE pair = ?");
    folders.bind(1, pair->id).run();
    SqliteStatement pairs(db, "DELETE FROM pair WHERE id = ?");
    pairs.bind(1, pair->id).run();
    return true;
}

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace

std::string SyncStateStore::DefaultFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/kirvo";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.local/state/kirvo";
}

SyncStateStore::SyncStateStore(std::string folder, int busyTimeoutMs)
    : folder_(std::move(folder)), busyTimeoutMs_(busyTimeoutMs), db_(std::make_unique<SqliteDatabase>()) {}

SyncStateStore::~SyncStateStore() = default;

void SyncStateStore::open() {
    if (db_->isOpen()) return;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) throw SqliteFailure{SQLITE_CANTOPEN, ec.value(), ec.message()};
    // What was synchronised, and where, is nobody else's business; and a state
    // that others may change could make a run delete what it should keep.
    if (chmod(folder_.c_str(), 0700) != 0) {
        const int error = errno;
        if (struct stat st; stat(folder_.c_str(), &st) != 0 || (st.st_mode & 077) != 0)
            throw SqliteFailure{SQLITE_CANTOPEN, error, std::strerror(error)};
    }
    try {
        db_->open(databasePath(), busyTimeoutMs_);
        SqliteStatement version(*db_, "PRAGMA user_version");
        version.step();
        const int64_t schema = version.integer(0);
        SqliteStatement application(*db_, "PRAGMA application_id");
        application.step();
        const int64_t id = application.integer(0);
        if (schema == 0) {
            Transaction create(*db_, "BEGIN IMMEDIATE");
            SqliteStatement tables(*db_, "SELECT count(*) FROM sqlite_master");
            tables.step();
            if (tables.integer(0) != 0 || id != 0) throw SqliteFailure{kNotOurs, 0, Tr("eine andere Datenbank")};
            db_->exec(kSchema);
            db_->exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
            db_->exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
            create.commit();
        } else if (id != kApplicationId) {
            throw SqliteFailure{kNotOurs, 0, Tr("eine andere Datenbank")};
        } else if (schema > kSchemaVersion) {
            throw SqliteFailure{kNewer, 0, "Schema " + std::to_string(schema)};
        }
    } catch (const SqliteFailure&) {
        db_->close();
        throw;
    }
}

StoreError SyncStateStore::translate(int code, int systemErrno, const std::string& detail) const {
    const std::string& file = databasePath();
    if (code == kNotOurs)
        return {StoreError::Kind::Unreadable, Format(Tr("Die Zustandsdatenbank „%s“ ist keine von Kirvo (%s)."), file, detail)};
    if (code == kNewer)
        return {StoreError::Kind::Newer,
                Format(Tr("Die Zustandsdatenbank „%s“ stammt von einer neueren Version von Kirvo (%s)."), file, detail)};
    switch (code & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
        return {StoreError::Kind::Unreadable, Format(Tr("Die Zustandsdatenbank „%s“ ist beschädigt (%s)."), file, detail)};
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return {StoreError::Kind::Busy,
                Format(Tr("Die Zustandsdatenbank „%s“ ist seit %d Sekunden von einem anderen Vorgang gesperrt."), file,
                       (busyTimeoutMs_ + 999) / 1000)};
    default: break;
    }
    std::string why = GermanReason(code);
    if (systemErrno != 0) why += ": " + std::string(std::strerror(systemErrno));
    return {StoreError::Kind::Io,
            Format(Tr("Die Zustandsdatenbank „%s“ lässt sich nicht lesen oder schreiben (%s)."), file, why)};
}

StoreError SyncStateStore::load(const PairKey& asked, std::optional<SyncState>& out) {
    out.reset();
    // No database yet (only that, not a folder that cannot be searched): no state, and reading makes none.
    struct stat st;
    if (!db_->isOpen() && lstat(databasePath().c_str(), &st) != 0) {
        if (errno == ENOENT) return {};
        return translate(SQLITE_CANTOPEN, errno, {});
    }
    try {
        open();
        Transaction read(*db_, "BEGIN");
        const PairKey key = PairPlaces(*db_).KeyInUse(asked);
        SqliteStatement pair(*db_,
                             "SELECT id, mode, compare, filter, first_device, second_device FROM pair "
                             "WHERE first = ? AND second = ?");
        pair.bindText(1, key.first()).bindText(2, key.second());
        const bool known = pair.step();
        if (StoreError refusal = PairPlaces(*db_).Check(key, known)) return refusal;
        if (!known) return {};
        SyncState state;
        const int64_t pairId = pair.integer(0);
        state.settings = {static_cast<SyncMode>(pair.integer(1)), static_cast<int32_t>(pair.integer(2)),
                          static_cast<uint64_t>(pair.integer(3))};
        const int64_t pairDevice[2] = {pair.integer(4), pair.integer(5)};

        std::unordered_map<int64_t, std::string> folders;
        SqliteStatement folderRows(*db_, "SELECT id, path FROM folder WHERE pair = ?");
        folderRows.bind(1, pairId);
        while (folderRows.step()) folders.emplace(folderRows.integer(0), std::string(folderRows.blob(1)));

        SqliteStatement files(*db_,
                              "SELECT folder, name, a_size, a_mtime, a_inode, a_device, b_size, b_mtime, b_inode, "
                              "b_device FROM file WHERE folder IN (SELECT id FROM folder WHERE pair = ?)");
        files.bind(1, pairId);
        const bool swapped = key.swapped();
        int64_t lastFolder = -1;
        const std::string* folder = nullptr;
        while (files.step()) {
            if (files.integer(0) != lastFolder) {
                lastFolder = files.integer(0);
                const auto it = folders.find(lastFolder);
                if (it == folders.end()) throw SqliteFailure{SQLITE_CORRUPT, 0, Tr("Datei ohne Ordner")};
                folder = &it->second;
            }
            FileRecord record;
            SideRecord& a = Column(record, 0, swapped);
            SideRecord& b = Column(record, 1, swapped);
            a.size = static_cast<uint64_t>(files.integer(2));
            a.mtimeNs = files.integer(3);
            a.inode = static_cast<uint64_t>(files.integer(4));
            a.device = static_cast<uint64_t>(files.isNull(5) ? pairDevice[0] : files.integer(5));
            b.size = files.isNull(6) ? a.size : static_cast<uint64_t>(files.integer(6));
            b.mtimeNs = files.isNull(7) ? a.mtimeNs : files.integer(7);
            b.inode = static_cast<uint64_t>(files.integer(8));
            b.device = static_cast<uint64_t>(files.isNull(9) ? pairDevice[1] : files.integer(9));
            state.add(*folder, files.blob(1), record);
        }
        read.commit();
        state.finish();
        out = std::move(state);
        return {};
    } catch (const SqliteFailure& failure) {
        return translate(failure.code, failure.systemErrno, failure.message);
    }
}

StoreError SyncStateStore::save(const PairKey& asked, const StateUpdate& update) {
    try {
        open();
        Transaction write(*db_, "BEGIN IMMEDIATE");
        const PairKey key = PairPlaces(*db_).KeyInUse(asked);
        const bool swapped = key.swapped();
        const PairSettings& s = update.settings;
        SqliteStatement upsert(*db_,
                               "INSERT INTO pair(first, second, mode, compare, filter) VALUES(?, ?, ?, ?, ?) "
                               "ON CONFLICT(first, second) DO UPDATE SET mode = excluded.mode, "
                               "compare = excluded.compare, filter = excluded.filter");
        upsert.bindText(1, key.first()).bindText(2, key.second()).bind(3, static_cast<int64_t>(s.mode));
        upsert.bind(4, s.compareSetting).bind(5, static_cast<int64_t>(s.filterHash)).run();
        PairRow pair = *FindPair(*db_, key);
        // The device most records share is the pair's; set once, by the first records.
        if (!update.puts.empty() && (!pair.device[0] || !pair.device[1])) {
            for (int c = 0; c < 2; ++c)
                if (!pair.device[c])
                    pair.device[c] = static_cast<int64_t>(Column(update.puts.front().record, c, swapped).device);
            SqliteStatement devices(*db_, "UPDATE pair SET first_device = ?, second_device = ? WHERE id = ?");
            devices.bind(1, *pair.device[0]).bind(2, *pair.device[1]).bind(3, pair.id).run();
        }

        std::unordered_map<std::string, int64_t> folders;
        SqliteStatement folderRows(*db_, "SELECT id, path FROM folder WHERE pair = ?");
        folderRows.bind(1, pair.id);
        while (folderRows.step()) folders.emplace(std::string(folderRows.blob(1)), folderRows.integer(0));
        SqliteStatement addFolder(*db_, "INSERT INTO folder(pair, path) VALUES(?, ?)");
        std::string_view lastFolder;
        int64_t lastFolderId = -1;
        const auto folderId = [&](std::string_view folder, bool make) -> int64_t {
            if (lastFolderId >= 0 && folder == lastFolder) return lastFolderId;
            const auto it = folders.find(std::string(folder));
            int64_t id = -1;
            if (it != folders.end()) {
                id = it->second;
            } else if (make) {
                addFolder.bind(1, pair.id).bindBlob(2, folder).run();
                id = sqlite3_last_insert_rowid(db_->handle());
                folders.emplace(std::string(folder), id);
            }
            if (id >= 0) {
                lastFolder = folder;
                lastFolderId = id;
            }
            return id;
        };

        SqliteStatement put(*db_, "INSERT OR REPLACE INTO file VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const StateUpdate::Put& p : update.puts) {
            const SideRecord& a = Column(p.record, 0, swapped);
            const SideRecord& b = Column(p.record, 1, swapped);
            put.bind(1, folderId(p.folder, true)).bindBlob(2, p.name);
            put.bind(3, static_cast<int64_t>(a.size)).bind(4, a.mtimeNs);
            if (a.inode != 0) put.bind(5, static_cast<int64_t>(a.inode));
            if (static_cast<int64_t>(a.device) != pair.device[0]) put.bind(6, static_cast<int64_t>(a.device));
            if (b.size != a.size) put.bind(7, static_cast<int64_t>(b.size));
            if (b.mtimeNs != a.mtimeNs) put.bind(8, b.mtimeNs);
            if (b.inode != 0) put.bind(9, static_cast<int64_t>(b.inode));
            if (static_cast<int64_t>(b.device) != pair.device[1]) put.bind(10, static_cast<int64_t>(b.device));
            put.run();  // unbound columns stay NULL
        }
        PairPlaces(*db_).Record(key);
        SqliteStatement remove(*db_, "DELETE FROM file WHERE folder = ? AND name = ?");
        for (const StateUpdate::Removal& r : update.removals) {
            const int64_t id = folderId(r.folder, false);
            if (id >= 0) remove.bind(1, id).bindBlob(2, r.name).run();
        }
        if (!update.removals.empty()) {
            SqliteStatement prune(*db_,
                                  "DELETE FROM folder WHERE pair = ? AND NOT EXISTS "
                                  "(SELECT 1 FROM file WHERE file.folder = folder.id)");
            prune.bind(1, pair.id).run();
        }
        write.commit();
        return {};
    } catch (const SqliteFailure& failure) {
        return translate(failure.code, failure.systemErrno, failure.message);
    }
}

StoreError SyncStateStore::forgetBeforeUndo(const PairKey& key, bool& forgotten, std::string& notice) {
    forgotten = false;
    if (!db_->isOpen()) {
        std::error_code ec;
        const auto status = std::filesystem::symlink_status(databasePath(), ec);
        if (status.type() == std::filesystem::file_type::not_found) return {};
        // A state folder that cannot be looked into may hold a state all the same.
        if (ec) return translate(SQLITE_CANTOPEN, ec.value(), ec.message());
    }
    try {
        open();
        Transaction write(*db_, "BEGIN IMMEDIATE");
        forgotten = DeletePair(*db_, PairPlaces(*db_).KeyInUse(key));
        write.commit();
        return {};
    } catch (const SqliteFailure& failure) {
        StoreError error = translate(failure.code, failure.systemErrno, failure.message);
        if (error.kind != StoreError::Kind::Unreadable) return error;
        notice = error.message;
        return {};
    }
}

StoreError SyncStateStore::forget(const PairKey& key, std::string* notice) {
    try {
        open();
        Transaction write(*db_, "BEGIN IMMEDIATE");
        DeletePair(*db_, PairPlaces(*db_).KeyInUse(key));
        // Begun afresh with the roots as they are: another disk's state at their places stays, unused.
        PairPlaces(*db_).Record(key);
        write.commit();
        return {};
    } catch (const SqliteFailure& failure) {
        StoreError error = translate(failure.code, failure.systemErrno, failure.message);
        if (error.kind != StoreError::Kind::Unreadable) return error;
        db_->close();
        const std::string path = databasePath();
        const std::string aside = path + ".defekt-" + Now();
        if (std::rename(path.c_str(), aside.c_str()) != 0) {
            return {StoreError::Kind::Io,
                    error.message + Format(Tr(" Sie lässt sich nicht beiseitelegen: %s."), std::strerror(errno))};
        }
        std::rename((path + "-journal").c_str(), (aside + "-journal").c_str());  // its journal belongs to it
        if (notice != nullptr)
            *notice =
                error.message + Format(Tr(" Sie liegt nun unter „%s“; der Abgleich jedes Ordnerpaars beginnt neu."), aside);
        return {};
    }
}

}  // namespace kirvo
