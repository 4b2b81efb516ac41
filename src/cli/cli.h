#pragma once
#include <ostream>

namespace kirvo {

// kirvo-cli: "--help", "--version" or a subcommand with its arguments.
// Returns the exit status.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace kirvo
