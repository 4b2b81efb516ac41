#pragma once
#include "cli/cli_command.h"

namespace kirvo {

// "kirvo-cli watch NAME": runs the job whenever something changes.
extern const CliCommand kWatchCommand;

}  // namespace kirvo
