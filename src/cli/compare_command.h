#pragma once
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/cli_command.h"
#include "cli/sync_mode_arguments.h"
#include "engine/path_filter.h"
#include "engine/run_options.h"
#include "platform/root.h"
#include "view/display_filter.h"

namespace kirvo {

// "kirvo-cli compare": runs the engine as "Pfade vergleichen" does and prints
// the list the window would show after filling, every unequal row marked.
extern const CliCommand kCompareCommand;

struct CompareOptions {
    enum class Format { Text, Tsv, Json };
    DisplayFilterValue filter = DisplayFilterValue::Unequal;  // the view's start filter
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
    Format format = Format::Text;
    SyncModeArguments sync;  // --mode, --direction: the list shows what a sync would do
    bool help = false;
    std::string source;
    std::string target;
};

// False on a usage error, with a German message in `error`.
bool ParseCompareOptions(std::span<const std::string> args, CompareOptions& options, std::string& error);

// Compares and prints; notices about unusable roots go to err, and the
// progress line while it scans when showProgress. Returns kExitUnequal when
// any pair is unequal (whatever the filter shows), else kExitEqual;
// kExitUsage with a message when the output could not be written;
// kExitInterrupted after Ctrl+C, the output ending with a whole line.
int RunCompare(const CompareOptions& options, std::ostream& out, std::ostream& err, bool showProgress = false);

// The German notice for a root that does not exist; none for any other (one
// that is no folder or cannot be read is an unknown place of the comparison).
// `side` is "Die Quelle" or "Das Ziel".
std::optional<std::string> RootNotice(std::string_view side, const Root& root);

}  // namespace kirvo
