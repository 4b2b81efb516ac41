#include "cli/sync_command.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include <unistd.h>

#include "cli/cli_arguments.h"
#include "cli/compare_command.h"
#include "cli/json_report.h"
#include "cli/remote_roots.h"
#include "cli/sync_report.h"
#include "cli/terminal_scan.h"
#include "cli/text_writer.h"
#include "engine/tree_matcher.h"
#include "fileops/file_operation_texts.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/nested_roots.h"
#include "fileops/operation_log.h"
#include "fileops/sync_plan.h"
#include "fileops/terminal_file_operation_ui.h"
#include "view/display_filter.h"
#include "view/plan_rows.h"
#include "view/result_rows.h"

namespace kirvo {
namespace {

constexpr CliArguments::OptionSpec kOptions[] = {
    {"mode", true},
    {"direction", true},
    {"dry-run", false},
    {"yes", false},
    {"exclude-subfolders", false},
    {"exclude-system-folders", false},
    {"no-tolerance", false},
    {"compare", true},
    {"ignore-hour", false},
    {"links", true},
    {"parallel", true},
    {"quiet", false},
    {"accept-new-host-key", false},
    {"include", true},
    {"exclude", true},
    {"filter-from", true},
    {"no-trash", false},
    {"no-log", false},
    {"format", true},
    {"help", false},
};

// --yes: the service's questions are answered without asking. A destination
// changed after its source or since the comparison is still not replaced, nor
// is a file replaced for good that should go to the trash: that is never done
// without a person's answer. Errors are reported and skipped.
class UnattendedUi final : public FileOperationUi {
public:
    UnattendedUi(FileOperationUi& progress, std::ostream& err) : progress_(progress), err_(err) {}

    ConfirmAnswer confirmFolderCreation(const std::string&) override { return ConfirmAnswer::YesToAll; }
    ConfirmAnswer confirmOverwrite(const FileFacts&, const FileFacts& destination, bool destinationNewer) override {
        if (!destinationNewer) return ConfirmAnswer::Yes;
        say("Nicht ersetzt, weil neuer als die Quelle: ", destination.path);
        return ConfirmAnswer::No;
    }
    bool confirmDelete(const DeleteRequest&) override { return false; }  // sync deletes nothing
    ConfirmAnswer confirmChanged(const ChangedFile& file) override {
        say("Nicht ersetzt, weil seit dem Vergleich geändert: ", file.path);
        return ConfirmAnswer::No;
    }
    ConfirmAnswer confirmWithoutTrash(const std::string& path, TreeSide, FileAction, const std::string& reason) override {
        say("Nicht ersetzt, weil kein Papierkorb die alte Fassung nimmt (" + DisplayEscaped(reason) +
                "; mit --no-trash wird endgültig ersetzt): ",
            path);
        return ConfirmAnswer::No;
    }
    void notify(const std::string& text) override {
        std::string line = "kirvo-cli sync: Hinweis: ";
        AppendDisplayEscaped(line, text);
        err_ << line << '\n';
    }
    ErrorAnswer reportError(const std::string& path, const std::string& reason) override {
        std::string line = "kirvo-cli sync: Fehler: ";
        AppendDisplayEscaped(line, path);
        err_ << line << ": " << DisplayEscaped(reason) << '\n';
        return ErrorAnswer::Skip;
    }
    bool progress(const ProgressInfo& info) override { return progress_.progress(info); }

private:
    void say(const std::string& what, const std::string& path) {
        std::string line = "kirvo-cli sync: " + what;
        AppendDisplayEscaped(line, path);
        err_ << line << '\n';
    }

