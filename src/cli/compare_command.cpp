#include "cli/compare_command.h"

#include <unistd.h>

#include "cli/cli_arguments.h"
#include "cli/json_report.h"
#include "cli/remote_roots.h"
#include "cli/snapshot_heading.h"
#include "cli/terminal_scan.h"
#include "cli/text_writer.h"
#include "cli/tsv_writer.h"
#include "engine/tree_matcher.h"
#include "app/sync_use_case.h"
#include "sync/pair_content_memory.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"
#include "platform/snapshot/snapshot_backend.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

struct FilterName {
    std::string_view option;
    DisplayFilterValue value;
    std::string_view description;
};

constexpr FilterName kFilterNames[] = {
    {"all", DisplayFilterValue::All, TrNoop("alle Dateien")},
    {"unequal", DisplayFilterValue::Unequal, TrNoop("nur ungleiche Dateien")},
    {"to-target", DisplayFilterValue::SourceToTarget, TrNoop("nur Dateien von der Quelle ins Ziel (--->)")},
    {"to-source", DisplayFilterValue::TargetToSource, TrNoop("nur Dateien vom Ziel in die Quelle (<---)")},
    {"equal", DisplayFilterValue::Equal, TrNoop("nur gleiche Dateien (=)")},
};

constexpr CliArguments::OptionSpec kOptions[] = {
    {"filter", true},
    {"format", true},
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
    {"mode", true},
    {"direction", true},
    {"help", false},
};

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    CompareOptions options;
    std::string error;
    if (!ParseCompareOptions(args, options, error)) return ReportUsageError(kCompareCommand, error, err);
    if (options.help) {
        WriteCommandHelp(kCompareCommand, out);
        return kExitEqual;
    }
    return RunCompare(options, out, err, !options.quiet && isatty(STDERR_FILENO) == 1);
}

const FilterName& NameOf(DisplayFilterValue value) {
    for (const FilterName& f : kFilterNames)
        if (f.value == value) return f;
    return kFilterNames[1];
}

}  // namespace

