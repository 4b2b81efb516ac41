#pragma once
#include <ostream>
#include <span>
#include <string>

#include "app/job.h"
#include "cli/sync_command.h"

namespace kirvo {

// A job made from the arguments "job save NAME" takes after its name: the
// options of sync (checked by the same code) and the two roots. Local roots
// and rule files are kept as absolute paths, since the job runs from
// anywhere; rule files are named, not copied, so edits to them apply to the
// next run. False with a German message.
bool JobFromArguments(const std::string& name, std::span<const std::string> args, Job& job, std::string& error);

// Loads the job `name` for the command: false after writing why to err
// ("kirvo-cli COMMAND: ..."); its warnings go there too.
bool LoadJob(const CliCommand& command, const std::string& name, Job& job, std::ostream& err);
// The one operand of run, watch and schedule: the job's name. False after
// reporting the usage error (status in `status`).
bool OneJobName(const CliCommand& command, const CliArguments& parsed, std::ostream& err, int& status);

// The options of sync that run the job unattended (--yes), its rule files
// read now. False with a German message naming the job.
bool SyncOptionsOfJob(const Job& job, SyncOptions& options, std::string& error);

}  // namespace kirvo
