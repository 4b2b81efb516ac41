#pragma once
#include <istream>
#include <ostream>
#include <span>
#include <string>

#include "cli/cli_command.h"

namespace kirvo {

// "kirvo-cli undo": takes a run back as a whole (UndoUseCase), or lists the runs.
extern const CliCommand kUndoCommand;

// The run cannot be undone at all: what it needs is gone (the trash was
// emptied, or nothing was kept), or there is no run to undo.
inline constexpr int kExitNotUndoable = 4;

struct UndoOptions {
    bool list = false;
    bool yes = false;
    bool dryRun = false;
    bool quiet = false;
    bool acceptNewHostKey = false;
    bool help = false;
    std::string run;  // "" for the last one that can be undone
};

// False on a usage error, with a German message in `error`.
bool ParseUndoOptions(std::span<const std::string> args, UndoOptions& options, std::string& error);

// Lists, shows or undoes. The question goes to out and is answered from in;
// without someone there to answer (interactive) and without --yes nothing is
// done (kExitUsage). kExitEqual when everything was put back, kExitUnequal
// when something stayed (each named), kExitNotUndoable, kExitUsage for bad
// input, kExitUnreachable when a folder on another machine was out of reach.
int RunUndoCommand(const UndoOptions& options, std::istream& in, std::ostream& out, std::ostream& err, bool interactive,
                   bool showProgress);

}  // namespace kirvo
