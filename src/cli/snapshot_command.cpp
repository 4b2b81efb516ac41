#include "cli/snapshot_command.h"

#include <unistd.h>

#include "app/snapshot_save.h"
#include "cli/cli_arguments.h"
#include "cli/remote_roots.h"
#include "cli/terminal_scan.h"
#include "fileops/terminal_text.h"
#include "platform/root.h"
#include "platform/translation.h"
#include "view/value_format.h"

namespace kirvo {
namespace {

constexpr CliArguments::OptionSpec kOptions[] = {
    {"hashes", false}, {"links", true},   {"include", true}, {"exclude", true},
    {"filter-from", true}, {"parallel", true}, {"quiet", false}, {"accept-new-host-key", false},
    {"help", false},
};

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    SnapshotOptions options;
    std::string error;
    if (!ParseSnapshotOptions(args, options, error)) return ReportUsageError(kSnapshotCommand, error, err);
    if (options.help) {
        WriteCommandHelp(kSnapshotCommand, out);
        return kExitEqual;
    }
    return RunSnapshotSave(options, out, err, !options.quiet && isatty(STDERR_FILENO) == 1);
}

// The patterns as a filter file has them: "+ PATTERN" and "- PATTERN", one a line.
std::string FilterText(const PathFilter& filter) {
    if (filter.LeavesOutNothing()) return {};
    std::string text;
    for (const std::string& pattern : filter.includePatterns()) text += "+ " + pattern + "\n";
    for (const std::string& pattern : filter.excludePatterns()) text += "- " + pattern + "\n";
    return text;
}

std::ostream& Say(std::ostream& err) { return err << Tr("kirvo-cli snapshot: "); }

}  // namespace

constexpr const char* kSnapshotHelp[] = {
    TrNoop("Schreibt die Liste des Ordnerbaums ORDNER in die Datei DATEI: Namen, Größen, Änderungszeiten\n"
    "(auf die Nanosekunde), Ordner, und was sich nicht lesen ließ, als solches. Ein solcher\n"
    "Schnappschuss steht danach überall, wo ein Ordner stehen kann, als snapshot:DATEI: so lässt\n"
    "sich vergleichen, was sich seit damals geändert hat, oder mit einem Datenträger, der gerade\n"
    "nicht angeschlossen ist. Ein Schnappschuss wird nur verglichen, nie verändert; Abgleichen,\n"
    "Kopieren und Löschen in ihn oder aus ihm werden abgelehnt.\n"
    "\n"
    "Die Datei entsteht unter einem vorläufigen Namen daneben und bekommt ihren Namen erst, wenn\n"
    "sie ganz auf dem Datenträger ist: ein abgebrochener Lauf hinterlässt keinen halben\n"
    "Schnappschuss. Ein älterer Schnappschuss unter DATEI wird so ersetzt; eine andere Datei dort nie.\n"
    "Üblich ist die Endung .kirvo-snapshot.\n"
    "\n"
    "Optionen:\n"
    "  --hashes                  jede Datei ganz lesen und ihre Prüfsumme (XXH3-128) festhalten:\n"
    "                            dann vergleicht --compare=content auch mit dem Schnappschuss\n"),
    KIRVO_CLI_LINKS_OPTION_HELP,
    TrNoop("  --parallel=N              so viele Ordner zugleich lesen (Vorgabe 0: automatisch)\n"
    "  --quiet                   keine Fortschrittszeile auf der Fehlerausgabe\n"),
    KIRVO_CLI_REMOTE_OPTION_HELP,
    KIRVO_CLI_FILTER_OPTIONS_HELP,
    TrNoop("  --help                    diese Hilfe\n"
    "\n"
    "Rückgabewert: 0 gespeichert, alles gelesen,\n"
    "              1 die Datei ließ sich nicht schreiben,\n"
    "              2 falscher Aufruf, ORDNER ist kein Ordner oder selbst ein Schnappschuss, oder\n"
    "                unter DATEI liegt etwas anderes als ein Schnappschuss,\n"
    "              3 ein Ordner auf einem anderen Rechner war nicht erreichbar,\n"
    "              4 ORDNER existiert nicht oder lässt sich nicht lesen (nichts gespeichert), oder\n"
    "                Teile davon ließen sich nicht lesen (gespeichert, als unbekannt vermerkt),\n"
    "              130 mit Strg+C abgebrochen (nichts gespeichert).\n"
    "\n"
    "Beispiel: kirvo-cli snapshot save --hashes /media/sicherung/Fotos fotos.kirvo-snapshot\n"
    "          kirvo-cli compare ~/Fotos snapshot:fotos.kirvo-snapshot\n"),
};

