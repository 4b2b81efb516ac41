#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_options.h"
#include "engine/scanned_side.h"
#include "platform/directory_lister.h"
#include "platform/function_ref.h"

namespace kirvo {

// Lists one side's tree into its ScannedSide with the result of a
// breadth-first walk: the root, then its sub-folders in the order the listing
// reports them, then theirs, so a folder's index is its place in that walk
// and the entries lie in walk order. Several folders may be listed at once
// (RunOptions::parallel); listings finish in any order, and each folder's
// files and sub-folders are taken into the side only when every folder
// before it in the walk has been, so the result is the same however many
// are under way. What is entered and listed follows the run's options.
class TreeScanner {
public:
    // Whether a name is listed in the target root ("SubOrdner"); asked only
    // for the source root's own sub-folders, and only with that option.
    using RootNameCheck = FunctionRef<bool(std::string_view)>;

    TreeScanner(ScannedSide& into, int32_t side, const RunOptions& options, int64_t utcOffset,
                RootNameCheck existsInTargetRoot);
    ~TreeScanner();

    // Empties the side, then scans the tree below root (which ends in the
    // separator) through lister. Ends early, with part of the tree, when the
    // run's progress asks to stop.
    void Scan(const std::string& root, DirectoryLister& lister);

private:
    struct Folder;
    void Take(Folder& folder, const DirectoryRecord& record);
    void Finished(Folder& folder);
    void StartListing(Folder& folder);
    void Completed(Folder& folder);
    void CommitReady();

    ScannedSide& into_;
    int32_t side_;
    const RunOptions& options_;
    int64_t utcOffset_;
    RootNameCheck existsInTargetRoot_;

    // The run of one Scan.
    const std::string* root_ = nullptr;
    DirectoryLister* lister_ = nullptr;
    DirectoryLister::Detail detail_ = DirectoryLister::Detail::Full;
    std::deque<Folder> found_;        // every folder found, in the order found
    std::deque<Folder*> waiting_;     // found, not yet started
    std::vector<Folder*> walk_;       // by folder index, as far as known
    size_t committed_ = 0;            // walk_[0 .. committed_) are in the side
    int running_ = 0;
    // Listings that finished, handed over by the lister's threads.
    std::mutex mutex_;
    std::condition_variable finished_;
    std::vector<Folder*> done_;
};

}  // namespace kirvo
