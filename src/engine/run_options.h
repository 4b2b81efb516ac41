#pragma once

namespace kirvo {

class ScanFilter;

// Everything a comparison run is steered by, besides the two roots.
struct RunOptions {
    bool excludeSubFolders = false;     // "SubOrdner": source sub-folders of the root the target lacks
    bool excludeSystemFolders = false;  // "SystemOrdner": folders with the system attribute
    bool twoSecondTolerance = false;    // "OneSecond": up to 2 seconds apart counts as equal
    const ScanFilter* filter = nullptr; // left-out files and folders; none: everything is listed
};

}  // namespace kirvo
