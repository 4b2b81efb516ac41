#pragma once
#include <ostream>
#include <string>

#include "cli/cli_command.h"

namespace kirvo {

// "kirvo-cli schedule NAME --every=...|--when-mounted|--off".
extern const CliCommand kScheduleCommand;

// Stops and removes the units of the job (when there are any); what was
// done goes to out, problems to err. False when a unit could not be removed.
bool RemoveJobSchedule(const std::string& name, std::ostream& out, std::ostream& err);

}  // namespace kirvo
