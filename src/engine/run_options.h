#pragma once
#include <cstdint>
#include <string_view>

#include "platform/content_reader.h"
#include "platform/directory_lister.h"

namespace kirvo {

class ContentMemory;
class ContentProgress;
class ScanFilter;
class ScanProgress;

// What decides whether two files of one path are equal ("Vergleich").
enum class CompareBy : int32_t {
    Time = 0,         // the last-write times alone
    TimeAndSize = 1,  // and equal times with different sizes are a conflict
    Content = 2,      // the bytes: equal sizes are read and compared
};

// "time", "time-size", "content": the names of the settings in options and job
// files, and back (false for any other name).
const char* CompareByName(CompareBy compareBy);
bool CompareByFromName(std::string_view name, CompareBy& compareBy);

// Everything a comparison run is steered by, besides the two roots.
struct RunOptions {
    bool excludeSubFolders = false;     // "SubOrdner": source sub-folders of the root the target lacks
    bool excludeSystemFolders = false;  // "SystemOrdner": folders with the system attribute
    bool twoSecondTolerance = false;    // "OneSecond": up to 2 seconds apart counts as equal
    bool ignoreHour = false;            // "Stunde": exactly one hour apart counts as equal
    CompareBy compareBy = CompareBy::Time;  // "Vergleich"
    LinkMode links = LinkMode::Follow;      // "Verknuepfungen"
    const ScanFilter* filter = nullptr; // left-out files and folders; none: everything is listed
    // Listings under way at once per side ("Parallel"); 0: automatic, the
    // lister's number for its root, raised while its listings wait for the
    // device and lowered once they stop (InFlightControl).
    int parallel = 0;
    // Counts and the folder being read, and the request to stop; none: not watched.
    ScanProgress* progress = nullptr;
    // Makes the lister of each root; empty: the platform's (MakeDirectoryLister).
    DirectoryListerFactory listers;
    // Comparing by content: Run leaves the reading to CompareContents (a
    // phase of its own, with its own progress); false: Run reads as well.
    bool deferContents = false;
    // Bytes read and the request to stop the reading; none: not watched.
    ContentProgress* contentProgress = nullptr;
    // Makes the content reader of each root; empty: the platform's (MakeContentReader).
    ContentReaderFactory readers;
    // Hashes read before, asked before a file is read and told of every file
    // read whole; none: every file is read.
    ContentMemory* contentMemory = nullptr;
    // Keep each file's device and inode (TreeMatcher::identityOf), for the
    // runs that tell moves and replaced files by them; a side table, so a
    // plain comparison pays nothing for it.
    bool identities = false;
};

}  // namespace kirvo
