#include "cli/undo_command.h"

#include <unistd.h>

#include <iostream>
#include <optional>
#include <vector>

#include "app/undo_use_case.h"
#include "cli/cli_arguments.h"
#include "cli/remote_roots.h"
#include "fileops/operation_log.h"
#include "fileops/run_log.h"
#include "fileops/terminal_file_operation_ui.h"
#include "fileops/terminal_text.h"
#include "fileops/undo_texts.h"
#include "platform/translation.h"
#include "sync/sync_state_store.h"

namespace kirvo {
namespace {

constexpr CliArguments::OptionSpec kOptions[] = {
    {"list", false}, {"yes", false}, {"dry-run", false}, {"quiet", false}, {"accept-new-host-key", false},
    {"help", false},
};

// How many runs --list shows, the latest last.
constexpr size_t kListed = 20;

// Texts of ours with what came from the log escaped (UndoTexts with Shown), one or more lines.
void Say(std::ostream& out, std::string_view text) { out << text << '\n'; }
std::string Shown(std::string_view text) { return DisplayEscaped(text); }

void List(const std::vector<LoggedRun>& runs, std::ostream& out) {
    if (runs.empty()) {
        out << Tr("Im Protokoll steht noch kein Lauf.\n");
        return;
    }
    const size_t first = runs.size() > kListed ? runs.size() - kListed : 0;
    if (first > 0) out << Format(Tr("(%d ältere Läufe stehen im Protokoll.)\n"), first);
    for (size_t i = first; i < runs.size(); ++i) {
        const LoggedRun& run = runs[i];
        Say(out, UndoTexts::RunDescription(run, Shown) + " – " + UndoTexts::RunState(run, Shown));
        if (i + 1 < runs.size()) out << '\n';
    }
}

bool Ask(const std::string& question, std::istream& in, std::ostream& out) {
    out << question << Tr(" [j/N] ") << std::flush;
    std::string line;
    if (!std::getline(in, line)) {
        out << '\n';
        return false;
    }
    const size_t start = line.find_first_not_of(" \t\r");
    const size_t end = line.find_last_not_of(" \t\r");
    const std::string answer = start == std::string::npos ? "" : line.substr(start, end - start + 1);
    if (answer == "j" || answer == "J" || answer == "ja" || answer == "Ja") return true;
    // In English, the English answer too.
    return CurrentLanguage() != UiLanguage::German && (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes");
}

// The terminal's side of undo: the question on out, answered from in; the
// progress line on err.
class TerminalUndoQuestions final : public UndoQuestions {
public:
    TerminalUndoQuestions(std::istream& in, std::ostream& out, std::ostream& err, bool showProgress)
        : in_(in), out_(out), err_(err), showProgress_(showProgress) {}

    bool confirm(const LoggedRun& run, const std::vector<UndoStep>& steps) override {
        return Ask(UndoTexts::Question(run, steps, Shown), in_, out_);
    }
    FileOperationUi& startWork() override { return terminal_.emplace(in_, out_, err_, showProgress_); }
    void endWork() override { terminal_.reset(); }

private:
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
    bool showProgress_;
    std::optional<TerminalFileOperationUi> terminal_;
};

// "Bleibt: <path>: <why>" for each step that stays.
void SayStaying(const UndoResult& result, std::ostream& out) {
    for (const UndoStep& step : result.steps)
        if (step.state == UndoStep::State::Stays) Say(out, Tr("Bleibt: ") + Shown(step.path) + ": " + Shown(step.why));
}

int Refused(const UndoResult& result, const UndoOptions& options, std::ostream& out, std::ostream& err) {
    using Refusal = UndoResult::Refusal;
    switch (result.refusal) {
    case Refusal::UnknownRun:
        Say(err, Tr("kirvo-cli undo: Der Lauf ") + options.run +
                     Tr(" steht nicht im Protokoll (kirvo-cli undo --list zeigt die Läufe)."));
        return kExitUsage;
    case Refusal::NoOneToAsk:
        Say(err, Tr("kirvo-cli undo: Ohne Terminal kann nicht gefragt werden; mit --yes wird ohne Frage "
                    "zurückgenommen, mit --dry-run nur gezeigt, was geschähe."));
        return kExitUsage;
    case Refusal::Unreachable:
        Say(err, Tr("kirvo-cli undo: ") + Shown(result.message) +
                     (result.fault == LoginFault::HostKeyUnknown
                          ? Tr(" Mit --accept-new-host-key wird der Schlüssel angenommen und in ~/.ssh/known_hosts "
                               "eingetragen.")
                          : ""));
        return kExitUnreachable;
    case Refusal::Impossible: SayStaying(result, out); break;
    default: break;
    }
    Say(err, Tr("kirvo-cli undo: ") + Shown(result.message));
    switch (result.refusal) {
    case Refusal::NothingToUndo:
    case Refusal::NothingRecorded:
    case Refusal::Impossible: return kExitNotUndoable;
    case Refusal::Locked:
    case Refusal::StateKept: return kExitUnequal;
    default: return kExitUsage;
    }
}

// What came of it, on out (notices on err); the exit status that goes with it.
int Render(const UndoResult& result, const UndoOptions& options, std::ostream& out, std::ostream& err) {
    using Outcome = UndoResult::Outcome;
    switch (result.outcome) {
    case Outcome::Refused: return Refused(result, options, out, err);
    case Outcome::Looked:
        Say(out, Tr("Lauf ") + UndoTexts::RunDescription(*result.run, Shown) + "\n");
        for (const UndoStep& step : result.steps) Say(out, UndoTexts::Step(step, Shown));
        return result.impossible                           ? kExitNotUndoable
               : result.count(UndoStep::State::Stays) > 0 ? kExitUnequal
                                                          : kExitEqual;
    case Outcome::Declined: Say(out, result.summary()); return kExitUnequal;
    default: break;
    }
    SayStaying(result, out);
    Say(out, result.summary(Shown));
    if (!result.stateNotice.empty()) Say(err, Tr("kirvo-cli undo: Hinweis: ") + Shown(result.stateNotice));
    if (result.carriedOut() > 0 && !result.undoRunId.empty())
        out << Tr("Zurücknehmen lässt sich das mit: kirvo-cli undo ") << result.undoRunId << '\n';
    return result.outcome == Outcome::Undone ? kExitEqual : kExitUnequal;
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    UndoOptions options;
    std::string error;
    if (!ParseUndoOptions(args, options, error)) return ReportUsageError(kUndoCommand, error, err);
    if (options.help) {
        WriteCommandHelp(kUndoCommand, out);
        return kExitEqual;
    }
    return RunUndoCommand(options, std::cin, out, err, isatty(STDIN_FILENO) == 1, isatty(STDERR_FILENO) == 1);
}

}  // namespace

// The help after the synopsis, in pieces that are translated one by one.
constexpr const char* kUndoHelp[] = {
    TrNoop("Jeder Abgleich, jedes Kopieren und Löschen (im Fenster, mit \"kirvo-cli sync\" und\n"
    "\"run\") ist ein Lauf mit einer Kennung im Protokoll ~/.local/state/kirvo/protokoll.log (etwa\n"
    "20261208T031522-4f3a). \"undo\" nimmt einen Lauf zurück, vom letzten Schritt zum ersten:\n"
    "Dateien, die er angelegt hat, kommen in den Papierkorb, solange sie noch genau so sind,\n"
    "wie er sie hinterließ (Gerät, Dateinummer, Größe, Änderungszeit); Dateien, die er\n"
    "ersetzt oder gelöscht hat, kommen aus dem Papierkorb an ihren Platz zurück, mit Zeiten\n"
    "und Rechten, und ihr Eintrag im Papierkorb verschwindet; umbenannte Dateien bekommen\n"
    "ihren alten Namen zurück; leere Ordner, die er entfernt hat, werden wieder angelegt,\n"
    "Ordner, die er angelegt hat, gehen, sobald sie wieder leer sind. Den Abgleichstand des\n"
    "Ordnerpaars (Spiegeln, beidseitig) vergisst \"undo\"; der nächste Abgleich beginnt wie\n"
    "der erste. Ohne LAUF wird der letzte Lauf zurückgenommen, der sich rückgängig machen\n"
    "lässt und es noch nicht ist.\n"
    "\n"
    "Nichts, was der Lauf nicht gemacht hat, wird gelöscht oder überschrieben: eine Datei, die\n"
    "seither geändert wurde, bleibt; steht am Platz einer zurückzuholenden Datei jetzt eine\n"
    "andere, bleibt die alte im Papierkorb. Jede solche Datei wird mit Grund genannt. Was\n"
    "\"undo\" wegnimmt, kommt in den Papierkorb, und \"undo\" ist selbst ein Lauf: mit seiner\n"
    "Kennung lässt es sich wieder zurücknehmen. Auf einem anderen Rechner gibt es keinen\n"
    "Papierkorb: was dort ersetzt oder gelöscht wurde, ist weg; Kopien dort werden gelöscht.\n"
    "Ein zweites \"undo\" desselben Laufs tut nur, was beim ersten geblieben ist.\n"
    "\n"
    "Optionen:\n"
    "  --list                 die letzten Läufe: Zeit, Befehl, Ordner, was geschah, und ob sie\n"
    "                         sich rückgängig machen lassen\n"
    "  --dry-run              nur zeigen, was geschähe; nichts ändern\n"
    "  --yes                  nicht fragen\n"
    "  --quiet                keine Fortschrittszeile auf der Fehlerausgabe\n"),
    KIRVO_CLI_REMOTE_OPTION_HELP,
    TrNoop("  --help                 diese Hilfe\n"
    "\n"
    "Ohne --yes braucht der Befehl ein Terminal für die Frage.\n"
    "\n"
    "Rückgabewert: 0 alles ist wie vor dem Lauf,\n"
    "              1 etwas blieb (jede Datei mit Grund genannt), oder die Frage wurde verneint,\n"
    "              2 falscher Aufruf, unbekannter Lauf, kein Terminal ohne --yes,\n"
    "              3 ein Ordner auf einem anderen Rechner war nicht erreichbar,\n"
    "              4 der Lauf lässt sich gar nicht rückgängig machen (seine Dateien sind nicht\n"
    "                mehr im Papierkorb, oder nichts wurde aufbewahrt), oder es gibt keinen.\n"),
};

const CliCommand kUndoCommand = {
    "undo",
    TrNoop("Macht einen Lauf als Ganzes rückgängig: Kopien weg, Ersetztes und Gelöschtes zurück."),
    TrNoop("kirvo-cli undo [--list] [--yes] [--dry-run] [--quiet] [--accept-new-host-key] [LAUF]"),
    kUndoHelp,
    &Run,
};

bool ParseUndoOptions(std::span<const std::string> args, UndoOptions& options, std::string& error) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) {
        error = parsed.error();
        return false;
    }
    options = UndoOptions();
    options.help = parsed.Has("help");
    options.list = parsed.Has("list");
    options.yes = parsed.Has("yes");
    options.dryRun = parsed.Has("dry-run");
    options.quiet = parsed.Has("quiet");
    options.acceptNewHostKey = parsed.Has("accept-new-host-key");
    if (options.help) return true;
    const auto& operands = parsed.operands();
    if (operands.size() > 1) {
        error = Tr("Zu viele Argumente: \"") + operands[1] + Tr("\" ist überzählig.");
        return false;
    }
    if (!operands.empty()) {
        if (options.list) {
            error = "--list nimmt keinen LAUF.";
            return false;
        }
        if (!RunLog::IsRunId(operands[0])) {
            error = "\"" + operands[0] + Tr("\" ist keine Kennung eines Laufs (so etwa: 20261208T031522-4f3a).");
            return false;
        }
        options.run = operands[0];
    }
    return true;
}

