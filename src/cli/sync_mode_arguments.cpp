#include "cli/sync_mode_arguments.h"

#include "cli/cli_arguments.h"

namespace kirvo {

bool ReadSyncModeArguments(const CliArguments& parsed, SyncModeArguments& arguments, std::string& error) {
    arguments = SyncModeArguments();
    if (const auto mode = parsed.Value("mode"); mode && !ParseSyncMode(*mode, arguments.mode, error)) return false;
    const auto direction = parsed.Value("direction");
    if (direction) {
        if (*direction == "to-target") {
            arguments.sides.source = false;
        } else if (*direction == "to-source") {
            arguments.sides.target = false;
        } else if (*direction != "both") {
            error = "Unbekannte Richtung \"" + *direction + "\"; erlaubt sind both, to-target, to-source.";
            return false;
        }
    }
    if (arguments.mode == SyncMode::Mirror) {
        if (direction && *direction == "both") {
            error = "Spiegeln geht nur in eine Richtung: --direction=to-target oder to-source.";
            return false;
        }
        if (!direction) arguments.sides.source = false;  // the target becomes the copy
    }
    return true;
}

}  // namespace kirvo
