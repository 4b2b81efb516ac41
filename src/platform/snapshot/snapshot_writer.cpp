#include "platform/snapshot/snapshot_writer.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <random>

#include "platform/file_node.h"
#include "platform/snapshot/snapshot_format.h"
#include "platform/temporary_name.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

namespace format = snapshot_format;

// The folder of a path ("." for a bare name) and the name in it.
std::pair<std::string, std::string> Split(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Bytes as a BLOB; an empty view is a BLOB of no bytes, never NULL.
void BindBytes(sqlite3_stmt* statement, int index, std::string_view bytes) {
    sqlite3_bind_blob(statement, index, bytes.empty() ? "" : bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
}

int Flush(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return error;
}

}  // namespace

SnapshotWriter::~SnapshotWriter() { Abandon(); }

void SnapshotWriter::Abandon() {
    sqlite3_finalize(folder_);
    sqlite3_finalize(entry_);
    sqlite3_close(db_);
    folder_ = entry_ = nullptr;
    db_ = nullptr;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

// The first failure counts; what SQLite met on the disk is the system's error.
void SnapshotWriter::Fail(int code) {
    if (error_ != 0) return;
    const int system = db_ ? sqlite3_system_errno(db_) : 0;
    error_ = code == SQLITE_FULL ? ENOSPC : system != 0 ? system : EIO;
    reason_ = code == SQLITE_FULL || system != 0 ? SystemErrorText(error_) : std::string(db_ ? sqlite3_errmsg(db_) : "");
    if (reason_.empty()) reason_ = SystemErrorText(error_);
}

int SnapshotWriter::Begin(const std::string& path, const Description& description, std::string& reason) {
    path_ = path;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        std::unique_ptr<SnapshotFile> old;
        std::string why;
        if (!S_ISREG(st.st_mode) || SnapshotFile::Open(path, false, old, why) != 0) {
            reason = Tr("dort liegt schon etwas anderes als ein Schnappschuss; es wird nicht ersetzt");
            return EEXIST;
        }
    } else if (errno != ENOENT) {
        reason = SystemErrorText(errno);
        return errno;
    }
    const auto [folder, name] = Split(path);
    std::random_device random;
    const uint64_t number = (static_cast<uint64_t>(random()) << 32) ^ random();
    temporary_ = (folder == "/" ? "" : folder) + "/" + TemporaryName::For(name, number);
    const int fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int error = errno;
        temporary_.clear();
        reason = SystemErrorText(error);
        return error;
    }
    close(fd);
    int code = sqlite3_open_v2(temporary_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    // No journal: an unfinished file is never renamed into place, so it needs no rollback.
    const std::string setup = "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
                              "PRAGMA cache_size=-65536; PRAGMA application_id=" + std::to_string(format::kApplicationId) +
                              "; PRAGMA user_version=" + std::to_string(format::kVersion) + ";" + format::kSchema +
                              "BEGIN;";
    if (code == SQLITE_OK) code = sqlite3_exec(db_, setup.c_str(), nullptr, nullptr, nullptr);
    if (code == SQLITE_OK)
        code = sqlite3_prepare_v2(db_, "INSERT INTO folder VALUES(?, ?, ?, ?, ?, ?)", -1, &folder_, nullptr);
    if (code == SQLITE_OK)
        code = sqlite3_prepare_v2(db_, "INSERT INTO entry VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", -1, &entry_, nullptr);
    sqlite3_stmt* meta = nullptr;
    if (code == SQLITE_OK) code = sqlite3_prepare_v2(db_, "INSERT INTO meta VALUES(?, ?)", -1, &meta, nullptr);
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const int64_t nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    const auto putText = [&](const char* key, const std::string& value) {
        sqlite3_bind_text(meta, 1, key, -1, SQLITE_STATIC);
        sqlite3_bind_text(meta, 2, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        if (code == SQLITE_OK && sqlite3_step(meta) != SQLITE_DONE) code = sqlite3_errcode(db_);
        sqlite3_reset(meta);
    };
    const auto putNumber = [&](const char* key, int64_t value) {
        sqlite3_bind_text(meta, 1, key, -1, SQLITE_STATIC);
        sqlite3_bind_int64(meta, 2, value);
        if (code == SQLITE_OK && sqlite3_step(meta) != SQLITE_DONE) code = sqlite3_errcode(db_);
        sqlite3_reset(meta);
    };
    if (code == SQLITE_OK) {
        putText(format::kFormatKey, format::kFormatName);
        putText(format::kFolderKey, description.folder);
        putNumber(format::kSavedKey, nanoseconds / 1000000000);
        putNumber(format::kSavedNanosecondsKey, nanoseconds % 1000000000);
        putNumber(format::kHashesKey, description.hashes ? 1 : 0);
        putText(format::kLinksKey, std::string(LinkModeName(description.links)));
        putText(format::kFilterKey, description.filter);
        putText(format::kProgramKey, std::string("kirvo ") + KIRVO_VERSION);
    }
    sqlite3_finalize(meta);
    if (code != SQLITE_OK) {
        Fail(code);
        reason = reason_;
        const int error = error_;
        Abandon();
        return error;
    }
    return 0;
}

void SnapshotWriter::AddFolder(int64_t parent, std::string_view name, bool system, int error, std::string_view reason) {
    if (!folder_ || error_ != 0) return;
    sqlite3_bind_int64(folder_, 1, folders_++);
    sqlite3_bind_int64(folder_, 2, parent);
    BindBytes(folder_, 3, name);
    sqlite3_bind_int(folder_, 4, system ? 1 : 0);
    sqlite3_bind_int(folder_, 5, error);
    if (error != 0)
        sqlite3_bind_text(folder_, 6, reason.empty() ? "" : reason.data(), static_cast<int>(reason.size()), SQLITE_STATIC);
    else
        sqlite3_bind_null(folder_, 6);
    if (const int code = sqlite3_step(folder_); code != SQLITE_DONE) Fail(code);
    sqlite3_reset(folder_);
}

void SnapshotWriter::AddEntry(int64_t folder, std::string_view name, const SnapshotFile::Entry& entry, int error,
                              std::string_view reason) {
    if (!entry_ || error_ != 0) return;
    const int kind = entry.kind == RecordKind::Link      ? format::kLink
                     : entry.kind == RecordKind::Unknown ? format::kUnknown
                                                         : format::kFile;
    sqlite3_bind_int64(entry_, 1, folder);
    BindBytes(entry_, 2, name);
    sqlite3_bind_int(entry_, 3, kind);
    sqlite3_bind_int64(entry_, 4, static_cast<int64_t>(entry.size));
    sqlite3_bind_int64(entry_, 5, entry.seconds);
    sqlite3_bind_int64(entry_, 6, entry.nanoseconds);
    const std::string hash = entry.hashed ? entry.hash.Bytes() : std::string();
    if (entry.hashed)
        BindBytes(entry_, 7, hash);
    else
        sqlite3_bind_null(entry_, 7);
    if (entry.kind == RecordKind::Link)
        BindBytes(entry_, 8, entry.link);
    else
        sqlite3_bind_null(entry_, 8);
    sqlite3_bind_int(entry_, 9, error);
    if (entry.kind == RecordKind::Unknown)
        sqlite3_bind_text(entry_, 10, reason.empty() ? "" : reason.data(), static_cast<int>(reason.size()), SQLITE_STATIC);
    else
        sqlite3_bind_null(entry_, 10);
    if (const int code = sqlite3_step(entry_); code != SQLITE_DONE) Fail(code);
    sqlite3_reset(entry_);
    if (entry.kind != RecordKind::Unknown) ++files_;
}

int SnapshotWriter::Finish(std::string& reason) {
    if (!db_ && error_ == 0) {
        error_ = EBADF;
        reason_ = SystemErrorText(error_);
    }
    if (error_ == 0) {
        const std::string end = "INSERT INTO meta VALUES('" + std::string(format::kFilesKey) + "', " +
                                std::to_string(files_) + "); COMMIT;";
        if (const int code = sqlite3_exec(db_, end.c_str(), nullptr, nullptr, nullptr); code != SQLITE_OK) Fail(code);
    }
    sqlite3_finalize(folder_);
    sqlite3_finalize(entry_);
    folder_ = entry_ = nullptr;
    if (error_ == 0) {
        if (const int code = sqlite3_close(db_); code != SQLITE_OK) Fail(code);
    } else {
        sqlite3_close(db_);
    }
    db_ = nullptr;
    // On the disk before it takes the name, and the name on the disk after.
    if (error_ == 0) error_ = Flush(temporary_, O_RDONLY);
    if (error_ == 0 && rename(temporary_.c_str(), path_.c_str()) != 0) error_ = errno;
    if (error_ == 0) {
        temporary_.clear();
        Flush(Split(path_).first, O_RDONLY | O_DIRECTORY);  // the snapshot is complete either way
        return 0;
    }
    if (reason_.empty()) reason_ = SystemErrorText(error_);
    reason = reason_;
    Abandon();
    return error_;
}

}  // namespace kirvo
