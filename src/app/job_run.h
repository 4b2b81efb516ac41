#pragma once
#include <functional>
#include <string>

#include "app/job.h"
#include "app/run_result.h"
#include "platform/file_lock.h"

namespace kirvo {

// One unattended run of a job, shared by "kirvo-cli run" and "watch" (and
// the window's jobs): one run of a job at a time (a second one waits), none
// while the drive it waits for is not mounted, the sync itself by the
// caller over the sync use case, then the job's line in the log and, when
// the run wants a look, a desktop notification (not the same one twice in a
// row). Everything it finds goes into the run's one RunResult.
class JobRun {
public:
    enum class Start { Go, Refused, Interrupted };

    JobRun(const Job& job, bool dryRun) : job_(job), dryRun_(dryRun), lock_(LockPathOf(job)) {}

    const Job& job() const { return job_; }
    RunResult& result() { return result_; }
    const RunResult& result() const { return result_; }

    // Takes the job's turn, waiting for a run of it under way (`waiting`
    // says so first; none: the run is refused instead of waiting); then
    // checks that the drive it waits for is mounted.
    Start Begin(const std::function<void(const std::string&)>& waiting);
    // The run will not go ahead: why, in German.
    void Refuse(std::string why);

    // "Auftrag "NAME": 3 kopiert – Status 0": the line a run leaves in the
    // log and watch writes; `status` is the command's exit status.
    std::string SummaryLine(int status) const;
    // After the run, unless it was a dry run: the line in the log (when the
    // job logs), the job's last run (JobStore::LastRun) and, with `notify`,
    // the notification. `lastNotice` (runs one after another) keeps the last
    // one shown.
    void End(int status, std::string* lastNotice = nullptr, bool notify = true) const;
    // The status kirvo-cli ends with after a run that ended so.
    static int StatusOf(RunEnd end);

private:
    static std::string LockPathOf(const Job& job);

    const Job& job_;
    bool dryRun_;
    FileLock lock_;
    RunResult result_;
};

}  // namespace kirvo
