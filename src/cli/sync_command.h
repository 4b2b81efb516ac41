#pragma once
#include "cli/cli_command.h"
#include "cli/sync_options.h"
#include "cli/sync_run.h"

namespace kirvo {

// "kirvo-cli sync": compares, decides as the mode says (update: every unequal
// row as marked, as "Dateien abgleichen" does), asks on the terminal, copies,
// deletes and renames through the one sync use case (SyncSession); then
// compares again and, two-way, records the state of the pair.
extern const CliCommand kSyncCommand;

}  // namespace kirvo
