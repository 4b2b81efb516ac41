#include "cli/sync_command.h"

#include <cerrno>
#include <chrono>
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
#include "cli/sync_mode_arguments.h"
#include "cli/sync_report.h"
#include "cli/sync_work_text.h"
#include "cli/terminal_scan.h"
#include "cli/text_writer.h"
#include "cli/unattended_ui.h"
#include "engine/tree_matcher.h"
#include "fileops/file_operation_texts.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/nested_roots.h"
#include "fileops/operation_log.h"
#include "fileops/terminal_file_operation_ui.h"
#include "platform/root_access.h"
#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_session.h"
#include "view/display_filter.h"
#include "view/result_rows.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

// How long a run waits for another run on the same pair.
constexpr std::chrono::seconds kLockWait(30);

constexpr CliArguments::OptionSpec kOptions[] = {
    {"mode", true},
    {"direction", true},
    {"max-delete", true},
    {"forget-state", false},
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
    out << text << Tr(" [j/N] ") << std::flush;
    std::string line;
    if (!std::getline(in, line)) {
        out << '\n';
        return false;
    }
    const size_t start = line.find_first_not_of(" \t\r");
    const std::string answer = start == std::string::npos ? "" : line.substr(start, line.find_first_of(" \t\r", start) - start);
    if (answer == "j" || answer == "J" || answer == "ja" || answer == "Ja") return true;
    // In English, the English answer too.
    return CurrentLanguage() != UiLanguage::German && (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes");
}

// The run's questions on the terminal; with --yes every one is taken as
// answered "ja" except the guards', which nobody can answer then.
class TerminalQuestions final : public SyncQuestions {
public:
    TerminalQuestions(bool yes, std::istream& in, std::ostream& out) : yes_(yes), in_(in), out_(out) {}
    bool Confirm(Kind kind, const std::string& text) override {
        if (yes_) return kind != Kind::Guard;
        return Ask(text, in_, out_);  // numbers and fixed words only
    }

private:
    bool yes_;
    std::istream& in_;
    std::ostream& out_;
};

// Pairs left unequal; beyond update, two files of different size are never
// taken as equal (their times may lie within the tolerance).
int32_t UnequalCount(const TreeMatcher& matcher, SyncMode mode) {
    int32_t n = 0;
    for (const FilePair& pair : matcher.pairs())
        n += pair.verdict != Verdict::Equal ||
                     (mode != SyncMode::Update && pair.source && pair.target && pair.source->size() != pair.target->size())
                 ? 1
                 : 0;
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
        err << Tr("kirvo-cli sync: ") << side << " \"" << DisplayEscaped(root.text()) << Tr("\" ist kein Ordner.\n");
        return kExitUsage;
    }
    if (root.state() != Root::State::Missing) return 0;
    if (!root.parentExists()) {
        err << Tr("kirvo-cli sync: ") << side << " " << DisplayEscaped(root.MissingText()) << Tr(" Es wird nichts kopiert.\n");
        return kExitUnreadable;
    }
    if (options.dryRun || options.yes) {
        err << Tr("kirvo-cli sync: Hinweis: ") << side << " \"" << DisplayEscaped(root.text())
            << Tr("\" existiert nicht und wird als leer verglichen; beim Kopieren wird der Ordner angelegt.\n");
        return 0;
    }
    if (Ask(std::string(side) + " " + DisplayEscaped(root.MissingText()) + Tr(" Soll der Ordner angelegt werden?"), in, out))
        return 0;
    err << Tr("kirvo-cli sync: ") << side << " \"" << DisplayEscaped(root.text())
        << Tr("\" wird nicht angelegt; es wird nichts kopiert.\n");
    return kExitUnreadable;
}