// The help after the synopsis, in pieces that are translated one by one.
constexpr const char* kCompareHelp[] = {
    TrNoop("Vergleicht den Ordnerbaum QUELLE mit dem Ordnerbaum ZIEL Datei für Datei nach der\n"
    "Änderungszeit (mit --compare auch nach Größe oder Inhalt) und gibt die Liste aus, die das\n"
    "Fenster nach \"Pfade vergleichen\" zeigt: Ordnerzeilen, eine Zeile je Datei mit\n"
    "Richtungspfeil, alle Dateien mit Pfeil markiert, dazu die Summen je Seite und die Auswahl.\n"
    "Ein Konflikt (<?>) ist ungleich, hat aber keine Richtung: er wird nicht markiert und im\n"
    "Text unter \"Konflikte\" mit seinem Grund aufgeführt.\n"
    "\n"
    "Mit --mode=mirror oder --mode=two-way zeigt die Liste, was \"kirvo-cli sync\" mit derselben\n"
    "Einstellung täte, ohne etwas zu ändern: je Datei die geplante Aktion mit eigenem Pfeil\n"
    "(---> und <--- kopieren, --X und X-- im Ziel bzw. in der Quelle löschen, ~~> und <~~ dort\n"
    "umbenennen, (~>) und (<~) der alte Name einer Datei, die umbenannt wird, <?> Konflikt, ?\n"
    "unbekannt, <!> beschädigt?, = nichts zu tun) und bei Löschen und Umbenennen den Grund.\n"
    "Der Filter ordnet jede Aktion der Seite zu, die sie ändert. Mit Gedächtnis wird der Stand\n"
    "des letzten Abgleichs nur gelesen.\n"
    "\n"
    "Optionen:\n"
    "  --filter=WERT             welche Dateien die Liste zeigt (Vorgabe: unequal)\n"
    "                              all        alle Dateien\n"
    "                              unequal    nur ungleiche Dateien\n"
    "                              to-target  nur Dateien von der Quelle ins Ziel (--->)\n"
    "                              to-source  nur Dateien vom Ziel in die Quelle (<---)\n"
    "                              equal      nur gleiche Dateien (=)\n"
    "  --exclude-subfolders      Ordner der Quelle, die es im Ziel nicht gibt, nicht durchsuchen\n"
    "  --exclude-system-folders  System-Ordner nicht durchsuchen\n"
    "  --no-tolerance            Zeiten, die bis zu 2 Sekunden abweichen, nicht als gleich werten\n"),
    KIRVO_CLI_COMPARE_OPTIONS_HELP,
    KIRVO_CLI_LINKS_OPTION_HELP,
    TrNoop("  --parallel=N              so viele Ordner je Seite zugleich lesen (Vorgabe 0: automatisch,\n"
    "                            viele auf Netzlaufwerken und FUSE, lokal mehr, solange die Platte\n"
    "                            Anfragen warten lässt)\n"
    "  --quiet                   keine Fortschrittszeile auf der Fehlerausgabe\n"),
    KIRVO_CLI_REMOTE_OPTION_HELP,
    KIRVO_CLI_FILTER_OPTIONS_HELP,
    KIRVO_CLI_MODE_OPTIONS_HELP,
    TrNoop("  --format=WERT             text: lesbare Liste (Vorgabe); tsv: für Skripte, je Zeile der\n"
    "                            Zustand (2 markiert: kopieren, 3 Ordner, 4 gleich oder nichts zu\n"
    "                            tun, 5 Konflikt, 6 unbekannt, 10 beschädigt?, mit --mode auch\n"
    "                            7 löschen,\n"
    "                            8 umbenennen, 9 alter Name einer Datei, die umbenannt wird)\n"
    "                            und die neun Spalten, mit Tabulator getrennt, danach die Zeilen 1009\n"
    "                            bis 1012 mit den Summen; \\ Tabulator Zeilenumbruch\n"
    "                            Wagenrücklauf als \\\\ \\t \\n \\r; json: ein JSON-Dokument mit\n"
    "                            jeder gezeigten Datei (Zustand, Größen, Zeiten) und den Summen\n"
    "                            (siehe man kirvo-cli)\n"
    "  --help                    diese Hilfe\n"
    "\n"),
    KIRVO_CLI_PATTERN_HELP,
    "\n",
    KIRVO_CLI_UNREADABLE_HELP,
    "\n",
    KIRVO_CLI_REMOTE_HELP,
    TrNoop("\n"
    "Schnappschüsse: QUELLE oder ZIEL als snapshot:DATEI vergleicht mit der Liste, die\n"
    "\"kirvo-cli snapshot save\" gespeichert hat (nach Inhalt nur, wenn sie Prüfsummen hat;\n"
    "sonst ist ein Paar gleicher Größe ein Konflikt). Mit --mode=mirror oder two-way geht das nicht.\n"),
    TrNoop("\n"
    "Auf einem Terminal zeigt die Fehlerausgabe während des Lesens die gefundenen Dateien je Seite\n"
    "und die Rate, beim Vergleich nach Inhalt dann die gelesenen Bytes. Strg+C bricht sauber ab:\n"
    "die Ausgabe endet mit einer ganzen Zeile.\n"
    "\n"
    "Rückgabewert: 0 keine ungleiche Datei gefunden (gleich, was der Filter zeigt),\n"
    "              1 mindestens eine ungleiche Datei oder ein Konflikt (mit --mode: es gäbe\n"
    "                etwas zu tun),\n"
    "              2 falscher Aufruf oder die Ausgabe ließ sich nicht schreiben,\n"
    "              3 ein Ordner auf einem anderen Rechner war nicht erreichbar, oder die\n"
    "                Verbindung brach ab,\n"
    "              4 nicht alles lesbar, ein Pfad existiert nicht, ein Schnappschuss fehlt,\n"
    "                ist keiner oder ist beschädigt, oder die Zustandsdatenbank ist nicht\n"
    "                lesbar,\n"
    "              130 mit Strg+C abgebrochen.\n"
    "\n"
    "Beispiel: kirvo-cli compare --filter=all ~/Dokumente /media/stick/Dokumente\n"),
};

