#include "platform/snapshot/snapshot_file.h"

#include <sqlite3.h>

#include <cerrno>

#include "platform/file_node.h"
#include "platform/snapshot/snapshot_format.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

namespace format = snapshot_format;

std::string_view Column(sqlite3_stmt* statement, int column) {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
    return {bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(statement, column))};
}

// What SQLite says of a file that is not one of its databases, or a damaged one.
bool NotOurs(int code) { return code == SQLITE_NOTADB || code == SQLITE_CORRUPT || code == SQLITE_FORMAT; }

// A one-row answer to a pragma or a query; false when there is none.
bool QueryInteger(sqlite3* db, const char* sql, int64_t& value) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return false;
    const bool row = sqlite3_step(statement) == SQLITE_ROW;
    if (row) value = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    return row;
}

}  // namespace

SnapshotFile::~SnapshotFile() {
    sqlite3_finalize(list_);
    sqlite3_finalize(find_);
    sqlite3_close(db_);
}

int SnapshotFile::Open(const std::string& path, bool checkWhole, std::unique_ptr<SnapshotFile>& file,
                       std::string& reason) {
    file.reset();
    std::unique_ptr<SnapshotFile> opened(new SnapshotFile());
    // Read-only, and never a journal or a lock file beside it: the file is
    // only ever replaced as a whole.
    const int code = sqlite3_open_v2(path.c_str(), &opened->db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        const int error = opened->db_ ? sqlite3_system_errno(opened->db_) : 0;
        reason = SystemErrorText(error != 0 ? error : kNotSnapshot);
        return error != 0 ? error : kNotSnapshot;
    }
    if (const int error = opened->Load(checkWhole, reason)) return error;
    file = std::move(opened);
    return 0;
}

int SnapshotFile::Load(bool checkWhole, std::string& reason) {
    const auto notOurs = [&reason](std::string why) {
        reason = std::move(why);
        return kNotSnapshot;
    };
    int64_t id = 0;
    if (!QueryInteger(db_, "PRAGMA application_id", id)) {
        const int error = sqlite3_system_errno(db_);
        if (!NotOurs(sqlite3_errcode(db_)) && error != 0) {
            reason = SystemErrorText(error);
            return error;
        }
        return notOurs(Tr("keine Schnappschussdatei von Kirvo"));
    }
    if (id != format::kApplicationId) return notOurs(Tr("keine Schnappschussdatei von Kirvo"));
    int64_t version = 0;
    QueryInteger(db_, "PRAGMA user_version", version);
    if (version > format::kVersion)
        return notOurs(Tr("von einer neueren Version von Kirvo gespeichert; diese kann ihn nicht lesen"));
    if (checkWhole) {
        sqlite3_stmt* check = nullptr;
        bool ok = sqlite3_prepare_v2(db_, "PRAGMA quick_check", -1, &check, nullptr) == SQLITE_OK &&
                  sqlite3_step(check) == SQLITE_ROW && Column(check, 0) == "ok";
        sqlite3_finalize(check);
        if (!ok) return notOurs(Tr("der Schnappschuss ist beschädigt"));
    }

    sqlite3_stmt* meta = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT key, value FROM meta", -1, &meta, nullptr) != SQLITE_OK)
        return notOurs(Tr("der Schnappschuss ist beschädigt"));
    bool named = false;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(meta)) == SQLITE_ROW) {
        const std::string_view key = Column(meta, 0);
        const std::string_view text = Column(meta, 1);
        const int64_t number = sqlite3_column_int64(meta, 1);
        if (key == format::kFormatKey) named = text == format::kFormatName;
        else if (key == format::kFolderKey) summary_.folder = text;
        else if (key == format::kSavedKey) summary_.savedSeconds = number;
        else if (key == format::kSavedNanosecondsKey) summary_.savedNanoseconds = static_cast<uint32_t>(number);
        else if (key == format::kHashesKey) summary_.hashes = number != 0;
        else if (key == format::kLinksKey) ParseLinkMode(text, summary_.links);
        else if (key == format::kFilterKey) summary_.filter = text;
        else if (key == format::kFilesKey) summary_.files = number;
        else if (key == format::kProgramKey) summary_.program = text;
    }
    sqlite3_finalize(meta);
    if (step != SQLITE_DONE || !named) return notOurs(Tr("der Schnappschuss ist beschädigt"));

    sqlite3_stmt* folders = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT id, parent, name, system, error, reason FROM folder ORDER BY id", -1, &folders,
                           nullptr) != SQLITE_OK)
        return notOurs(Tr("der Schnappschuss ist beschädigt"));
    bool inOrder = true;
    while (inOrder && (step = sqlite3_step(folders)) == SQLITE_ROW) {
        const int64_t folderId = sqlite3_column_int64(folders, 0);
        const int64_t parent = sqlite3_column_int64(folders, 1);
        const auto index = static_cast<int64_t>(folders_.size());
        // Each folder after its parent, numbered in walk order from the root.
        inOrder = folderId == index && (index == 0 ? parent == -1 : parent >= 0 && parent < index);
        if (!inOrder) break;
        Folder& folder = folders_.emplace_back();
        folder.parent = parent;
        if (index > 0) {
            const std::string_view name = Column(folders, 2);
            inOrder = !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
            folder.path.append(folders_[static_cast<size_t>(parent)].path).append(name).push_back('/');
            folders_[static_cast<size_t>(parent)].children.push_back(static_cast<uint32_t>(index));
        }
        folder.system = sqlite3_column_int(folders, 3) != 0;
        folder.error = sqlite3_column_int(folders, 4);
        folder.reason = Column(folders, 5);
    }
    sqlite3_finalize(folders);
    if (!inOrder || step != SQLITE_DONE || folders_.empty()) return notOurs(Tr("der Schnappschuss ist beschädigt"));
    summary_.folders = static_cast<int64_t>(folders_.size());
    byPath_.reserve(folders_.size());
    for (size_t i = 0; i < folders_.size(); ++i) byPath_.emplace(folders_[i].path, static_cast<uint32_t>(i));
    if (sqlite3_prepare_v2(db_, "SELECT name, kind, size, mtime, nsec, error, reason FROM entry WHERE folder = ?", -1,
                           &list_, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db_, "SELECT kind, size, mtime, nsec, hash, link FROM entry WHERE folder = ? AND name = ?",
                           -1, &find_, nullptr) != SQLITE_OK)
        return notOurs(Tr("der Schnappschuss ist beschädigt"));
    return 0;
}