int RunUndoCommand(const UndoOptions& options, std::istream& in, std::ostream& out, std::ostream& err, bool interactive,
                   bool showProgress) {
    if (options.list) {
        std::vector<LoggedRun> runs;
        std::string error;
        if (!RunLog::ReadRuns(OperationLog::DefaultPath(), runs, error)) {
            Say(err, Tr("kirvo-cli undo: ") + Shown(error));
            return kExitUsage;
        }
        List(runs, out);
        return out.flush() ? kExitEqual : kExitUsage;
    }
    CliRemoteRoots remote(options.acceptNewHostKey);
    OperationLog log;  // undo is a run of its own
    UndoRequest request;
    request.run = options.run;
    request.dryRun = options.dryRun;
    request.confirm = options.yes      ? UndoRequest::Confirm::Yes
                      : interactive ? UndoRequest::Confirm::Ask
                                    : UndoRequest::Confirm::NoOneToAsk;
    TerminalUndoQuestions questions(in, out, err, showProgress && !options.quiet);
    const UndoResult result = UndoUseCase(log, remote.connections(), SyncStateStore::DefaultFolder()).run(request, questions);
    for (const LoggedRun& newer : result.passedOver)
        Say(err, Tr("kirvo-cli undo: Hinweis: Der neuere Lauf ") + UndoTexts::RunName(newer, Shown) +
                     Tr(" lässt sich nicht rückgängig machen (") + newer.counts.text() + ").");
    const int status = Render(result, options, out, err);
    return out.flush() ? status : kExitUsage;
}

}  // namespace kirvo
