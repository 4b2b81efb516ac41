#pragma once
#include "platform/directory_lister.h"

namespace kirvo {

class ScanFilter;
class ScanProgress;

// Everything a comparison run is steered by, besides the two roots.
struct RunOptions {
    bool excludeSubFolders = false;     // "SubOrdner": source sub-folders of the root the target lacks
    bool excludeSystemFolders = false;  // "SystemOrdner": folders with the system attribute
    bool twoSecondTolerance = false;    // "OneSecond": up to 2 seconds apart counts as equal
    const ScanFilter* filter = nullptr; // left-out files and folders; none: everything is listed
    // Listings under way at once per side ("Parallel"); 0: the lister's choice for its root.
    int parallel = 0;
    // Counts and the folder being read, and the request to stop; none: not watched.
    ScanProgress* progress = nullptr;
    // Makes the lister of each root; empty: the platform's (MakeDirectoryLister).
    DirectoryListerFactory listers;
};

}  // namespace kirvo
