#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "app/sync_controller.h"
#include "fileops/file_operation_service.h"
#include "fileops/operation_summary.h"
#include "platform/root.h"

namespace kirvo {

class AppOptions;
class ResultRows;
class TreeMatcher;
class UserPrompts;

// What one file-operation command did.
struct OperationOutcome {
    // The command ran (asked, copied, deleted, or found nothing to do): the
    // comparison runs again. False: nothing was started at all (another
    // operation is under way, nothing is selected, or one root lies inside
    // the other), and the list stays as it is.
    bool compareAgain = false;
    // The service's report of each request it was given, in order, and what
    // each was (a synchronisation's requests differ; empty: all of the command's kind).
    std::vector<OperationResult> results;
    std::vector<OperationSummary::Kind> kinds;
    // For the status bar, once the comparison that follows is over; "" for none.
    std::string note;
};

// The file-operation commands of the window: "Dateien abgleichen" (the sync
// use case over the plan the list shows, the marked rows taking part),
// "Kopieren", "Löschen" and the copies in a chosen direction (the selected
// rows). A command that would copy into or out of a snapshot, or delete in
// one, rests with a message. Each reads the rows it acts on, asks what is to be asked
// (prompts), hands the files to the service and returns what was done; the
// comparison that follows is the caller's. No second command starts while
// one runs (the service's dialogs run the event loop).
class FileOperationController {
public:
    explicit FileOperationController(const AppOptions& options) : options_(options), sync_(options) {}

    // Questions and sounds go here; must be set before a command runs.
    void setPrompts(UserPrompts* prompts) { prompts_ = prompts; }
    // Copying and deleting go here; without one nothing is copied or deleted
    // (and the comparison still runs again). Must outlive its use.
    void setService(FileOperationService* service) { service_ = service; }
    FileOperationService* service() const { return service_; }
    // Where a note goes at once, before the files are copied (the status bar).
    void setNoteShown(std::function<void(const std::string&)> show) { showNote_ = std::move(show); }
    // The roots the rows were compared between, as the comparison found them.
    void setRoots(Root source, Root target) {
        source_ = std::move(source);
        target_ = std::move(target);
    }
    bool running() const { return running_; }
    // The plan of "Dateien abgleichen" and the state of the pair.
    SyncController& sync() { return sync_; }
    const SyncController& sync() const { return sync_; }

    // rows are the list's, their pairs the matcher's; selected are row
    // indexes in ascending order.
    OperationOutcome Synchronize(const ResultRows& rows, const TreeMatcher& matcher);
    OperationOutcome CopySelected(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher);
    // "Nach rechts kopieren" (+1) and "Nach links kopieren" (-1).
    OperationOutcome CopyInDirection(const ResultRows& rows, std::span<const size_t> selected,
                                     const TreeMatcher& matcher, int32_t direction);
    OperationOutcome DeleteSelected(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher);

private:
    // Tells the user why and returns true when a side the command would
    // touch is a snapshot (nothing is written into one, nor read from it).
    bool RefusedOnSnapshot(bool source, bool target);
    // Tells the user and returns true when one compared root lies inside the other.
    bool RootsAreNested();
    // Whether files may be copied into a root: a missing one only where its
    // parent is there, after the user said it may be made; where the parent
    // is missing too, the user is told the drive may not be connected.
    bool MayCopyInto(TreeSide side);
    // Leaves out the copies into roots that may not be copied into.
    void KeepCopiesIntoUsableRoots(std::vector<CopyPair>& pairs);
    CopyFlags copyFlags() const;
    DeleteFlags deleteFlags() const;
    void Copy(std::span<const CopyPair> pairs, OperationOutcome& outcome);

    const AppOptions& options_;
    UserPrompts* prompts_ = nullptr;
    FileOperationService* service_ = nullptr;
    std::function<void(const std::string&)> showNote_;
    SyncController sync_;
    Root source_;
    Root target_;
    bool running_ = false;
};

}  // namespace kirvo
