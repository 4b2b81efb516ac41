#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_handle.h"

namespace kirvo {

// A file put into the trash: where it lies now (for the log), and what is needed
// to take a kept version back.
struct TrashedFile {
    std::string path;      // the file in the trash's "files" folder
    std::string base;      // the trash folder itself (it holds "files" and "info")
    std::string infoName;  // its record in the trash's "info" folder
    std::string name;      // its name in "files"
    size_t directory = 0;  // which of the Trash's folders
};

// The desktop trash of the local file systems (freedesktop.org trash, as file
// managers and trash-restore read it): the home trash for files on the home
// file system, "$topdir/.Trash/$uid" (when it is a valid shared trash) or
// "$topdir/.Trash-$uid" on other file systems, found from the file's folder.
// Each trashed file gets a record (original path, deletion date) in "info",
// written before the file moves to a name of its own in "files".
//
// Every call returns 0, kNoTrash when no trash can take the file (the reason,
// in German, in `reason`: a top folder that cannot be written, a trash folder
// that is not safe to use, a full disk, a file on another file system than
// its trash), or the system's error concerning the file itself (so that the
// file could not be deleted either). Trash folders are looked up once per file
// system and kept for the object's life.
class Trash {
public:
    Trash();
    ~Trash();
    Trash(const Trash&) = delete;
    Trash& operator=(const Trash&) = delete;

    // Whether the desktop trash can take files of `folder` at all: not on another
    // machine, where every call answers kNoTrash with kNoRemoteTrash.
    static bool Reaches(const FolderHandle& folder);
    // The trash in the user's home: $XDG_DATA_HOME/Trash, else ~/.local/share/Trash;
    // "" without a home.
    static std::string HomeTrashPath();
    static constexpr std::string_view kNoRemoteTrash =
        "auf dem entfernten Rechner gibt es keinen Papierkorb (wer die alte Fassung behalten will, gleicht zuerst "
        "mit einem lokalen Ordner ab)";

    // Whether files of `folder` have a trash; nothing is written but missing
    // trash folders.
    int check(const FolderHandle& folder, std::string& reason);

    // Moves the file or link `name` of `folder` into the trash.
    int move(const FolderHandle& folder, std::string_view name, TrashedFile& out, std::string& reason);

    // Kept version: puts a hard link of `name` into the trash and leaves the file
    // where it is, so the caller can then rename its replacement over it.
    int keep(const FolderHandle& folder, std::string_view name, TrashedFile& out, std::string& reason);

    // Takes back what keep() put into the trash (the replacement did not happen).
    void withdraw(const TrashedFile& kept);

    // Makes the records and moves durable: one flush per trash file system
    // (a failure is a notice).
    void flush();

    // What should be told once (say, a "$topdir/.Trash" that is not safe and was
    // passed over); each notice is handed out once.
    std::vector<std::string> takeNotices();

private:
    struct Directory;
    int find(const FolderHandle& folder, Directory*& out, std::string& reason);
    int put(const FolderHandle& folder, std::string_view name, bool link, TrashedFile& out, std::string& reason);

    std::vector<std::unique_ptr<Directory>> directories_;
    std::vector<std::string> notices_;
};

}  // namespace kirvo