    FileOperationUi& progress_;
    std::ostream& err_;
};

// Ctrl+C stops the copying after the current chunk, leaving no temporary file.
TerminalFileOperationUi* volatile gCancelTarget = nullptr;
extern "C" void OnInterrupt(int) {
    if (gCancelTarget != nullptr) gCancelTarget->requestCancel();
}

struct InterruptGuard {
    explicit InterruptGuard(TerminalFileOperationUi& ui) {
        gCancelTarget = &ui;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;  // no SA_RESTART: a pending question ends with the safe choice
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &previous, nullptr);
        gCancelTarget = nullptr;
    }
    struct sigaction previous {};
};

bool Ask(const std::string& text, std::istream& in, std::ostream& out) {
    out << text << " [j/N] " << std::flush;
    std::string line;
    if (!std::getline(in, line)) {
        out << '\n';
        return false;
    }
    const size_t start = line.find_first_not_of(" \t\r");
    const std::string answer = start == std::string::npos ? "" : line.substr(start, line.find_first_of(" \t\r", start) - start);
    return answer == "j" || answer == "J" || answer == "ja" || answer == "Ja";
}

bool AskDirection(const char* format, int32_t count, std::istream& in, std::ostream& out) {
    char text[128];
    std::snprintf(text, sizeof text, format, static_cast<int>(count));
    return Ask(text, in, out);
}

void PrintPlan(const char* heading, const CopyList& list, std::ostream& out) {
    out << heading << " (" << list.count() << " Dateien):\n";
    for (const CopyPair& pair : list.pairs) {
        std::string line = "  ";
        AppendDisplayEscaped(line, pair.from.path);
        line.append(" -> ");
        AppendDisplayEscaped(line, pair.to.path);
        out << line << '\n';
    }
}

int32_t UnequalCount(const TreeMatcher& matcher) {
    int32_t n = 0;
    for (const FilePair& pair : matcher.pairs()) n += pair.verdict != Verdict::Equal ? 1 : 0;
    return n;
}

// Whether the run may go on with this root: 0, else the exit status after
// saying why. Something other than a folder there is a usage error: copying
// into or out of it cannot be meant. A missing root counts as empty; it is
// made when something is copied into it, but only where its parent is there
// (a drive that is not connected never turns into folders on another disk),
// and only with --yes or after a "j".
int CheckRoot(const char* side, const Root& root, const SyncOptions& options, std::istream& in, std::ostream& out,
              std::ostream& err) {
    if (root.state() == Root::State::NotFolder) {
        err << "kirvo-cli sync: " << side << " \"" << DisplayEscaped(root.text()) << "\" ist kein Ordner.\n";
        return kExitUsage;
    }
    if (root.state() != Root::State::Missing) return 0;
    if (!root.parentExists()) {
        err << "kirvo-cli sync: " << side << " " << DisplayEscaped(root.MissingText()) << " Es wird nichts kopiert.\n";
        return kExitUnreadable;
    }
    if (options.dryRun || options.yes) {
        err << "kirvo-cli sync: Hinweis: " << side << " \"" << DisplayEscaped(root.text())
            << "\" existiert nicht und wird als leer verglichen; beim Kopieren wird der Ordner angelegt.\n";
        return 0;
    }
    if (Ask(std::string(side) + " " + DisplayEscaped(root.MissingText()) + " Soll der Ordner angelegt werden?", in, out))
        return 0;
    err << "kirvo-cli sync: " << side << " \"" << DisplayEscaped(root.text())
        << "\" wird nicht angelegt; es wird nichts kopiert.\n";
    return kExitUnreadable;
}

// One root inside the other can never be brought into line: every run would
// copy the inner tree into itself once more. Judged on disk: links and bind
// mounts are seen through.
bool CheckNesting(const Root& source, const Root& target, std::ostream& err) {
    const std::string message = NestedRootsMessage(source, target);
    if (message.empty()) return true;
    err << "kirvo-cli sync: " << DisplayEscaped(message) << '\n';
    return false;
}

void PrintOutcome(const char* direction, const OperationResult& r, std::ostream& out) {
    out << direction << ": " << r.count(FileOutcome::Done) << " kopiert";
    if (const int32_t n = r.count(FileOutcome::Skipped)) out << ", " << n << " übersprungen";
    if (const int32_t n = r.count(FileOutcome::Failed)) out << ", " << n << " fehlgeschlagen";
    if (const int32_t n = r.count(FileOutcome::Cancelled)) out << ", " << n << " abgebrochen";
    if (const int32_t n = r.trashedCount()) out << "; " << n << (n == 1 ? " ersetzte Datei" : " ersetzte Dateien")
                                                 << " im Papierkorb";
    out << ".\n";
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    SyncOptions options;
    std::string error;
    if (!ParseSyncOptions(args, options, error)) return ReportUsageError(kSyncCommand, error, err);
    if (options.help) {
        WriteCommandHelp(kSyncCommand, out);
        return kExitEqual;
    }
    if (options.format == SyncOptions::Format::Json)
        return RunSyncAsJson(options, out, err, isatty(STDERR_FILENO) == 1);
    return RunSync(options, std::cin, out, err, isatty(STDIN_FILENO) == 1, isatty(STDERR_FILENO) == 1);
}

}  // namespace