const CliCommand kCompareCommand = {
    "compare",
    TrNoop("Vergleicht zwei Ordnerbäume und gibt die Ergebnisliste aus."),
    TrNoop("kirvo-cli compare [--filter=all|unequal|to-target|to-source|equal]\n"
    "                  [--compare=time|time-size|content] [--ignore-hour]\n"
    "                  [--links=follow|copy|skip]\n"
    "                  [--exclude-subfolders] [--exclude-system-folders] [--no-tolerance]\n"
    "                  [--include=MUSTER] [--exclude=MUSTER] [--filter-from=DATEI]\n"
    "                  [--parallel=N] [--quiet] [--accept-new-host-key]\n"
    "                  [--mode=update|mirror|two-way] [--direction=both|to-target|to-source]\n"
    "                  [--format=text|tsv|json] QUELLE ZIEL"),
    kCompareHelp,
    &Run,
};

bool ParseCompareOptions(std::span<const std::string> args, CompareOptions& options, std::string& error) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) {
        error = parsed.error();
        return false;
    }
    options = CompareOptions();
    options.help = parsed.Has("help");
    if (options.help) return true;
    if (const auto filter = parsed.Value("filter")) {
        const FilterName* found = nullptr;
        for (const FilterName& f : kFilterNames)
            if (f.option == *filter) found = &f;
        if (!found) {
            error = Tr("Unbekannter Filter \"") + *filter + Tr("\"; erlaubt sind all, unequal, to-target, to-source, equal.");
            return false;
        }
        options.filter = found->value;
    }
    if (const auto format = parsed.Value("format")) {
        if (*format == "text") {
            options.format = CompareOptions::Format::Text;
        } else if (*format == "tsv") {
            options.format = CompareOptions::Format::Tsv;
        } else if (*format == "json") {
            options.format = CompareOptions::Format::Json;
        } else {
            error = Tr("Unbekanntes Format \"") + *format + Tr("\"; erlaubt sind text, tsv und json.");
            return false;
        }
    }
    if (!ReadSyncModeArguments(parsed, options.sync, error)) return false;
    return ReadScanArguments(parsed, options, error);
}

std::optional<std::string> RootNotice(std::string_view side, const Root& root) {
    if (root.state() != Root::State::Missing) return std::nullopt;
    return Tr("Hinweis: ") + std::string(side) + " \"" + root.text() + Tr("\" existiert nicht und wird als leer verglichen.");
}

