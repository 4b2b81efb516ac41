#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "app/job_plan.h"
#include "app/run_result.h"
#include "app/sync_use_case.h"
#include "fileops/file_operation_service.h"
#include "platform/root.h"

namespace kirvo {

class AppOptions;
class JobRun;
class OperationLog;
class SelectionUseCase;
class PathFilter;
class ResultRows;
class RootAccess;
class TreeMatcher;
class UserPrompts;

// What one file-operation command did.
struct OperationOutcome {
    // The command ran (asked, copied, deleted, or found nothing to do): the
    // comparison runs again. False: nothing was started at all (another
    // operation is under way, nothing is selected, or the roots were
    // refused), and the list stays as it is.
    bool compareAgain = false;
    // For the status bar, once the comparison that follows is over; "" for none.
    std::string note;
};

// The window's side of the use cases behind its list: the comparison and
// "Dateien abgleichen" (SyncUseCase: the plan the list shows, in the mode
// set under "Abgleichen als", and a run awaiting the comparison that follows
// it) and "Kopieren", "Löschen" and the copies in a chosen direction
// (SelectionUseCase). It answers their questions with the prompts and hands
// their files to the service. No second command starts while one runs (the
// service's dialogs run the event loop).
class FileOperationController {
public:
    explicit FileOperationController(const AppOptions& options);
    ~FileOperationController();

    // Questions and sounds go here; must be set before a command runs.
    void setPrompts(UserPrompts* prompts) { prompts_ = prompts; }
    // Copying and deleting go here; without one nothing is copied or deleted
    // (and the comparison still runs again). Must outlive its use.
    void setService(FileOperationService* service) { service_ = service; }
    FileOperationService* service() const { return service_; }
    // How roots are looked at again and made (the connections of remote
    // ones); the local file system's until set.
    void setRootAccess(RootAccess* roots);
    // Where forgetting a pair's state is written; none until set.
    void setLog(OperationLog* log) { log_ = log; }
    // Where the state of the pairs is kept; the user's state folder unless set.
    void setStateFolder(std::string folder) { stateFolder_ = std::move(folder); }
    const std::string& stateFolder() const { return stateFolder_; }
    // Where a note goes at once, before the files are copied (the status bar).
    void setNoteShown(std::function<void(const std::string&)> show) { showNote_ = std::move(show); }
    bool running() const { return running_; }

    // A job run in the window: its comparisons plan and its sync runs in its
    // mode, direction and deletion limit while the roots compared are its
    // own; another pair compared ends it (nullopt: ends it now).
    void setJobPlan(std::optional<JobPlan> job) { job_ = std::move(job); }
    const std::optional<JobPlan>& jobPlan() const { return job_; }
    // The mode the list's plan is made in: the job's, else "Abgleichen als".
    SyncMode syncMode() const;

    // A comparison is about to start: the plan shown goes, and the request
    // of the next one is made from the options and the filter; the
    // comparison is to run with its ScanOptions().
    const SyncRequest& BeginComparison(const PathFilter& filter, const Root& source, const Root& target);
    // The comparison ended with the roots as it found them; `matcher` when it
    // is complete (else null: nothing to record or decide on). A run that
    // waited for it is finished (lastResult()); then the plan of the new
    // list is decided. A state that cannot be read leaves no plan:
    // planError() says why. What the user must be told (the finished run's
    // state could not be recorded), or "".
    std::string ComparisonEnded(const Root& source, const Root& target, const TreeMatcher* matcher);
    // What to ask after planError() before StartAfresh; "" where that is not
    // to be offered (a disk that is not mounted is to be mounted).
    static std::string AfreshQuestion(const StoreError& error);
    // Forgets the pair's state and decides again; notice as SyncStateStore::forget.
    StoreError StartAfresh(const TreeMatcher& matcher, std::string* notice);
    // Before the matcher is cleared or runs again: the plan no longer applies.
    void Drop();
    // The plan the list shows; null when there is none.
    const SyncSession* plan() const { return shown_ && shown_->decided() ? &shown_->session() : nullptr; }
    const StoreError& planError() const { return planError_; }

    // After Synchronize, instead of comparing again: the comparison decided
    // on brought up to date by looking again at what the run touched, the
    // run finished over it and the plan of the new list decided, as
    // ComparisonEnded does (`warning` as it returns). False, with nothing
    // changed, where only a whole comparison can tell what is there now.
    bool LookAgainAfterRun(const PathFilter& filter, TreeMatcher& matcher, std::string& warning);

    // What the last command did; the sync's once the comparison after it is over.
    const RunResult& lastResult() const { return last_; }

    // rows are the list's, their pairs the matcher's; selected are row
    // indexes in ascending order.
    OperationOutcome Synchronize(const ResultRows& rows, const TreeMatcher& matcher);
    OperationOutcome CopySelected(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher);
    // "Nach rechts kopieren" (+1) and "Nach links kopieren" (-1).
    OperationOutcome CopyInDirection(const ResultRows& rows, std::span<const size_t> selected,
                                     const TreeMatcher& matcher, int32_t direction);
    OperationOutcome DeleteSelected(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher);

private:
    class Questions;
    CopyFlags copyFlags() const;
    DeleteFlags deleteFlags() const;
    FileOperationService& Service();
    // The job's run ends with the sync's result: its line, its last run, its turn let go.
    void EndJobRun(const RunResult& result);
    OperationOutcome Selection(const std::function<bool(SelectionUseCase&, Questions&, FileOperationService&)>& run);

    const AppOptions& options_;
    UserPrompts* prompts_ = nullptr;
    FileOperationService* service_ = nullptr;
    RootAccess* roots_;
    OperationLog* log_ = nullptr;
    std::string stateFolder_;
    std::function<void(const std::string&)> showNote_;
    std::unique_ptr<SyncUseCase> shown_;      // decided over the list shown
    std::unique_ptr<SyncUseCase> finishing_;  // ran, awaiting the comparison that follows
    StoreError planError_;
    std::optional<JobPlan> job_;
    // The job's run under way: its turn taken, its line written once the run is finished.
    std::unique_ptr<JobRun> jobRun_;
    Root source_;
    Root target_;
    RunResult last_;
    bool running_ = false;
};

}  // namespace kirvo