const CliCommand kSyncCommand = {
    "sync",
    "Gleicht zwei Ordnerbäume ab: kopiert jede ungleiche Datei in Pfeilrichtung.",
    "kirvo-cli sync [--mode=update] [--direction=both|to-target|to-source] [--dry-run] [--yes]\n"
    "               [--compare=time|time-size|content] [--ignore-hour]\n"
    "               [--links=follow|copy|skip]\n"
    "               [--exclude-subfolders] [--exclude-system-folders] [--no-tolerance]\n"
    "               [--include=MUSTER] [--exclude=MUSTER] [--filter-from=DATEI]\n"
    "               [--no-trash] [--no-log] [--parallel=N] [--quiet] [--format=text|json]\n"
    "               [--accept-new-host-key] QUELLE ZIEL",
    "Vergleicht QUELLE mit ZIEL wie \"kirvo-cli compare\", nimmt jede ungleiche Datei als markiert\n"
    "und kopiert sie wie \"Dateien abgleichen\" in Richtung ihres Pfeils: zuerst von der Quelle\n"
    "ins Ziel, dann vom Ziel in die Quelle. Vorher wird je Richtung gefragt, wie viele Dateien\n"
    "kopiert werden; beim Kopieren wird vor dem Ersetzen vorhandener Dateien gefragt. Jede Datei\n"
    "wird erst vollständig in eine temporäre Datei geschrieben und dann an ihren Platz gesetzt.\n"
    "Gelöscht wird nichts: eine Datei, die ersetzt wird, kommt vorher in den Papierkorb (wie beim\n"
    "Löschen im Dateimanager; von dort holt ihn jeder Dateimanager oder trash-restore zurück).\n"
    "Eine Datei, die seit dem Vergleich geändert wurde, wird nicht ohne Rückfrage ersetzt. Was\n"
    "kopiert und ersetzt wurde, steht im Protokoll ~/.local/state/kirvo/protokoll.log.\n"
    "Zum Schluss wird erneut verglichen und die Summen je Seite ausgegeben.\n"
    "Konflikte (<?>, mit --compare: gleiche Zeit, aber andere Größe oder anderer Inhalt, oder\n"
    "unlesbar) haben keine Richtung: sie werden nicht kopiert, sondern mit ihrem Grund genannt.\n"
    "\n"
    "Optionen:\n"
    "  --mode=update             wie abgeglichen wird: update (Vorgabe) kopiert jede ungleiche Datei\n"
    "                            in Pfeilrichtung und löscht nichts\n"
    "  --direction=WERT          both (Vorgabe): beide Richtungen; to-target: nur von der Quelle\n"
    "                            ins Ziel (--->); to-source: nur vom Ziel in die Quelle (<---)\n"
    "  --dry-run                 nur zeigen, was kopiert würde (Quelle -> Ziel); nichts ändern\n"
    "  --yes                     nichts fragen: beide Richtungen und das Ersetzen gelten als\n"
    "                            bestätigt, Fehler werden gemeldet und übersprungen. Eine Datei,\n"
    "                            die neuer ist als ihre Quelle oder seit dem Vergleich geändert\n"
    "                            wurde, wird auch dann nicht ersetzt, ebenso keine, deren alte\n"
    "                            Fassung kein Papierkorb nehmen kann.\n"
    "  --exclude-subfolders      Ordner der Quelle, die es im Ziel nicht gibt, nicht durchsuchen\n"
    "  --exclude-system-folders  System-Ordner nicht durchsuchen\n"
    "  --no-tolerance            Zeiten, die bis zu 2 Sekunden abweichen, nicht als gleich werten\n"
    KIRVO_CLI_COMPARE_OPTIONS_HELP
    KIRVO_CLI_LINKS_OPTION_HELP
    "  --parallel=N              so viele Ordner je Seite zugleich lesen (Vorgabe 0: automatisch)\n"
    "  --quiet                   keine Fortschrittszeilen auf der Fehlerausgabe\n"
    KIRVO_CLI_REMOTE_OPTION_HELP
    KIRVO_CLI_FILTER_OPTIONS_HELP
    "  --no-trash                ersetzte Dateien nicht in den Papierkorb legen, sondern endgültig\n"
    "                            ersetzen\n"
    "  --no-log                  nichts ins Protokoll schreiben\n"
    "  --format=json             statt des Texts ein JSON-Dokument für Skripte: jede Kopie mit\n"
    "                            Pfaden, Bytes und Ergebnis, die Zahlen und der Rückgabewert\n"
    "                            (nur mit --yes oder --dry-run; siehe man kirvo-cli)\n"
    "  --help                    diese Hilfe\n"
    "\n"
    KIRVO_CLI_PATTERN_HELP
    "\n"
    KIRVO_CLI_UNREADABLE_HELP
    "Eine fehlende Wurzel wird beim Kopieren angelegt: nur dieser eine Ordner, nur wenn der Ordner\n"
    "darüber existiert, und nur nach Rückfrage (mit --yes ohne). Fehlt auch der Ordner darüber\n"
    "(ein Datenträger, der nicht angeschlossen ist), wird nichts kopiert.\n"
    "\n"
    KIRVO_CLI_REMOTE_HELP
    "Auf dem anderen Rechner gibt es keinen Papierkorb: dort wird nur mit --no-trash oder nach\n"
    "Rückfrage endgültig ersetzt. Zwischen zwei entfernten Ordnern wird nicht abgeglichen.\n"
    "\n"
    "Ohne --yes braucht der Befehl ein Terminal für die Fragen. Strg+C bricht das Vergleichen ab\n"
    "(Rückgabewert 130) und ebenso das Kopieren; die Datei, die gerade kopiert wird, bleibt dann\n"
    "unverändert.\n"
    "\n"
    "Rückgabewert: 0 die Bäume sind danach gleich,\n"
    "              1 etwas blieb ungleich (abgelehnt, übersprungen, fehlgeschlagen, ein\n"
    "                Konflikt; bei --dry-run: es gäbe etwas zu kopieren oder einen Konflikt),\n"
    "              2 falscher Aufruf, kein Terminal ohne --yes, ein Pfad ist kein Ordner,\n"
    "                ein Ordner liegt im anderen, oder die Ausgabe ließ sich nicht schreiben,\n"
    "              3 ein Ordner auf einem anderen Rechner war nicht erreichbar, oder die\n"
    "                Verbindung brach ab,\n"
    "              4 nicht alles lesbar (was lesbar war, ist abgeglichen), oder eine\n"
    "                fehlende Wurzel wurde nicht angelegt,\n"
    "              130 mit Strg+C abgebrochen.\n",
    &Run,
};

