#pragma once
#include <ostream>
#include <span>
#include <string>

#include "cli/cli_command.h"
#include "engine/path_filter.h"
#include "platform/link_mode.h"

namespace kirvo {

// "kirvo-cli snapshot save": writes the listing of a folder into a snapshot
// file, which compare takes as a root ("snapshot:FILE").
extern const CliCommand kSnapshotCommand;

struct SnapshotOptions {
    bool hashes = false;                // --hashes
    LinkMode links = LinkMode::Follow;  // --links
    PathFilter pathFilter;              // --include, --exclude, --filter-from
    int parallel = 0;
    bool quiet = false;
    bool acceptNewHostKey = false;
    bool help = false;
    std::string folder;
    std::string file;
};

// False on a usage error, with a German message in `error`.
bool ParseSnapshotOptions(std::span<const std::string> args, SnapshotOptions& options, std::string& error);

// Saves and says so on out (one line); what could not be read goes to err.
// kExitEqual: saved, everything read; kExitUnreadable: the folder is missing
// or cannot be listed (nothing saved), or parts of it could not be read or
// hashed (saved, those marked unknown or without a hash); kExitUnequal: the
// file could not be written; kExitUsage: bad input, the folder is no folder
// or a snapshot, or something else is at FILE; kExitUnreachable,
// kExitInterrupted as for compare.
int RunSnapshotSave(const SnapshotOptions& options, std::ostream& out, std::ostream& err, bool showProgress = false);

}  // namespace kirvo