const CliCommand kSnapshotCommand = {
    "snapshot",
    TrNoop("Speichert die Liste eines Ordnerbaums als Schnappschuss zum späteren Vergleich."),
    TrNoop("kirvo-cli snapshot save [--hashes] [--links=follow|copy|skip]\n"
    "                   [--include=MUSTER] [--exclude=MUSTER] [--filter-from=DATEI]\n"
    "                   [--parallel=N] [--quiet] [--accept-new-host-key] ORDNER DATEI"),
    kSnapshotHelp,
    &Run,
};

bool ParseSnapshotOptions(std::span<const std::string> args, SnapshotOptions& options, std::string& error) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) {
        error = parsed.error();
        return false;
    }
    options = SnapshotOptions();
    options.help = parsed.Has("help");
    if (options.help) return true;
    options.hashes = parsed.Has("hashes");
    options.quiet = parsed.Has("quiet");
    options.acceptNewHostKey = parsed.Has("accept-new-host-key");
    if (!ReadParallel(parsed, options.parallel, error) || !ReadLinkMode(parsed, options.links, error) ||
        !ReadFilterArguments(parsed, options.pathFilter, error))
        return false;
    const auto& operands = parsed.operands();
    if (operands.empty() || operands[0] != "save") {
        error = operands.empty() ? Tr("Es fehlt, was zu tun ist: save.")
                                 : Format(Tr("Unbekannt: \"%s\"; erlaubt ist save."), operands[0]);
        return false;
    }
    if (operands.size() < 2 || operands[1].empty()) {
        error = Tr("Es fehlt das Argument ORDNER.");
        return false;
    }
    if (operands.size() < 3 || operands[2].empty()) {
        error = Tr("Es fehlt das Argument DATEI.");
        return false;
    }
    if (operands.size() > 3) {
        error = Format(Tr("Zu viele Argumente: \"%s\" ist überzählig."), operands[3]);
        return false;
    }
    options.folder = operands[1];
    // The file as a root names it is taken too.
    options.file = Root::NamesSnapshot(operands[2]) ? Root::SnapshotFileOf(operands[2]) : operands[2];
    return true;
}

