#pragma once
#include <string>
#include <string_view>

#include "platform/folder_handle.h"

namespace kirvo {

// How the file operations reach the roots they work below: the local file
// system, or, for a root of the form "scheme://...", the backend it names.
class RootAccess {
public:
    virtual ~RootAccess() = default;

    // Opens a root folder as the user named it; 0 or the error.
    virtual int open(const std::string& root, FolderHandle& out) = 0;
    // Creates a missing root and the missing folders above it; 0 or the error,
    // with the folder concerned in failed.
    virtual int make(const std::string& root, std::string& failed) = 0;

    // The local file system's.
    static RootAccess& Local();
};

// Whether a root belongs to another backend than the local file system: it
// begins with a scheme ("sftp://").
bool IsRemoteRoot(std::string_view root);

// The local RootAccess::make.
int MakeFolders(const std::string& root, std::string& failed);

}  // namespace kirvo
