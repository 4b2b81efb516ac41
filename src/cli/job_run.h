#pragma once
#include <ostream>
#include <string>

#include "app/job_run.h"
#include "cli/cli_command.h"

namespace kirvo {

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

// Runs the job as "kirvo-cli sync --yes" would, with every guard of it (see
// JobRun); what was planned and done is in `run.result()`. Returns the exit
// status of sync.
int RunJob(JobRun& run, const JobRunRequest& request, std::ostream& out, std::ostream& err);

}  // namespace kirvo
