#include "sync/state_records.h"

#include <string>
#include <unordered_map>

#include "sync/sqlite_database.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

const SideRecord& Column(const FileRecord& record, int column, bool swapped) {
    return (column == 0) != swapped ? record.source : record.target;
}
SideRecord& Column(FileRecord& record, int column, bool swapped) {
    return (column == 0) != swapped ? record.source : record.target;
}

// "a/b/c" as "a/b/" and "c"; a folder's "a/b/" as "a/" and "b/".
std::pair<std::string_view, std::string_view> Split(std::string_view path) {
    const size_t slash = path.substr(0, path.empty() ? 0 : path.size() - 1).rfind('/');
    const size_t cut = slash == std::string_view::npos ? 0 : slash + 1;
    return {path.substr(0, cut), path.substr(cut)};
}

}  // namespace

void ReadStateRecords(const SqliteDatabase& db, int64_t pairId, const int64_t (&pairDevice)[2], bool swapped,
                      SyncState& state) {
    std::unordered_map<int64_t, std::string> folders;
    SqliteStatement folderRows(db, "SELECT id, path FROM folder WHERE pair = ?");
    folderRows.bind(1, pairId);
    while (folderRows.step()) folders.emplace(folderRows.integer(0), std::string(folderRows.blob(1)));

    SqliteStatement files(db,
                          "SELECT folder, name, a_size, a_mtime, a_inode, a_device, b_size, b_mtime, b_inode, "
                          "b_device, a_ctime, b_ctime, b_path, exact FROM file "
                          "WHERE folder IN (SELECT id FROM folder WHERE pair = ?)");
    files.bind(1, pairId);
    int64_t lastFolder = -1;
    const std::string* folder = nullptr;
    std::string key;
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
        a.ctimeNs = files.integer(10);
        b.ctimeNs = files.integer(11);
        record.legacy = files.isNull(13) || files.integer(13) == 0;
        const std::string_view second = files.isNull(12) ? std::string_view() : files.blob(12);
        if (!swapped || second.empty()) {
            state.add(*folder, files.blob(1), record, second);
        } else {
            // The source is the second root: the state is keyed by its names.
            key.assign(*folder).append(files.blob(1));
            const auto [sourceFolder, sourceName] = Split(second);
            state.add(sourceFolder, sourceName, record, key);
        }
    }
}

void WriteStateRecords(SqliteDatabase& db, int64_t pairId, std::optional<int64_t> (&pairDevice)[2], bool swapped,
                       const StateUpdate& update) {
    // The device most records share is the pair's; set once, by the first files.
    if (!pairDevice[0] || !pairDevice[1]) {
        for (const StateUpdate::Put& p : update.puts) {
            if (p.name.ends_with('/')) continue;
            for (int c = 0; c < 2; ++c)
                if (!pairDevice[c]) pairDevice[c] = static_cast<int64_t>(Column(p.record, c, swapped).device);
            SqliteStatement devices(db, "UPDATE pair SET first_device = ?, second_device = ? WHERE id = ?");
            devices.bind(1, *pairDevice[0]).bind(2, *pairDevice[1]).bind(3, pairId).run();
            break;
        }
    }
    std::unordered_map<std::string, int64_t> folders;
    SqliteStatement folderRows(db, "SELECT id, path FROM folder WHERE pair = ?");
    folderRows.bind(1, pairId);
    while (folderRows.step()) folders.emplace(std::string(folderRows.blob(1)), folderRows.integer(0));
    SqliteStatement addFolder(db, "INSERT INTO folder(pair, path) VALUES(?, ?)");
    std::string lastFolder;
    int64_t lastFolderId = -1;
    const auto folderId = [&](std::string_view folder, bool make) -> int64_t {
        if (lastFolderId >= 0 && folder == lastFolder) return lastFolderId;
        const auto it = folders.find(std::string(folder));
        int64_t id = -1;
        if (it != folders.end()) {
            id = it->second;
        } else if (make) {
            addFolder.bind(1, pairId).bindBlob(2, folder).run();
            id = sqlite3_last_insert_rowid(db.handle());
            folders.emplace(std::string(folder), id);
        }
        if (id >= 0) {
            lastFolder.assign(folder);
            lastFolderId = id;
        }
        return id;
    };
    const std::optional<int64_t> device[2] = {pairDevice[0], pairDevice[1]};
    const auto bindSide = [](SqliteStatement& row, const SideRecord& side, const std::optional<int64_t>& pair, int inode,
                             int deviceColumn, int ctime) {
        if (side.inode != 0) row.bind(inode, static_cast<int64_t>(side.inode));
        if (static_cast<int64_t>(side.device) != pair) row.bind(deviceColumn, static_cast<int64_t>(side.device));
        if (side.ctimeNs != 0) row.bind(ctime, side.ctimeNs);
    };

    SqliteStatement put(db,
                        "INSERT OR REPLACE INTO file(folder, name, a_size, a_mtime, a_inode, a_device, b_size, b_mtime, "
                        "b_inode, b_device, a_ctime, b_ctime, b_path, exact) "
                        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1)");
    std::string sourcePath;
    for (const StateUpdate::Put& p : update.puts) {
        const SideRecord& a = Column(p.record, 0, swapped);
        const SideRecord& b = Column(p.record, 1, swapped);
        // Keyed by the first root's names; the second's beside them where they differ.
        std::string_view folder = p.folder, name = p.name, second = p.targetPath;
        if (swapped && !p.targetPath.empty()) {
            std::tie(folder, name) = Split(p.targetPath);
            sourcePath.assign(p.folder).append(p.name);
            second = sourcePath;
        }
        put.bind(1, folderId(folder, true)).bindBlob(2, name);
        put.bind(3, static_cast<int64_t>(a.size)).bind(4, a.mtimeNs);
        if (b.size != a.size) put.bind(7, static_cast<int64_t>(b.size));
        if (b.mtimeNs != a.mtimeNs) put.bind(8, b.mtimeNs);
        bindSide(put, a, device[0], 5, 6, 11);
        bindSide(put, b, device[1], 9, 10, 12);
        if (!second.empty()) put.bindBlob(13, second);
        put.run();  // unbound columns stay NULL
    }
    SqliteStatement remove(db, "DELETE FROM file WHERE folder = ? AND name = ?");
    for (const StateUpdate::Removal& r : update.removals) {
        // Keyed by the first root's names.
        const auto [folder, name] =
            swapped && !r.targetPath.empty() ? Split(r.targetPath) : std::pair(r.folder, r.name);
        const int64_t id = folderId(folder, false);
        if (id >= 0) remove.bind(1, id).bindBlob(2, name).run();
    }
    if (!update.removals.empty()) {
        SqliteStatement prune(db,
                              "DELETE FROM folder WHERE pair = ? AND NOT EXISTS "
                              "(SELECT 1 FROM file WHERE file.folder = folder.id)");
        prune.bind(1, pairId).run();
    }
}

}  // namespace kirvo
