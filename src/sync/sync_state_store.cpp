#include "sync/sync_state_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unordered_map>

#include "platform/error_text.h"
#include "sync/content_table.h"
#include "sync/pair_places.h"
#include "sync/sqlite_database.h"
#include "sync/state_records.h"
#include "sync/state_schema.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr int64_t kApplicationId = 0x4B72766F;  // "Krvo"
// Failures of our own, beside SQLite's codes.
constexpr int kNotOurs = -1;
constexpr int kNewer = -2;

struct PairRow {
    int64_t id = 0;
    std::optional<int64_t> device[2];  // first, second
};

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
            db_->exec(kFirstStateSchema);
            db_->exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
            db_->exec("PRAGMA user_version = 1");
            create.commit();
        } else if (id != kApplicationId) {
            throw SqliteFailure{kNotOurs, 0, Tr("eine andere Datenbank")};
        } else if (schema > kSchemaVersion) {
            throw SqliteFailure{kNewer, 0, "Schema " + std::to_string(schema)};
        }
        MigrateStateSchema(*db_, schema == 0 ? 1 : schema, kSchemaVersion);
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
    if (systemErrno != 0) why += ": " + ErrorText(systemErrno);
    return {StoreError::Kind::Io,
            Format(Tr("Die Zustandsdatenbank „%s“ lässt sich nicht lesen oder schreiben (%s)."), file, why)};
}

// No database yet (only that, not a folder that cannot be searched): nothing
// to read, and reading makes none. `error` says why where the look failed.
bool SyncStateStore::NoDatabaseYet(StoreError& error) const {
    struct stat st;
    if (db_->isOpen() || lstat(databasePath().c_str(), &st) == 0) return false;
    if (errno != ENOENT) error = translate(SQLITE_CANTOPEN, errno, {});
    return true;
}

StoreError SyncStateStore::load(const PairKey& asked, std::optional<SyncState>& out) {
    out.reset();
    if (StoreError error; NoDatabaseYet(error)) return error;
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
        ReadStateRecords(*db_, pairId, pairDevice, key.swapped(), state);
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
        const PairSettings& s = update.settings;
        SqliteStatement upsert(*db_,
                               "INSERT INTO pair(first, second, mode, compare, filter) VALUES(?, ?, ?, ?, ?) "
                               "ON CONFLICT(first, second) DO UPDATE SET mode = excluded.mode, "
                               "compare = excluded.compare, filter = excluded.filter");
        upsert.bindText(1, key.first()).bindText(2, key.second()).bind(3, static_cast<int64_t>(s.mode));
        upsert.bind(4, s.compareSetting).bind(5, static_cast<int64_t>(s.filterHash)).run();
        PairRow pair = *FindPair(*db_, key);
        WriteStateRecords(*db_, pair.id, pair.device, key.swapped(), update);
        PairPlaces(*db_).Record(key);
        write.commit();
        return {};
    } catch (const SqliteFailure& failure) {
        return translate(failure.code, failure.systemErrno, failure.message);
    }
}

StoreError SyncStateStore::loadContent(const PairKey& key, ContentRecords& records) {
    if (StoreError error; NoDatabaseYet(error)) return error;
    try {
        open();
        Transaction read(*db_, "BEGIN");
        ReadContentRecords(*db_, key, records);
        read.commit();
        return {};
    } catch (const SqliteFailure& failure) {
        return translate(failure.code, failure.systemErrno, failure.message);
    }
}

StoreError SyncStateStore::saveContent(const PairKey& key, std::span<const ContentRecords::Change> changes) {
    if (changes.empty()) return {};
    try {
        open();
        Transaction write(*db_, "BEGIN IMMEDIATE");
        WriteContentRecords(*db_, key, changes);
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
                    error.message + Format(Tr(" Sie lässt sich nicht beiseitelegen: %s."), ErrorText(errno))};
        }
        std::rename((path + "-journal").c_str(), (aside + "-journal").c_str());  // its journal belongs to it
        if (notice != nullptr)
            *notice =
                error.message + Format(Tr(" Sie liegt nun unter „%s“; der Abgleich jedes Ordnerpaars beginnt neu."), aside);
        return {};
    }
}

}  // namespace kirvo