ListingStatus SnapshotFile::Damaged() const {
    return ListingStatus::Failed(kNotSnapshot, Tr("der Schnappschuss ist beschädigt: ") + std::string(sqlite3_errmsg(db_)));
}

ListingStatus SnapshotFile::List(std::string_view relative, FunctionRef<void(const DirectoryRecord&)> visit) {
    const auto found = byPath_.find(std::string(relative));
    if (found == byPath_.end()) return ListingStatus::Failed(ENOENT, SystemErrorText(ENOENT));
    const Folder& folder = folders_[found->second];
    for (const uint32_t child : folder.children) {
        const Folder& sub = folders_[child];
        DirectoryRecord record;
        record.name = std::string_view(sub.path).substr(folder.path.size(), sub.path.size() - folder.path.size() - 1);
        record.kind = RecordKind::Directory;
        record.isSystem = sub.system;
        visit(record);
    }
    sqlite3_reset(list_);
    sqlite3_bind_int64(list_, 1, found->second);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(list_)) == SQLITE_ROW) {
        DirectoryRecord record;
        record.name = Column(list_, 0);
        const int kind = sqlite3_column_int(list_, 1);
        record.kind = kind == snapshot_format::kLink      ? RecordKind::Link
                      : kind == snapshot_format::kUnknown ? RecordKind::Unknown
                                                          : RecordKind::File;
        record.size = static_cast<uint64_t>(sqlite3_column_int64(list_, 2));
        record.modifiedSeconds = sqlite3_column_int64(list_, 3);
        record.modifiedNanoseconds = static_cast<uint32_t>(sqlite3_column_int64(list_, 4));
        std::string reason;
        if (record.kind == RecordKind::Unknown) {
            record.error = sqlite3_column_int(list_, 5);
            reason = std::string(Column(list_, 6)) + Tr(" (beim Speichern des Schnappschusses)");
            record.reason = reason;
        }
        visit(record);
    }
    if (step != SQLITE_DONE) return Damaged();
    if (folder.error != 0)
        return ListingStatus::Failed(folder.error, folder.reason + Tr(" (beim Speichern des Schnappschusses)"));
    return {};
}

int SnapshotFile::Find(std::string_view relative, Entry& entry) {
    const size_t slash = relative.rfind('/');
    const std::string folderPath(slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash + 1));
    const std::string_view name = slash == std::string_view::npos ? relative : relative.substr(slash + 1);
    const auto found = byPath_.find(folderPath);
    if (found == byPath_.end()) return ENOENT;
    sqlite3_reset(find_);
    sqlite3_bind_int64(find_, 1, found->second);
    sqlite3_bind_blob(find_, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    const int step = sqlite3_step(find_);
    if (step == SQLITE_DONE) return ENOENT;
    if (step != SQLITE_ROW) return kNotSnapshot;
    const int kind = sqlite3_column_int(find_, 0);
    entry = Entry{};
    entry.kind = kind == snapshot_format::kLink ? RecordKind::Link
                 : kind == snapshot_format::kUnknown ? RecordKind::Unknown
                                                     : RecordKind::File;
    entry.size = static_cast<uint64_t>(sqlite3_column_int64(find_, 1));
    entry.seconds = sqlite3_column_int64(find_, 2);
    entry.nanoseconds = static_cast<uint32_t>(sqlite3_column_int64(find_, 3));
    entry.hashed = sqlite3_column_type(find_, 4) != SQLITE_NULL && ContentHash::FromBytes(Column(find_, 4), entry.hash);
    entry.link = Column(find_, 5);
    sqlite3_reset(find_);
    return 0;
}

}  // namespace kirvo
