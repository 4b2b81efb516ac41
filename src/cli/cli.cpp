#include "cli/cli.h"

#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "fileops/terminal_text.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

void WriteOverview(std::ostream& out) {
    out << Tr("kirvo-cli – vergleicht zwei Ordnerbäume (Quelle und Ziel) Datei für Datei, ohne Fenster.\n\n"
              "Aufruf:\n");
    for (const CliCommand* command : CliCommands()) WriteSynopsis(*command, "  ", out);
    out << Tr("  kirvo-cli BEFEHL --help\n"
              "  kirvo-cli --help | --version\n\n"
              "Befehle:\n");
    for (const CliCommand* command : CliCommands()) {
        std::string name(command->name);
        name.resize(10, ' ');
        out << "  " << name << Tr(command->summary) << '\n';
    }
    out << Tr("\nOptionen:\n"
              "  --help     diese Hilfe\n"
              "  --version  die Version\n");
}

int UsageError(const std::string& message, std::ostream& err) {
    err << "kirvo-cli: " << DisplayEscaped(message) << "\n\n";
    for (const CliCommand* command : CliCommands()) WriteSynopsis(*command, Tr("Aufruf: "), err);
    err << Tr("Mehr dazu: kirvo-cli --help\n");
    return kExitUsage;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    if (args.empty()) return UsageError(Tr("Es fehlt ein Befehl."), err);

    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "help") {
        if (args.size() > 1) {
            if (const CliCommand* command = FindCliCommand(args[1])) {
                WriteCommandHelp(*command, out);
                return kExitEqual;
            }
            return UsageError(Format(Tr("Unbekannter Befehl \"%s\"."), args[1]), err);
        }
        WriteOverview(out);
        return kExitEqual;
    }
    if (first == "--version") {
        out << "kirvo-cli " KIRVO_VERSION "\n";
        return kExitEqual;
    }
    if (const CliCommand* command = FindCliCommand(first))
        return command->run(std::span<const std::string>(args).subspan(1), out, err);
    if (!first.empty() && first[0] == '-') return UsageError(Format(Tr("Unbekannte Option \"%s\"."), first), err);
    return UsageError(Format(Tr("Unbekannter Befehl \"%s\"."), first), err);
}

}  // namespace kirvo