bool ParseSyncOptions(std::span<const std::string> args, SyncOptions& options, std::string& error) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) {
        error = parsed.error();
        return false;
    }
    options = SyncOptions();
    options.help = parsed.Has("help");
    if (options.help) return true;
    if (const auto mode = parsed.Value("mode"); mode && !ParseSyncMode(*mode, options.mode, error)) return false;
    if (const auto format = parsed.Value("format")) {
        if (*format == "json") {
            options.format = SyncOptions::Format::Json;
        } else if (*format != "text") {
            error = "Unbekanntes Format \"" + *format + "\"; erlaubt sind text und json.";
            return false;
        }
    }
    if (const auto direction = parsed.Value("direction")) {
        if (*direction == "to-target") {
            options.toSource = false;
        } else if (*direction == "to-source") {
            options.toTarget = false;
        } else if (*direction != "both") {
            error = "Unbekannte Richtung \"" + *direction + "\"; erlaubt sind both, to-target, to-source.";
            return false;
        }
    }
    options.dryRun = parsed.Has("dry-run");
    options.yes = parsed.Has("yes");
    options.useTrash = !parsed.Has("no-trash");
    options.useLog = !parsed.Has("no-log");
    if (options.format == SyncOptions::Format::Json && !options.yes && !options.dryRun) {
        error = "Mit --format=json wird nichts gefragt: dazu gehört --yes oder --dry-run.";
        return false;
    }
    return ReadScanArguments(parsed, options, error);
}

