#pragma once
#include <ostream>
#include <string>

#include "app/job.h"
#include "cli/cli_command.h"

namespace kirvo {

struct SyncReport;

// "kirvo-cli run NAME": the job's sync without questions.
extern const CliCommand kRunCommand;

// How one run of a job reports.
struct JobRunRequest {
    bool dryRun = false;
    bool json = false;          // the JSON document on out instead of the text
    bool text = true;           // sync's text on out (else dropped)
    bool showProgress = false;  // the progress line on err
    // Runs one after another (watch): the last notification shown, so that
    // the same news is not shown again after every run.
    std::string* lastNotice = nullptr;
};

// Runs the job as "kirvo-cli sync --yes" would, with every guard of it; one
// run of a job at a time (a second one waits, saying so). Afterwards, unless
// it was a dry run: one summary line in the log (when the job logs) and, when
// the run ended with conflicts, errors or was refused, a desktop notification.
// Returns the exit status of sync; what was planned and done is in `report`,
// the last message written to err in `lastMessage`.
int RunJob(const Job& job, const JobRunRequest& request, std::ostream& out, std::ostream& err, SyncReport& report,
           std::string& lastMessage);

// "Auftrag "NAME": 3 kopiert (12 KB) – Status 0": the line a run leaves in
// the log and the output of watch.
std::string JobSummaryLine(const Job& job, const SyncReport& report, int status, const std::string& lastMessage);

}  // namespace kirvo
