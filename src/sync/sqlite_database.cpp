#include "sync/sqlite_database.h"

namespace kirvo {

void SqliteDatabase::open(const std::string& path, int busyTimeoutMs) {
    close();
    const int code =
        sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        SqliteFailure failure{code, db_ != nullptr ? sqlite3_system_errno(db_) : 0,
                              db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code)};
        close();
        throw failure;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
}

void SqliteDatabase::close() {
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void SqliteDatabase::exec(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) fail(code);
}

SqliteFailure SqliteDatabase::failure(int code) const { return {code, sqlite3_system_errno(db_), sqlite3_errmsg(db_)}; }

void SqliteDatabase::fail(int code) const { throw failure(code); }

SqliteStatement::SqliteStatement(const SqliteDatabase& db, const char* sql) : db_(db) {
    const int code = sqlite3_prepare_v2(db.handle(), sql, -1, &statement_, nullptr);
    if (code != SQLITE_OK) db.fail(code);
}

SqliteStatement& SqliteStatement::bind(int index, int64_t value) {
    if (const int code = sqlite3_bind_int64(statement_, index, value); code != SQLITE_OK) db_.fail(code);
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, std::string_view bytes) {
    // A zero-length blob is still a blob, not NULL.
    const int code = sqlite3_bind_blob(statement_, index, bytes.empty() ? "" : bytes.data(),
                                       static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    if (code != SQLITE_OK) db_.fail(code);
    return *this;
}

SqliteStatement& SqliteStatement::bindText(int index, std::string_view text) {
    const int code = sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (code != SQLITE_OK) db_.fail(code);
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    if (const int code = sqlite3_bind_null(statement_, index); code != SQLITE_OK) db_.fail(code);
    return *this;
}

bool SqliteStatement::step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    const SqliteFailure failure = db_.failure(code);
    sqlite3_reset(statement_);
    throw failure;
}

void SqliteStatement::run() {
    while (step()) {
    }
    reset();
}

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::string_view SqliteStatement::blob(int column) const {
    const void* data = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return data == nullptr ? std::string_view()
                           : std::string_view(static_cast<const char*>(data), static_cast<size_t>(size));
}

}  // namespace kirvo
