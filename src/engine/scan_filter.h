#pragma once
#include <string_view>

namespace kirvo {

// Decides which folders a scan enters and which files it lists. The same
// decisions are taken on both sides, before any pairing, so a comparison
// under a filter is the comparison of the two trees with the left-out files
// and folders removed. A folder carries one bit down the tree ("included"),
// for rules that keep everything below a folder that they name.
class ScanFilter {
public:
    virtual ~ScanFilter() = default;

    struct FolderDecision {
        bool enter = true;      // false: neither the folder nor anything below it is listed
        bool included = false;  // handed to its files and sub-folders
    };

    // A sub-folder found in the scan. relativePath is its path from the root
    // with the separator after each name, the last one included ("a/b/");
    // name is its own name; parentIncluded is its parent's bit (the root's is
    // RootIncluded()).
    virtual FolderDecision Folder(std::string_view relativePath, std::string_view name,
                                  bool parentIncluded) const = 0;
    // A file found in the folder `folder` (the folder's relative path, "" for
    // the root) whose bit is folderIncluded: is it listed?
    virtual bool File(std::string_view folder, std::string_view name, bool folderIncluded) const = 0;
    // The bit of the root folder.
    virtual bool RootIncluded() const { return false; }
};

}  // namespace kirvo
