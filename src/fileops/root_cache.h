#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "fileops/file_attempt.h"
#include "fileops/rooted_path.h"
#include "platform/folder_handle.h"
#include "platform/root_access.h"

namespace kirvo {

// A rooted path taken apart: the root it is reached from, the folder below the
// root and the name.
struct PathParts {
    std::string root;             // "" = the current folder
    std::string_view folder;      // "" or "a/b", relative to root
    std::string_view name;
    std::string_view fullFolder;  // root + folder, for messages

    static PathParts Of(const RootedPath& p);
};

// Whether folder is ancestor or lies below it (paths as texts).
bool IsWithinFolder(std::string_view folder, std::string_view ancestor);

// The roots of one request, each opened once, and the folders reached below them.
class RootCache {
public:
    explicit RootCache(RootAccess& access) : access_(access) {}

    // 0 or the error; handle points at the cached root. A root that could not
    // be opened, or can no longer be reached, is opened again.
    int open(const std::string& root, const FolderHandle*& handle);
    // Creates a missing root (see RootAccess::make).
    int make(const std::string& root, std::string& failed) { return access_.make(root, failed); }
    // Whether a root lies on another machine (see RootAccess::remote).
    bool remote(std::string_view root) const { return access_.remote(root); }

    // Opens the folder of p below its root; on failure a failed attempt naming
    // the folder concerned. A missing folder is no failure unless missingIsError
    // (folder stays invalid then).
    FileAttempt openFolderOf(const RootedPath& p, const PathParts& parts, std::string_view what, FolderHandle& folder,
                             bool missingIsError = true);

private:
    struct Entry {
        std::string root;
        FolderHandle handle;
        int error = 0;
    };
    RootAccess& access_;
    std::vector<Entry> entries_;
};

}  // namespace kirvo
