#pragma once
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "cli/cli_command.h"
#include "cli/sync_options.h"

namespace kirvo {

// "kirvo-cli verify": reads every file of a pair and checks it against the
// hashes recorded for it (ContentVerification).
extern const CliCommand kVerifyCommand;

struct VerifyOptions {
    enum class Format { Text, Tsv, Json };
    SyncOptions scan;  // the roots and what the comparison lists (from the arguments or the job)
    std::optional<std::string> job;  // --job=NAME: the job's roots and filter
    Format format = Format::Text;
    bool help = false;
};

// False on a usage error, with a German message in `error`.
bool ParseVerifyOptions(std::span<const std::string> args, VerifyOptions& options, std::string& error);

// kExitEqual: every file read, nothing damaged or different; kExitUnequal:
// a file damaged ("beschädigt?", named on err) or the sides' bytes differ;
// kExitUnreadable: something could not be read (or the records could not
// be kept); kExitUsage, kExitUnreachable, kExitInterrupted as for compare.
int RunVerify(const VerifyOptions& options, std::ostream& out, std::ostream& err, bool showProgress = false);

}  // namespace kirvo