int RunCompare(const CompareOptions& options, std::ostream& out, std::ostream& err, bool showProgress) {
    CliRemoteRoots remote(options.acceptNewHostKey);
    if (const int status = remote.Open(kCompareCommand.name, options.source, options.target, err)) return status;
    // A snapshot takes no sync: there is no plan to show.
    for (const Root* root : {&remote.source(), &remote.target()}) {
        if (options.sync.mode == SyncMode::Update || !root->snapshot()) continue;
        err << Tr("kirvo-cli compare: ") << DisplayEscaped(SnapshotRefusal(root->text())) << '\n';
        return kExitUsage;
    }
    bool rootMissing = false;
    for (const auto& [side, root] : {std::pair{Tr("Die Quelle"), &remote.source()}, std::pair{Tr("Das Ziel"), &remote.target()}}) {
        if (auto text = RootNotice(side, *root)) {
            err << Tr("kirvo-cli compare: ") << DisplayEscaped(*text) << '\n';
            rootMissing = true;
        }
    }

    // With a mode the list shows the plan of that sync (two-way: against the
    // recorded state, read only): the sync use case up to its decisions.
    SyncRequest request;
    request.mode = options.sync.mode;
    request.sides = options.sync.sides;
    request.scan = ScanRunOptions(options);
    request.filter = options.pathFilter;
    request.readOnly = true;
    SyncUseCase sync(std::move(request), remote.connections());
    sync.Open(remote.source(), remote.target());  // compared whatever a sync would say of them
    if (const StoreError error = sync.LoadState()) {
        err << Tr("kirvo-cli compare: ") << DisplayEscaped(error.message) << '\n';
        return kExitUnreadable;
    }
    const bool withPlan = sync.request().mode != SyncMode::Update;
    const SyncSession& plan = sync.session();

    TreeMatcher matcher;
    TerminalScan scan;
    RunOptions run = sync.request().ScanOptions();
    remote.Use(run);
    const auto memory = RememberedContent(run.compareBy, sync.source(), sync.target());
    run.contentMemory = memory.get();
    if (!scan.Run(matcher, sync.source(), sync.target(), run, showProgress, err)) return ReportInterrupted(kCompareCommand, err);
    if (!remote.StillConnected(kCompareCommand.name, err)) return kExitUnreachable;
    const bool unread = ReportUnknownPlaces(kCompareCommand.name, matcher, err) > 0;
    sync.Decide(matcher);
    ResultRows rows(matcher, DisplayFilter(options.filter), nullptr, withPlan ? &plan : nullptr);
    const SelectionStats stats(rows);

    if (options.format == CompareOptions::Format::Tsv) {
        WriteTsv(out, rows, stats);
    } else if (options.format == CompareOptions::Format::Json) {
        WriteCompareJson(out, matcher, rows, stats, options);
    } else {
        const FilterName& filter = NameOf(options.filter);
        const std::string filterText = std::string(filter.option) + " (" + Tr(filter.description) + ")";
        const std::string optionsText =
            std::string(Tr("Toleranz +/- 2 Sekunden ")) + (options.twoSecondTolerance ? Tr("an") : Tr("aus")) +
            Tr(", Sub-Ordner ausschließen ") + (options.excludeSubFolders ? Tr("an") : Tr("aus")) +
            Tr(", System-Ordner ausschließen ") + (options.excludeSystemFolders ? Tr("an") : Tr("aus")) +
            (options.ignoreHour ? Tr(", eine Stunde Unterschied ignorieren an") : "") +
            (options.compareBy == CompareBy::TimeAndSize ? Tr(", Vergleich nach Änderungszeit und Größe")
             : options.compareBy == CompareBy::Content   ? Tr(", Vergleich nach Inhalt")
                                                         : "") +
            (options.links == LinkMode::Copy   ? Tr(", Verknüpfungen als Verknüpfungen")
             : options.links == LinkMode::Skip ? Tr(", Verknüpfungen ausgelassen")
                                               : "");
        std::string patterns;
        if (!options.pathFilter.LeavesOutNothing()) {
            auto join = [&patterns](const char* heading, const std::vector<std::string>& list) {
                patterns += heading;
                for (size_t i = 0; i < list.size(); ++i) patterns += (i == 0 ? " " : ", ") + list[i];
            };
            join(Tr("einschließen"), options.pathFilter.includePatterns());
            if (!options.pathFilter.excludePatterns().empty()) join(Tr("; ausschließen"), options.pathFilter.excludePatterns());
        }
        const std::string withMode =
            plan.mode() == SyncMode::Update ? optionsText : optionsText + Tr(", geplant für den Abgleich ") + std::string(SyncModeName(plan.mode()));
        WriteText(out, rows, stats,
                  {RootHeading(matcher.source(), matcher.utcOffset()),
                   RootHeading(matcher.target(), matcher.utcOffset()), filterText, withMode, patterns},
                  sync.result().conflicts);
    }
    out.flush();
    if (!out) {
        err << Tr("kirvo-cli compare: Die Ausgabe konnte nicht geschrieben werden.\n");
        return kExitUsage;
    }
    if (TerminalScan::Interrupted()) return ReportInterrupted(kCompareCommand, err);

    if (unread || rootMissing) return kExitUnreadable;
    if (withPlan) {
        for (const auto decisions : {plan.decisions(), plan.folderDecisions()})
            for (const PathDecision& decision : decisions)
                if (decision.planned.action != SyncAction::Nothing) return kExitUnequal;
        return kExitEqual;
    }
    for (const FilePair& p : matcher.pairs())
        if (p.verdict != Verdict::Equal) return kExitUnequal;
    return kExitEqual;
}

}  // namespace kirvo