int RunSnapshotSave(const SnapshotOptions& options, std::ostream& out, std::ostream& err, bool showProgress) {
    std::string why;
    std::optional<Root> folder = Root::Parse(options.folder, &why);
    if (!folder) return ReportUsageError(kSnapshotCommand, why, err);
    if (folder->snapshot()) {
        Say(err) << Format(Tr("\"%s\" ist ein Schnappschuss, kein Ordner.\n"), DisplayEscaped(folder->text()));
        return kExitUsage;
    }
    TerminalLoginUi ui;
    LoginSettings login = LoginSettings::Default();
    login.acceptNewHostKey = options.acceptNewHostKey;
    RemoteConnections connections(&ui, login);
    LoginFault fault = LoginFault::None;
    if (std::string message = connections.connect(*folder, &fault); !message.empty()) {
        if (fault == LoginFault::HostKeyUnknown)
            message += Tr(" Mit --accept-new-host-key wird der Schlüssel angenommen und in ~/.ssh/known_hosts eingetragen.");
        Say(err) << DisplayEscaped(message) << '\n';
        return kExitUnreachable;
    }
    connections.inspect(*folder);
    if (folder->state() == Root::State::NotFolder) {
        Say(err) << Format(Tr("\"%s\" ist kein Ordner.\n"), DisplayEscaped(folder->text()));
        return kExitUsage;
    }

    SnapshotSaveSettings settings;
    settings.hashes = options.hashes;
    settings.links = options.links;
    settings.filter = options.pathFilter.LeavesOutNothing() ? nullptr : &options.pathFilter;
    settings.filterText = FilterText(options.pathFilter);
    settings.parallel = options.parallel;
    settings.listers = connections.listers();
    settings.readers = connections.readers();
    SnapshotSaveResult result;
    TerminalScan scan;
    const bool whole = scan.RunOneTree([&](ScanProgress& progress, ContentProgress& reading) {
        settings.progress = &progress;
        settings.reading = &reading;
        result = SnapshotSave::Run(*folder, options.file, settings);
    }, showProgress, err);
    if (!whole || result.outcome == SnapshotSaveResult::Outcome::Stopped) return ReportInterrupted(kSnapshotCommand, err);
    if (const std::string lost = connections.lostMessage(); !lost.empty()) {
        Say(err) << DisplayEscaped(lost) << Tr(" Es wurde nichts gespeichert.\n");
        return kExitUnreachable;
    }
    switch (result.outcome) {
    case SnapshotSaveResult::Outcome::FolderMissing:
        Say(err) << DisplayEscaped(folder->MissingText()) << Tr(" Es wurde nichts gespeichert.\n");
        return kExitUnreadable;
    case SnapshotSaveResult::Outcome::FolderUnreadable:
        Say(err) << Format(Tr("\"%s\" lässt sich nicht lesen: %s. Es wurde nichts gespeichert.\n"),
                           DisplayEscaped(folder->text()), DisplayEscaped(result.reason));
        return kExitUnreadable;
    case SnapshotSaveResult::Outcome::NotWritten:
        Say(err) << Format(Tr("Der Schnappschuss \"%s\" wurde nicht geschrieben: %s.\n"), DisplayEscaped(options.file),
                           DisplayEscaped(result.reason));
        return result.error == EEXIST ? kExitUsage : kExitUnequal;
    case SnapshotSaveResult::Outcome::Saved:
    case SnapshotSaveResult::Outcome::Stopped:
        break;
    }
    for (const UnknownPlace& place : result.unknown) {
        std::string line;
        AppendUnknownPlace(line, place, folder->text());
        Say(err) << DisplayEscaped(line) << '\n';
    }
    for (const SnapshotSaveResult::Unhashed& file : result.unhashed)
        Say(err) << Format(Tr("ohne Prüfsumme: %s – %s\n"), DisplayEscaped(file.path), DisplayEscaped(file.reason));
    if (!result.unknown.empty())
        Say(err) << Tr("Nicht alles lesbar: der Schnappschuss hält diese Stellen als unbekannt fest, nicht als leer.\n");
    out << Format(TrN("Schnappschuss gespeichert: %s (%d Datei, ", "Schnappschuss gespeichert: %s (%d Dateien, ",
                      static_cast<uint64_t>(result.files)),
                  DisplayEscaped(options.file), result.files)
        << Format(TrN("%d Ordner", "%d Ordner", static_cast<uint64_t>(result.folders)), result.folders)
        << (options.hashes ? Tr(", mit Prüfsummen") : "") << ")\n";
    out.flush();
    if (!out) {
        Say(err) << Tr("Die Ausgabe konnte nicht geschrieben werden.\n");
        return kExitUsage;
    }
    return result.unknown.empty() && result.unhashed.empty() ? kExitEqual : kExitUnreadable;
}

}  // namespace kirvo
