#pragma once
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace kirvo {

// Exit status of kirvo-cli.
inline constexpr int kExitEqual = 0;     // nothing unequal found, or help/version shown
inline constexpr int kExitUnequal = 1;   // at least one unequal pair
inline constexpr int kExitUsage = 2;     // bad command line, or the output could not be written
inline constexpr int kExitUnreachable = 3;  // a folder on another machine could not be reached, or the connection broke off
inline constexpr int kExitUnreadable = 4;   // not everything could be read ("nicht alles lesbar"), or a root is missing
inline constexpr int kExitInterrupted = 130;  // stopped by Ctrl+C (128 + SIGINT, as shells count it)

// One subcommand of kirvo-cli. Each lives in its own file and is listed once
// in CliCommands() (cli_command.cpp).
struct CliCommand {
    std::string_view name;     // "compare"
    std::string_view summary;  // one line for the overview of "kirvo-cli --help"
    std::string_view usage;    // synopsis "kirvo-cli NAME ...", continuation lines indented below it
    std::string_view help;     // description and options, after the synopsis in "kirvo-cli NAME --help"
    // Receives the arguments after the name; handles its own --help.
    int (*run)(std::span<const std::string> args, std::ostream& out, std::ostream& err);
};

std::span<const CliCommand* const> CliCommands();

// What compare and sync do with what they cannot read (a string literal for their help).
#define KIRVO_CLI_UNREADABLE_HELP                                                                   \
    "Was nicht lesbar ist, gilt als unbekannt, nie als leer: ein Ordner, der sich nicht öffnen\n"     \
    "lässt, eine Ordnerliste, die abbricht, eine Datei, die sich nicht untersuchen lässt. Jede\n"      \
    "solche Stelle steht mit \"nicht lesbar\" und dem Grund am Anfang der Liste und auf der\n"        \
    "Fehlerausgabe; eine Datei, deren Gegenstück dort liegen könnte, trägt den Pfeil ?. Dort wird\n" \
    "nichts kopiert, ersetzt oder gelöscht, und der Rückgabewert ist 4. Ein Pfad, der nicht\n"       \
    "existiert, wird als leerer Ordner verglichen, mit einem Hinweis und Rückgabewert 4.\n"
const CliCommand* FindCliCommand(std::string_view name);

// "kirvo-cli NAME: message", an empty line and the synopsis on err; returns kExitUsage.
int ReportUsageError(const CliCommand& command, std::string_view message, std::ostream& err);
// "kirvo-cli NAME: Abgebrochen." on err; returns kExitInterrupted.
int ReportInterrupted(const CliCommand& command, std::ostream& err);
// Writes the synopsis with `prefix` before its first line and as many blanks
// before each further line.
void WriteSynopsis(const CliCommand& command, std::string_view prefix, std::ostream& out);
// The synopsis and help of a command, as "kirvo-cli NAME --help" prints them.
void WriteCommandHelp(const CliCommand& command, std::ostream& out);

}  // namespace kirvo
