#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// A failed SQLite call inside the state store; never leaves it (the store
// turns it into a StoreError).
struct SqliteFailure {
    int code;
    int systemErrno;
    std::string message;
};

// One connection, closed with the object.
class SqliteDatabase {
public:
    SqliteDatabase() = default;
    ~SqliteDatabase() { close(); }
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void open(const std::string& path, int busyTimeoutMs);  // creates a missing file
    void close();
    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }

    void exec(const char* sql);
    // What went wrong with the last call, which returned code.
    SqliteFailure failure(int code) const;
    [[noreturn]] void fail(int code) const;

private:
    sqlite3* db_ = nullptr;
};

// A prepared statement: bind (from 1), step, read columns (from 0), reset.
class SqliteStatement {
public:
    SqliteStatement(const SqliteDatabase& db, const char* sql);
    ~SqliteStatement() { sqlite3_finalize(statement_); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& bind(int index, int64_t value);
    SqliteStatement& bindBlob(int index, std::string_view bytes);
    SqliteStatement& bindText(int index, std::string_view text);
    SqliteStatement& bindNull(int index);
    // True for a row, false when done.
    bool step();
    // Runs a statement that returns no rows, then resets it for the next use.
    void run();
    void reset();

    bool isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string_view blob(int column) const;

private:
    const SqliteDatabase& db_;
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace kirvo