std::span<const CliArguments::OptionSpec> SyncOptionSpecs() { return kOptions; }

int RunSync(const SyncOptions& options, std::istream& in, std::ostream& out, std::ostream& err, bool interactive,
            bool showProgress, SyncReport* report) {
    if (!options.dryRun && !options.yes && !interactive) {
        err << "kirvo-cli sync: Ohne Terminal kann nicht gefragt werden; mit --yes wird ohne Fragen "
               "kopiert, mit --dry-run nur gezeigt, was kopiert würde.\n";
        return kExitUsage;
    }
    CliRemoteRoots remote(options.acceptNewHostKey);
    if (const int status = remote.Open(kSyncCommand.name, options.source, options.target, err)) return status;
    if (!CheckNesting(remote.source(), remote.target(), err)) return kExitUsage;
    if (const int status = CheckRoot("Die Quelle", remote.source(), options, in, out, err)) return status;
    if (const int status = CheckRoot("Das Ziel", remote.target(), options, in, out, err)) return status;
    RunOptions run = ScanRunOptions(options);
    remote.Use(run);

    SyncPlan plan;
    std::vector<ConflictNote> conflicts;  // never copied: no direction
    bool unread = false;                  // a place could not be read
    {
        TreeMatcher matcher;
        std::string source = remote.source().location();
        std::string target = remote.target().location();
        TerminalScan scan;
        if (!scan.Run(matcher, source, target, run, showProgress && !options.quiet, err))
            return ReportInterrupted(kSyncCommand, err);
        // An incomplete listing would make files look missing: nothing is copied on it.
        if (!remote.StillConnected(kSyncCommand.name, err)) return kExitUnreachable;
        // What could not be read is left out of the plan (no arrow, or an unread destination).
        unread = ReportUnknownPlaces(kSyncCommand.name, matcher, err) > 0;
        if (report) report->unknownPlaces.assign(matcher.unknownPlaces().begin(), matcher.unknownPlaces().end());
        const ResultRows rows(matcher, DisplayFilter(DisplayFilterValue::Unequal));
        plan = BuildSyncPlan(PlanRows::Marked(rows, matcher.utcOffset()), matcher.sourceRoot(), matcher.targetRoot());
        conflicts = ConflictNotes(matcher);
    }
    const auto reportConflicts = [&] {
        std::string text;
        AppendConflicts(text, conflicts);
        if (!text.empty()) out << text.substr(1) << std::flush;  // without the blank line before
    };
    if (!options.toTarget) plan.sourceToTarget = {};
    if (!options.toSource) plan.targetToSource = {};
    if (report) report->Planned(plan, conflicts);

    if (options.dryRun) {
        if (options.toTarget) PrintPlan("Von Quelle nach Ziel", plan.sourceToTarget, out);
        if (options.toSource) PrintPlan("Von Ziel nach Quelle", plan.targetToSource, out);
        reportConflicts();
        out.flush();
        if (!out) {
            err << "kirvo-cli sync: Die Ausgabe konnte nicht geschrieben werden.\n";
            return kExitUsage;
        }
        // A missing root would be made by the run; until then it is missing, as compare says.
        const bool rootMissing = remote.source().state() == Root::State::Missing ||
                                 remote.target().state() == Root::State::Missing;
        if (unread || rootMissing) return kExitUnreadable;
        return plan.sourceToTarget.empty() && plan.targetToSource.empty() && conflicts.empty() ? kExitEqual
                                                                                              : kExitUnequal;
    }
    reportConflicts();

    bool copyToTarget = !plan.sourceToTarget.empty();
    bool copyToSource = !plan.targetToSource.empty();
    if (!options.yes) {
        if (copyToTarget)
            copyToTarget = AskDirection("Es werden %i Dateien von Quelle nach Ziel kopiert !",
                                        plan.sourceToTarget.count(), in, out);
        if (copyToSource)
            copyToSource = AskDirection("Es werden %i Dateien von Ziel nach Quelle kopiert !",
                                        plan.targetToSource.count(), in, out);
    }

    // The defaults of the window's options: ask before overwriting, create folders
    // silently, keep replaced files in the trash.
    const CopyFlags flags{!options.yes, false, options.useTrash, options.links};
    std::unique_ptr<OperationLog> log;
    if (options.useLog) log = std::make_unique<OperationLog>();
    const auto copy = [&](const CopyList& list, const char* direction) {
        OperationResult result;
        {
            TerminalFileOperationUi terminal(in, out, err, showProgress);  // its progress line ends with it
            UnattendedUi unattended(terminal, err);
            InterruptGuard interrupt(terminal);
            LocalFileOperationService service(options.yes ? static_cast<FileOperationUi&>(unattended) : terminal,
                                              log.get(), remote.connections());
            result = service.copy(list.pairs, flags);
        }
        if (report) (&list == &plan.sourceToTarget ? report->toTarget : report->toSource) = result;
        PrintOutcome(direction, result, out);
    };
    if (copyToTarget) copy(plan.sourceToTarget, "Von Quelle nach Ziel");
    if (copyToSource) copy(plan.targetToSource, "Von Ziel nach Quelle");

    TreeMatcher matcher;
    std::string source = remote.source().location();
    std::string target = remote.target().location();
    TerminalScan scan;
    if (!scan.Run(matcher, source, target, run, showProgress && !options.quiet, err))
        return ReportInterrupted(kSyncCommand, err);
    if (!remote.StillConnected(kSyncCommand.name, err)) return kExitUnreachable;
    // Named once, before the copying; afterwards only what is still unread counts.
    if (!unread) unread = ReportUnknownPlaces(kSyncCommand.name, matcher, err) > 0;
    else unread = !matcher.unknownPlaces().empty();
    // A root that was missing and still is (nothing was copied into it).
    for (Root root : {remote.source(), remote.target()}) {
        if (root.state() != Root::State::Missing) continue;
        remote.connections().inspect(root);
        unread = unread || root.state() == Root::State::Missing;
    }
    const ResultRows rows(matcher, DisplayFilter(DisplayFilterValue::All));
    out << "Quelle: " << rows.SourceSummaryText() << '\n' << "Ziel:   " << rows.TargetSummaryText() << '\n';
    const int32_t unequal = UnequalCount(matcher);
    if (report) report->Afterwards(rows, unequal);
    if (unequal > 0) out << "Ungleich geblieben: " << unequal << " Dateien.\n";
    out.flush();
    if (!out) {
        err << "kirvo-cli sync: Die Ausgabe konnte nicht geschrieben werden.\n";
        return kExitUsage;
    }
    if (unread) {
        err << "kirvo-cli sync: Nicht alles lesbar; die Bäume sind nicht sicher gleich.\n";
        return kExitUnreadable;
    }
    return unequal > 0 ? kExitUnequal : kExitEqual;
}

}  // namespace kirvo
