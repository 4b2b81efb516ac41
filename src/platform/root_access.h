#pragma once
#include <string>
#include <string_view>

#include "platform/folder_handle.h"
#include "platform/root.h"

namespace kirvo {

// How the file operations reach the roots they work below: the local file
// system, or the backend a remote root was connected through.
class RootAccess {
public:
    virtual ~RootAccess() = default;

    // Opens a root folder as the user named it; 0 or the error.
    virtual int open(const std::string& root, FolderHandle& out) = 0;
    // Creates a missing root whose parent folder exists: that one folder,
    // never missing folders above it (a drive that is not connected must not
    // turn into folders on another disk). 0 or the error (ENOENT: the parent
    // is missing), with the folder concerned in failed.
    virtual int make(const std::string& root, std::string& failed) = 0;
    // Whether the root belongs to another machine.
    virtual bool remote(std::string_view /*root*/) const { return false; }
    // Looks at what there is at a root (Root::Inspect for a local one).
    virtual void inspect(Root& root) { root.Inspect(); }

    // The local file system's.
    static RootAccess& Local();
};

// The local RootAccess::make.
int MakeRootFolder(const std::string& root, std::string& failed);

}  // namespace kirvo
