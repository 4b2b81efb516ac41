#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/run_options.h"
#include "engine/scanned_side.h"
#include "platform/function_ref.h"

namespace kirvo {

struct DirectoryRecord;

// Lists one side's tree into its ScannedSide: the root, then its sub-folders
// in the order the listing reports them, then theirs (breadth-first), so a
// folder's index is its place in that walk. Each folder is opened relative to
// its open parent (no path length limit; a folder swapped for a link is not
// entered). What is entered and listed follows the run's options.
class TreeScanner {
public:
    // Whether a name is listed in the target root ("SubOrdner"); asked only
    // for the source root's own sub-folders, and only with that option.
    using RootNameCheck = FunctionRef<bool(std::string_view)>;

    TreeScanner(ScannedSide& into, int32_t side, const RunOptions& options, int64_t utcOffset,
                RootNameCheck existsInTargetRoot)
        : into_(into), side_(side), options_(options), utcOffset_(utcOffset), existsInTargetRoot_(existsInTargetRoot) {}

    // Empties the side, then scans the tree below root (which ends in the separator).
    void Scan(const std::string& root);

private:
    void MakeEntry(int32_t folderIndex, const std::string* folder, const DirectoryRecord& record);

    ScannedSide& into_;
    int32_t side_;
    const RunOptions& options_;
    int64_t utcOffset_;
    RootNameCheck existsInTargetRoot_;
};

}  // namespace kirvo
