#include "cli/cli_command.h"

#include "cli/compare_command.h"
#include "cli/job_command.h"
#include "cli/job_run.h"
#include "cli/job_schedule_command.h"
#include "cli/job_watch.h"
#include "cli/snapshot_command.h"
#include "cli/sync_command.h"
#include "cli/undo_command.h"
#include "cli/verify_command.h"
#include "fileops/terminal_text.h"
#include "platform/translation.h"

namespace kirvo {

std::span<const CliCommand* const> CliCommands() {
    // One line per subcommand, in the order of the help overview.
    static const CliCommand* const kCommands[] = {
        &kCompareCommand,
        &kSyncCommand,
        &kUndoCommand,
        &kSnapshotCommand,
        &kVerifyCommand,
        &kJobCommand,
        &kRunCommand,
        &kWatchCommand,
        &kScheduleCommand,
    };
    return kCommands;
}

const CliCommand* FindCliCommand(std::string_view name) {
    for (const CliCommand* command : CliCommands())
        if (command->name == name) return command;
    return nullptr;
}

int ReportUsageError(const CliCommand& command, std::string_view message, std::ostream& err) {
    err << "kirvo-cli " << command.name << ": " << DisplayEscaped(message) << "\n\n";
    WriteSynopsis(command, Tr("Aufruf: "), err);
    err << Format(Tr("Mehr dazu: kirvo-cli %s --help\n"), command.name);
    return kExitUsage;
}

int ReportInterrupted(const CliCommand& command, std::ostream& err) {
    err << "kirvo-cli " << command.name << ": " << Tr("Abgebrochen.") << '\n';
    return kExitInterrupted;
}

void WriteSynopsis(const CliCommand& command, std::string_view prefix, std::ostream& out) {
    std::string_view rest = Tr(command.usage);
    std::string_view lead = prefix;
    const std::string blanks(prefix.size(), ' ');  // prefixes are ASCII
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        out << lead << rest.substr(0, end) << '\n';
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        lead = blanks;
    }
}

void WriteCommandHelp(const CliCommand& command, std::ostream& out) {
    WriteSynopsis(command, Tr("Aufruf: "), out);
    out << '\n';
    for (const char* piece : command.help) out << Tr(piece);
}

}  // namespace kirvo
