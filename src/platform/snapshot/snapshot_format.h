#pragma once
#include <cstdint>

namespace kirvo::snapshot_format {

// A snapshot is one SQLite file. Its application id ("KVSN") and version
// tell it from any other database; a newer version is refused, never half read.
inline constexpr int32_t kApplicationId = 0x4B56534E;
inline constexpr int32_t kVersion = 1;
// The name ending the file dialogs offer and the help suggests.
inline constexpr const char* kExtension = ".kirvo-snapshot";

// What was saved: key/value pairs. Folders by walk position (id; the root
// is 0, with parent -1 and an empty name), each after its parent. Entries
// are the files, links and names that could not be inspected of a folder,
// kept together by folder. Names are the file system's bytes (BLOB). A
// folder whose listing broke off, or an entry that could not be inspected,
// carries the system's error and the reason.
inline constexpr const char* kSchema =
    "CREATE TABLE meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;"
    "CREATE TABLE folder(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name BLOB NOT NULL,"
    " system INTEGER NOT NULL, error INTEGER NOT NULL, reason TEXT);"
    "CREATE TABLE entry(folder INTEGER NOT NULL, name BLOB NOT NULL, kind INTEGER NOT NULL,"
    " size INTEGER NOT NULL, mtime INTEGER NOT NULL, nsec INTEGER NOT NULL, hash BLOB, link BLOB,"
    " error INTEGER NOT NULL, reason TEXT, PRIMARY KEY(folder, name)) WITHOUT ROWID;";

// entry.kind
inline constexpr int kFile = 0;
inline constexpr int kLink = 1;     // a link kept as itself; link holds its text
inline constexpr int kUnknown = 2;  // there, but what it is could not be found out

// meta keys
inline constexpr const char* kFormatKey = "format";
inline constexpr const char* kFormatName = "kirvo-snapshot";
inline constexpr const char* kFolderKey = "folder";          // the saved folder, as the user named it
inline constexpr const char* kSavedKey = "saved";            // UTC seconds
inline constexpr const char* kSavedNanosecondsKey = "saved_ns";
inline constexpr const char* kHashesKey = "hashes";          // 1: files carry XXH3-128 hashes
inline constexpr const char* kLinksKey = "links";            // follow, copy, skip
inline constexpr const char* kFilterKey = "filter";          // the patterns it was saved with, "" for none
inline constexpr const char* kFilesKey = "files";
inline constexpr const char* kProgramKey = "program";

}  // namespace kirvo::snapshot_format