// One root inside the other can never be brought into line: every run would
// copy the inner tree into itself once more. Judged on disk: links and bind
// mounts are seen through.
bool CheckNesting(const Root& source, const Root& target, std::ostream& err) {
    const std::string message = NestedRootsMessage(source, target);
    if (message.empty()) return true;
    err << Tr("kirvo-cli sync: ") << DisplayEscaped(message) << '\n';
    return false;
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

// The help after the synopsis, in pieces that are translated one by one.
constexpr const char* kSyncHelp[] = {
    TrNoop("Vergleicht QUELLE mit ZIEL wie \"kirvo-cli compare\" und gleicht sie ab. In der Vorgabe\n"
    "(--mode=update, \"Neuere kopieren\") nimmt er jede ungleiche Datei als markiert und kopiert\n"
    "sie wie \"Dateien abgleichen\" in Richtung ihres Pfeils: zuerst von der Quelle ins Ziel, dann\n"
    "vom Ziel in die Quelle; gelöscht wird dann nichts. Vorher wird je Richtung gefragt, wie viele\n"
    "Dateien kopiert werden; beim Kopieren wird vor dem Ersetzen vorhandener Dateien gefragt. Jede\n"
    "Datei wird erst vollständig in eine temporäre Datei geschrieben und dann an ihren Platz\n"
    "gesetzt. Eine Datei, die ersetzt oder gelöscht wird, kommt vorher in den Papierkorb (wie beim\n"
    "Löschen im Dateimanager; von dort holt sie jeder Dateimanager oder trash-restore zurück).\n"
    "Eine Datei, die seit dem Vergleich geändert wurde, wird nicht ohne Rückfrage ersetzt oder\n"
    "gelöscht. Was kopiert, ersetzt, gelöscht und umbenannt wurde, steht im Protokoll\n"
    "~/.local/state/kirvo/protokoll.log. Zum Schluss wird erneut verglichen und die Summen je\n"
    "Seite ausgegeben. Konflikte (<?>) werden nicht angerührt, sondern mit ihrem Grund genannt.\n"
    "\n"
    "Spiegeln (--mode=mirror) macht das Ziel zur genauen Kopie der Quelle: Fehlendes und\n"
    "Verschiedenes wird kopiert, auch über eine neuere Datei, was es nur im Ziel gibt, gelöscht,\n"
    "und leere Ordner, die es in der Quelle nicht gibt, werden entfernt. Eine Datei, die nur im\n"
    "Ziel liegt und in der Quelle mit gleicher Größe, Zeit und gleichem Inhalt unter anderem Namen,\n"
    "wird im Ziel umbenannt statt gelöscht und neu kopiert.\n"
    "\n"
    "In beide Richtungen mit Gedächtnis (--mode=two-way) entscheidet gegen den Stand des letzten\n"
    "Abgleichs dieser beiden Ordner (gespeichert in ~/.local/state/kirvo/abgleich.db, nie in den\n"
    "Ordnern selbst): auf einer Seite Geändertes oder Neues wird kopiert, auf einer Seite Gelöschtes\n"
    "auf der anderen gelöscht, Umbenanntes dort ebenso umbenannt; auf beiden Seiten Geändertes ist\n"
    "ein Konflikt, und eine gelöschte Datei, die auf der anderen Seite geändert wurde, kommt zurück.\n"
    "Der erste Lauf gleicht ab wie update und hält dann den Stand fest.\n"
    "\n"
    "Bevor gelöscht wird, wird geprüft: löschte der Lauf auf einer Seite mehr als die Hälfte der\n"
    "Dateien (und mindestens 10), oder ist eine Seite leer oder fehlt, obwohl sie beim letzten\n"
    "Abgleich Dateien hatte (ein nicht eingehängtes Laufwerk), wird gefragt; mit --yes wird der\n"
    "Lauf dann abgelehnt (Rückgabewert 4), außer --max-delete erlaubt so viele Löschungen. Unter\n"
    "einer Stelle, die nicht lesbar ist, wird nichts gelöscht. Zwei Läufe für dieselben Ordner\n"
    "warten aufeinander (höchstens 30 Sekunden, dann wird abgelehnt).\n"
    "\n"
    "Optionen:\n"),
    KIRVO_CLI_MODE_OPTIONS_HELP,
    TrNoop("  --dry-run                 nur zeigen, was geschähe, mit Anzahl und Größe je Aktion; nichts\n"
    "                            ändern\n"
    "  --yes                     nichts fragen: Kopieren, Löschen, Umbenennen und das Ersetzen\n"
    "                            gelten als bestätigt, Fehler werden gemeldet und übersprungen.\n"
    "                            Eine Datei, die neuer ist als ihre Quelle (außer beim Spiegeln\n"
    "                            und mit Gedächtnis) oder seit dem Vergleich geändert wurde, wird\n"
    "                            auch dann nicht ersetzt oder gelöscht, ebenso keine, deren alte\n"
    "                            Fassung kein Papierkorb nehmen kann. Was die Prüfung vor dem\n"
    "                            Löschen fragen würde, wird abgelehnt.\n"
    "  --max-delete=N|P%         so viele Löschungen je Seite ohne Rückfrage erlauben: eine Anzahl\n"
    "                            (etwa 20) oder einen Anteil der Dateien der Seite (etwa 10%); gilt\n"
    "                            statt der Regel \"mehr als die Hälfte\" und auch für eine leere Seite\n"
    "  --forget-state            mit --mode=two-way: den Stand des letzten Abgleichs dieser Ordner\n"
    "                            vergessen und neu beginnen (etwa wenn die Datenbank beschädigt ist)\n"
    "  --exclude-subfolders      Ordner der Quelle, die es im Ziel nicht gibt, nicht durchsuchen\n"
    "  --exclude-system-folders  System-Ordner nicht durchsuchen\n"
    "  --no-tolerance            Zeiten, die bis zu 2 Sekunden abweichen, nicht als gleich werten\n"),
    KIRVO_CLI_COMPARE_OPTIONS_HELP,
    KIRVO_CLI_LINKS_OPTION_HELP,
    TrNoop("  --parallel=N              so viele Ordner je Seite zugleich lesen (Vorgabe 0: automatisch)\n"
    "  --quiet                   keine Fortschrittszeilen auf der Fehlerausgabe\n"),
    KIRVO_CLI_REMOTE_OPTION_HELP,
    KIRVO_CLI_FILTER_OPTIONS_HELP,
    TrNoop("  --no-trash                ersetzte und gelöschte Dateien nicht in den Papierkorb legen,\n"
    "                            sondern endgültig ersetzen und löschen\n"
    "  --no-log                  nichts ins Protokoll schreiben\n"
    "  --format=json             statt des Texts ein JSON-Dokument für Skripte: jede Kopie,\n"
    "                            Löschung und Umbenennung mit Pfaden und Ergebnis, die Zahlen und\n"
    "                            der Rückgabewert (nur mit --yes oder --dry-run; siehe man kirvo-cli)\n"
    "  --help                    diese Hilfe\n"
    "\n"),
    KIRVO_CLI_PATTERN_HELP,
    TrNoop("Eine Datei, die der Filter auslässt, wird weder kopiert noch gelöscht, und ihr Stand bleibt.\n"
    "\n"),
    KIRVO_CLI_UNREADABLE_HELP,
    TrNoop("Eine fehlende Wurzel wird beim Kopieren angelegt: nur dieser eine Ordner, nur wenn der Ordner\n"
    "darüber existiert, und nur nach Rückfrage (mit --yes ohne). Fehlt auch der Ordner darüber\n"
    "(ein Datenträger, der nicht angeschlossen ist), wird nichts kopiert.\n"
    "\n"),
    KIRVO_CLI_REMOTE_HELP,
    TrNoop("Auf dem anderen Rechner gibt es keinen Papierkorb: dort wird nur mit --no-trash oder nach\n"
    "Rückfrage endgültig ersetzt oder gelöscht. Zwischen zwei entfernten Ordnern wird nicht\n"
    "abgeglichen.\n"
    "\n"
    "Ohne --yes braucht der Befehl ein Terminal für die Fragen. Strg+C bricht das Vergleichen ab\n"
    "(Rückgabewert 130) und ebenso das Kopieren; die Datei, die gerade kopiert wird, bleibt dann\n"
    "unverändert. Ein abgebrochener Lauf hinterlässt den Stand des letzten Abgleichs; der nächste\n"
    "Lauf macht fertig, was noch fehlt.\n"
    "\n"
    "Rückgabewert: 0 die Bäume sind danach gleich,\n"
    "              1 etwas blieb ungleich (abgelehnt, übersprungen, fehlgeschlagen, ein\n"
    "                Konflikt; bei --dry-run: es gäbe etwas zu tun oder einen Konflikt),\n"
    "              2 falscher Aufruf, kein Terminal ohne --yes, ein Pfad ist kein Ordner,\n"
    "                ein Ordner liegt im anderen, oder die Ausgabe ließ sich nicht schreiben,\n"
    "              3 ein Ordner auf einem anderen Rechner war nicht erreichbar, oder die\n"
    "                Verbindung brach ab,\n"
    "              4 nicht alles lesbar (was lesbar war, ist abgeglichen), eine fehlende\n"
    "                Wurzel wurde nicht angelegt, oder der Lauf wurde abgelehnt: zu viele\n"
    "                Löschungen oder eine leere Seite (mit --yes), die Zustandsdatenbank ist\n"
    "                nicht lesbar, oder ein anderer Lauf hält die Ordner,\n"
    "              130 mit Strg+C abgebrochen.\n"),
};

const CliCommand kSyncCommand = {
    "sync",
    TrNoop("Gleicht zwei Ordnerbäume ab: Neuere kopieren, Spiegeln oder in beide Richtungen mit Gedächtnis."),
    TrNoop("kirvo-cli sync [--mode=update|mirror|two-way] [--direction=both|to-target|to-source]\n"
    "               [--dry-run] [--yes] [--max-delete=N|P%] [--forget-state]\n"
    "               [--compare=time|time-size|content] [--ignore-hour]\n"
    "               [--links=follow|copy|skip]\n"
    "               [--exclude-subfolders] [--exclude-system-folders] [--no-tolerance]\n"
    "               [--include=MUSTER] [--exclude=MUSTER] [--filter-from=DATEI]\n"
    "               [--no-trash] [--no-log] [--parallel=N] [--quiet] [--format=text|json]\n"
    "               [--accept-new-host-key] QUELLE ZIEL"),
    kSyncHelp,
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
    SyncModeArguments sync;
    if (!ReadSyncModeArguments(parsed, sync, error)) return false;
    options.mode = sync.mode;
    options.toTarget = sync.sides.target;
    options.toSource = sync.sides.source;
    if (const auto format = parsed.Value("format")) {
        if (*format == "json") {
            options.format = SyncOptions::Format::Json;
        } else if (*format != "text") {
            error = Tr("Unbekanntes Format \"") + *format + Tr("\"; erlaubt sind text und json.");
            return false;
        }
    }
    if (const auto limit = parsed.Value("max-delete")) {
        options.maxDelete = DeleteLimit::Parse(*limit, &error);
        if (!options.maxDelete) return false;
    }
    options.forgetState = parsed.Has("forget-state");
    if (options.forgetState && options.mode != SyncMode::TwoWay) {
        error = Tr("--forget-state gilt nur mit --mode=two-way: nur dieser Abgleich hat ein Gedächtnis.");
        return false;
    }
    options.dryRun = parsed.Has("dry-run");
    options.yes = parsed.Has("yes");
    options.useTrash = !parsed.Has("no-trash");
    options.useLog = !parsed.Has("no-log");
    if (options.format == SyncOptions::Format::Json && !options.yes && !options.dryRun) {
        error = Tr("Mit --format=json wird nichts gefragt: dazu gehört --yes oder --dry-run.");
        return false;
    }
    return ReadScanArguments(parsed, options, error);
}

std::span<const CliArguments::OptionSpec> SyncOptionSpecs() { return kOptions; }

namespace {

// What the state and the lock of the pair need; mirror and two-way only.
struct PairAccess {
    explicit PairAccess(SyncPair p) : pair(std::move(p)) {}
    SyncPair pair;
    SyncStateStore store;
    std::optional<PairLock> lock;
};

// Takes the pair's lock, waiting a while for a run that holds it; 0 or the exit status after saying why.
int LockPair(PairAccess& access, std::ostream& err) {
    PairLock::Refusal refusal;
    access.lock = PairLock::Acquire(access.store.folder(), access.pair.key(), std::chrono::milliseconds(0), refusal);
    if (!access.lock && refusal.holder > 0) {
        err << Tr("kirvo-cli sync: Warte auf einen anderen Abgleich dieser Ordner (Prozess ") << refusal.holder << ") …\n";
        access.lock = PairLock::Acquire(access.store.folder(), access.pair.key(), kLockWait, refusal);
    }
    if (access.lock) return 0;
    err << Tr("kirvo-cli sync: ") << DisplayEscaped(refusal.message) << Tr(" Nichts wurde geändert.\n");
    return kExitUnreadable;
}

// Forgets the pair's state (--forget-state), says so and writes it to the log.
int ForgetState(PairAccess& access, const SyncOptions& options, OperationLog* log, std::ostream& err) {
    std::string notice;
    if (const StoreError error = access.store.forget(access.pair.key(), &notice)) {
        err << Tr("kirvo-cli sync: ") << DisplayEscaped(error.message) << '\n';
        return kExitUnreadable;
    }
    if (!notice.empty()) err << Tr("kirvo-cli sync: Hinweis: ") << DisplayEscaped(notice) << '\n';
    err << Tr("kirvo-cli sync: Hinweis: Der Stand des letzten Abgleichs ist vergessen; dieser Lauf gleicht ab wie der "
           "erste (wie update), dann wird der Stand neu festgehalten.\n");
    if (log != nullptr) log->write({OperationLog::kStateForgotten, options.source, options.target, {}, {}, OperationLog::kOk});
    return 0;
}

}  // namespace

int RunSync(const SyncOptions& options, std::istream& in, std::ostream& out, std::ostream& err, bool interactive,
            bool showProgress, SyncReport* report) {
    if (!options.dryRun && !options.yes && !interactive) {
        err << Tr("kirvo-cli sync: Ohne Terminal kann nicht gefragt werden; mit --yes wird ohne Fragen "
               "abgeglichen, mit --dry-run nur gezeigt, was geschähe.\n");
        return kExitUsage;
    }
    CliRemoteRoots remote(options.acceptNewHostKey);
    if (const int status = remote.Open(kSyncCommand.name, options.source, options.target, err)) return status;
    if (!CheckNesting(remote.source(), remote.target(), err)) return kExitUsage;
    if (const int status = CheckRoot(Tr("Die Quelle"), remote.source(), options, in, out, err)) return status;
    if (const int status = CheckRoot(Tr("Das Ziel"), remote.target(), options, in, out, err)) return status;
    RunOptions run = ScanRunOptions(options);
    remote.Use(run);

    SyncSettings settings;
    settings.mode = options.mode;
    settings.mirrorFrom = options.toTarget ? SyncSide::Source : SyncSide::Target;
    settings.sides = {options.toSource, options.toTarget};
    settings.compareSetting = static_cast<int32_t>(options.compareBy);
    settings.filterHash = FilterHashOf(options.pathFilter, options.excludeSubFolders, options.excludeSystemFolders);
    settings.filter = run.filter;
    settings.limit = options.maxDelete;
    SyncSession session(settings);
    run.identities = session.wantsIdentities();

    std::unique_ptr<OperationLog> log;
    if (options.useLog && !options.dryRun) log = std::make_unique<OperationLog>();
    // The pair's lock from before its state is read until the new one is recorded.
    std::optional<PairAccess> access;
    if (settings.mode != SyncMode::Update) {
        access.emplace(SyncPair::Of(options.source, options.target));
        if (!options.dryRun)
            if (const int status = LockPair(*access, err)) return status;
        if (options.forgetState && !options.dryRun)
            if (const int status = ForgetState(*access, options, log.get(), err)) return status;
        if (!(options.forgetState && options.dryRun))
            if (const StoreError error = session.LoadState(access->store, access->pair.key())) {
                err << Tr("kirvo-cli sync: ") << DisplayEscaped(error.message)
                    << Tr(" Abgeglichen wird nicht: ohne den Stand des letzten Abgleichs kämen gelöschte Dateien "
                       "zurück. Mit --forget-state beginnt der Abgleich dieser Ordner von vorn.\n");
                return kExitUnreadable;
            }
    }
    const SideIdentities identities = access ? access->pair.identities() : SideIdentities{};

    SyncWork work;
    SyncOutcome outcome;
    bool unread = false;      // a place could not be read
    bool conflicted = false;  // conflicts were named: they stay as they are
    TreeMatcher first;  // the comparison before the run; afterwards as well when nothing was done
    {
        TreeMatcher& matcher = first;
        std::string source = remote.source().location();
        std::string target = remote.target().location();
        TerminalScan scan;
        if (!scan.Run(matcher, source, target, run, showProgress && !options.quiet, err))
            return ReportInterrupted(kSyncCommand, err);
        // An incomplete listing would make files look missing: nothing is done on it.
        if (!remote.StillConnected(kSyncCommand.name, err)) return kExitUnreachable;
        // What could not be read is left out of the plan.
        unread = ReportUnknownPlaces(kSyncCommand.name, matcher, err) > 0;
        if (report) report->unknownPlaces.assign(matcher.unknownPlaces().begin(), matcher.unknownPlaces().end());
        session.Decide(matcher, identities);
        work = session.Work();
        const std::vector<ConflictNote> notes = ConflictNotes(session, matcher);
        if (report) report->Planned(work, notes);
        std::string conflicts;
        AppendConflicts(conflicts, notes);
        if (!conflicts.empty()) conflicts.erase(0, 1);  // without the blank line before
        conflicted = !conflicts.empty();

        if (options.dryRun) {
            WritePlannedWork(work, settings.sides.target, settings.sides.source, out);
            const GuardReport guards = session.Guards();
            if (guards.needsConfirmation())
                out << Tr("Vor dem Abgleich würde gefragt (mit --yes abgelehnt):\n") << session.GuardText(guards) << '\n';
            out << conflicts;
            out.flush();
            if (!out) {
                err << Tr("kirvo-cli sync: Die Ausgabe konnte nicht geschrieben werden.\n");
                return kExitUsage;
            }
            // A missing root would be made by the run; until then it is missing, as compare says.
            const bool rootMissing = remote.source().state() == Root::State::Missing ||
                                     remote.target().state() == Root::State::Missing;
            if (unread || rootMissing) return kExitUnreadable;
            if (guards.needsConfirmation() && options.yes) return kExitUnreadable;
            return work.empty() && conflicts.empty() ? kExitEqual : kExitUnequal;
        }
        out << conflicts << std::flush;

        // The defaults of the window's options: ask before overwriting and
        // deleting, create folders silently, keep replaced and deleted files in the trash.
        const CopyFlags copyFlags{!options.yes, false, options.useTrash, options.links};
        const DeleteFlags deleteFlags{!options.yes, options.useTrash, options.links};
        TerminalFileOperationUi terminal(in, out, err, showProgress);  // its progress line ends with it
        UnattendedUi unattended(terminal, err);
        InterruptGuard interrupt(terminal);
        LocalFileOperationService service(options.yes ? static_cast<FileOperationUi&>(unattended) : terminal, log.get(),
                                          remote.connections());
        TerminalQuestions questions(options.yes, in, out);
        {
            // Everything the session does is one run in the log, undone as a whole.
            const ServiceRun unit(&service, {options.runName, matcher.sourceRoot(), matcher.targetRoot()});
            outcome = session.Run(work, questions, service, copyFlags, deleteFlags);
        }
        session.Clear();  // the comparison goes
    }
    if (report) report->Done(outcome);
    if (outcome.refused) {
        err << Tr("kirvo-cli sync: ") << outcome.refusal << '\n'
            << Tr("kirvo-cli sync: Nicht abgeglichen, nichts wurde geändert")
            << (options.yes ? Tr("; --max-delete=ANZAHL oder =ANTEIL% erlaubt so viele Löschungen.\n") : ".\n");
        return kExitUnreadable;
    }
    WriteSyncOutcome(outcome, out);

    // What the trees hold now: compared again, unless nothing was handed to
    // the service (then the first comparison still stands).
    const bool acted = outcome.movedInSource || outcome.movedInTarget || outcome.deletedInSource ||
                       outcome.deletedInTarget || outcome.copiedToTarget || outcome.copiedToSource ||
                       outcome.foldersInSource || outcome.foldersInTarget;
    TreeMatcher second;
    TreeMatcher& matcher = acted ? second : first;
    if (acted) {
        first.Clear();
        std::string source = remote.source().location();
        std::string target = remote.target().location();
        TerminalScan scan;
        if (!scan.Run(matcher, source, target, run, showProgress && !options.quiet, err))
            return ReportInterrupted(kSyncCommand, err);
        if (!remote.StillConnected(kSyncCommand.name, err)) return kExitUnreachable;
        // Named once, before the copying; afterwards only what is still unread counts.
        if (!unread) unread = ReportUnknownPlaces(kSyncCommand.name, matcher, err) > 0;
        else unread = !matcher.unknownPlaces().empty();
    }
    // A root that was missing and still is (nothing was copied into it).
    for (Root root : {remote.source(), remote.target()}) {
        if (root.state() != Root::State::Missing) continue;
        remote.connections().inspect(root);
        unread = unread || root.state() == Root::State::Missing;
    }
    if (access)
        if (const StoreError error = session.Record(matcher, identities, access->store, access->pair.key())) {
            err << Tr("kirvo-cli sync: ") << DisplayEscaped(error.message)
                << Tr(" Der neue Stand ist nicht festgehalten; der nächste Lauf entscheidet nach dem alten.\n");
            unread = true;
        }
    const ResultRows rows(matcher, DisplayFilter(DisplayFilterValue::All));
    out << Tr("Quelle: ") << rows.SourceSummaryText() << '\n' << Tr("Ziel:   ") << rows.TargetSummaryText() << '\n';
    const int32_t unequal = UnequalCount(matcher, settings.mode);
    if (report) report->Afterwards(rows, unequal);
    if (unequal > 0)
        out << Format(TrN("Ungleich geblieben: %d Dateien.\n", "Ungleich geblieben: %d Dateien.\n", static_cast<uint64_t>(unequal)),
                      unequal);
    out.flush();
    if (!out) {
        err << Tr("kirvo-cli sync: Die Ausgabe konnte nicht geschrieben werden.\n");
        return kExitUsage;
    }
    if (unread) {
        err << Tr("kirvo-cli sync: Nicht alles lesbar; die Bäume sind nicht sicher gleich.\n");
        return kExitUnreadable;
    }
    return unequal > 0 || conflicted ? kExitUnequal : kExitEqual;
}

}  // namespace kirvo
