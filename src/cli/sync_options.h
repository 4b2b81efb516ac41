#pragma once
#include <optional>
#include <span>
#include <string>

#include "cli/cli_arguments.h"
#include "engine/path_filter.h"
#include "engine/run_options.h"
#include "sync/delete_limit.h"
#include "sync/sync_mode.h"

namespace kirvo {

// What "kirvo-cli sync" was asked to do, parsed once from its arguments.
struct SyncOptions {
    enum class Format { Text, Json };
    SyncMode mode = SyncMode::Update;  // --mode
    // --direction=both|to-target|to-source: the sides that may change; a
    // mirror changes the target unless told to-source.
    bool toTarget = true;
    bool toSource = true;
    std::optional<DeleteLimit> maxDelete;  // --max-delete=N|P%
    bool forgetState = false;              // --forget-state
    bool dryRun = false;
    bool yes = false;
    bool excludeSubFolders = false;
    bool excludeSystemFolders = false;
    bool twoSecondTolerance = true;
    bool ignoreHour = false;                 // --ignore-hour
    CompareBy compareBy = CompareBy::Time;   // --compare
    LinkMode links = LinkMode::Follow;       // --links
    int parallel = 0;     // listings at once per side; 0: automatic
    bool quiet = false;   // no progress line
    bool acceptNewHostKey = false;  // a remote root's unknown host key is taken (and kept in known_hosts)
    PathFilter pathFilter;  // --include, --exclude, --filter-from
    bool useTrash = true;  // --no-trash: replaced files go for good
    bool useLog = true;    // --no-log: nothing is written to the log
    bool verify = false;   // --verify: each copy is read back from the disk and compared
    Format format = Format::Text;  // --format=json: one JSON document instead of the text
    bool help = false;
    std::string source;
    std::string target;
    std::string runName = "kirvo-cli sync";  // the command, as the log's run names it
    std::string_view command = "sync";       // the command typed ("sync", "run"): its messages begin with it
};

// False on a usage error, with a German message in `error`.
bool ParseSyncOptions(std::span<const std::string> args, SyncOptions& options, std::string& error);
// The options sync takes, for commands that take the same (job save).
std::span<const CliArguments::OptionSpec> SyncOptionSpecs();

}  // namespace kirvo
