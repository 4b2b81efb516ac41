#pragma once
#include <istream>
#include <ostream>

#include "app/run_result.h"
#include "cli/sync_options.h"

namespace kirvo {

// Runs the synchronisation. Questions go to out and are answered from in;
// interactive says whether someone is there to answer (without it and without
// --yes nothing is done: kExitUsage). Progress goes to err when showProgress.
// kExitEqual when the trees are in line afterwards, kExitUnequal when anything
// was left unequal. What was planned and done also goes into `report` when given.
int RunSync(const SyncOptions& options, std::istream& in, std::ostream& out, std::ostream& err, bool interactive,
            bool showProgress, RunResult* report = nullptr);

// kirvo-cli's exit status for how a run ended.
int ExitStatusOf(RunEnd end);

}  // namespace kirvo
