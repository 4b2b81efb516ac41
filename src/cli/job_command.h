#pragma once
#include "cli/cli_command.h"

namespace kirvo {

// "kirvo-cli job save|list|show|delete": the saved jobs.
extern const CliCommand kJobCommand;

}  // namespace kirvo
