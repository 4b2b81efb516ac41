#include "cli/undo_command.h"

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <vector>

#include "cli/cli_arguments.h"
#include "cli/remote_roots.h"
#include "fileops/operation_log.h"
#include "fileops/run_log.h"
#include "fileops/run_undo.h"
#include "fileops/terminal_file_operation_ui.h"
#include "fileops/terminal_text.h"
#include "fileops/undo_texts.h"
#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_state_store.h"
#include "platform/translation.h"

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

// "Bleibt: <path>: <why>"
void SayStays(const UndoStep& step, std::ostream& out) { Say(out, Tr("Bleibt: ") + Shown(step.path) + ": " + Shown(step.why)); }

// What stays, each with why; the exit status that goes with it.
int Report(const RunUndo& undo, bool cancelled, std::ostream& out) {
    for (const UndoStep& step : undo.steps())
        if (step.state == UndoStep::State::Stays) SayStays(step, out);
    Say(out, UndoTexts::Outcome(undo, cancelled));
    return cancelled || undo.count(UndoStep::State::Stays) > 0 ? kExitUnequal : kExitEqual;
}

// The run to undo: the one named, or the last that can be undone (newer ones
// that cannot are named).
const LoggedRun* Choose(const std::vector<LoggedRun>& runs, const std::string& id, std::ostream& err) {
    if (!id.empty()) return RunLog::Find(runs, id);
    const LoggedRun* chosen = RunLog::LastUndoable(runs);
    for (size_t i = chosen ? static_cast<size_t>(chosen - runs.data()) + 1 : 0; i < runs.size(); ++i) {
        const LoggedRun& newer = runs[i];
        if (!newer.undoable && newer.undoes.empty())
            Say(err, Tr("kirvo-cli undo: Hinweis: Der neuere Lauf ") + UndoTexts::RunName(newer, Shown) +
                         Tr(" lässt sich nicht rückgängig machen (") + newer.counts.text() + ").");
    }
    return chosen;
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
    std::vector<LoggedRun> runs;
    std::string error;
    if (!RunLog::ReadRuns(OperationLog::DefaultPath(), runs, error)) {
        Say(err, Tr("kirvo-cli undo: ") + Shown(error));
        return kExitUsage;
    }
    if (options.list) {
        List(runs, out);
        return out.flush() ? kExitEqual : kExitUsage;
    }
    const LoggedRun* run = Choose(runs, options.run, err);
    if (run == nullptr) {
        if (!options.run.empty()) {
            Say(err, Tr("kirvo-cli undo: Der Lauf ") + options.run + Tr(" steht nicht im Protokoll (kirvo-cli undo --list zeigt die Läufe)."));
            return kExitUsage;
        }
        Say(err, Tr("kirvo-cli undo: ") + std::string(Tr(UndoTexts::kNothingToUndo)));
        return kExitNotUndoable;
    }
    if (!run->undoable) {
        Say(err, Tr("kirvo-cli undo: Der Lauf ") + UndoTexts::RunName(*run, Shown) +
                     Tr(" lässt sich nicht rückgängig machen: es ist nichts aufgezeichnet, was sich zurücknehmen ließe."));
        return kExitNotUndoable;
    }
    if (!options.dryRun && !options.yes && !interactive) {
        Say(err, Tr("kirvo-cli undo: Ohne Terminal kann nicht gefragt werden; mit --yes wird ohne Frage "
                 "zurückgenommen, mit --dry-run nur gezeigt, was geschähe."));
        return kExitUsage;
    }
    CliRemoteRoots remote(options.acceptNewHostKey);
    if (const int status = remote.Open(kUndoCommand.name, run->sourceRoot, run->targetRoot, err)) return status;
    // Nothing else may work on these folders meanwhile (looking included: what undo sees must stay so).
    std::optional<PairLock> lock;
    if (!options.dryRun) {
        PairLock::Refusal refusal;
        lock = PairLock::ForRoots(remote.source(), remote.target(), std::chrono::milliseconds(0), refusal);
        if (!lock) {
            Say(err, Tr("kirvo-cli undo: ") + Shown(refusal.message) + Tr(" Nichts wurde zurückgenommen."));
            return kExitUnequal;
        }
    }
    std::vector<LoggedLine> lines;
    if (!RunLog::ReadLines(OperationLog::DefaultPath(), run->id, lines, error)) {
        Say(err, Tr("kirvo-cli undo: ") + Shown(error));
        return kExitUsage;
    }
    RunUndo undo(*run, lines, remote.connections());
    undo.look();
    if (options.dryRun) {
        Say(out, Tr("Lauf ") + UndoTexts::RunDescription(*run, Shown) + "\n");
        for (const UndoStep& step : undo.steps()) Say(out, UndoTexts::Step(step, Shown));
        return undo.impossible() ? kExitNotUndoable
               : undo.count(UndoStep::State::Stays) > 0 ? kExitUnequal
                                                         : kExitEqual;
    }
    if (undo.impossible()) {
        for (const UndoStep& step : undo.steps())
            if (step.state == UndoStep::State::Stays) SayStays(step, out);
        Say(err, Tr("kirvo-cli undo: Der Lauf ") + UndoTexts::RunName(*run, Shown) +
                     Tr(" lässt sich nicht rückgängig machen: was er ersetzt oder gelöscht hat, ist nicht mehr im "
                     "Papierkorb."));
        return kExitNotUndoable;
    }
    if (undo.count(UndoStep::State::ToDo) > 0 && !options.yes && !Ask(UndoTexts::Question(undo, Shown), in, out)) {
        out << Tr("Nichts wurde zurückgenommen.\n");
        return kExitUnequal;
    }
    OperationLog log;  // undo is a run of its own
    bool finished = false;
    {
        TerminalFileOperationUi terminal(in, out, err, showProgress && !options.quiet);
        finished = undo.carryOut(terminal, &log);
    }
    const int status = Report(undo, !finished, out);
    if (undo.carriedOut() > 0)
        if (const std::string notice = SyncStateStore().forgetAfterUndo(SyncPair::Of(remote.source(), remote.target()).key());
            !notice.empty())
            Say(err, Tr("kirvo-cli undo: Hinweis: ") + Shown(notice));
    if (undo.carriedOut() > 0 && !undo.undoRunId().empty())
        out << Tr("Zurücknehmen lässt sich das mit: kirvo-cli undo ") << undo.undoRunId() << '\n';
    return out.flush() ? status : kExitUsage;
}

}  // namespace kirvo
