#include "cli/verify_command.h"

#include <unistd.h>

#include "cli/cli_arguments.h"
#include "cli/job_options.h"
#include "cli/remote_roots.h"
#include "cli/terminal_scan.h"
#include "cli/text_writer.h"
#include "cli/verify_output.h"
#include "engine/tree_matcher.h"
#include "fileops/terminal_text.h"
#include "platform/root.h"
#include "platform/translation.h"
#include "cli/sync_run.h"
#include "app/verify_use_case.h"

namespace kirvo {
namespace {

constexpr CliArguments::OptionSpec kOptions[] = {
    {"job", true},      {"format", true},        {"links", true},    {"include", true},
    {"exclude", true},  {"filter-from", true},   {"exclude-subfolders", false},
    {"exclude-system-folders", false},           {"parallel", true}, {"quiet", false},
    {"accept-new-host-key", false},              {"help", false},
};

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    VerifyOptions options;
    std::string error;
    if (!ParseVerifyOptions(args, options, error)) return ReportUsageError(kVerifyCommand, error, err);
    if (options.help) {
        WriteCommandHelp(kVerifyCommand, out);
        return kExitEqual;
    }
    return RunVerify(options, out, err, !options.scan.quiet && isatty(STDERR_FILENO) == 1);
}

std::ostream& Say(std::ostream& err) { return err << Tr("kirvo-cli verify: "); }

}  // namespace

constexpr const char* kVerifyHelp[] = {
    TrNoop("Liest jede Datei beider Seiten ganz und prüft sie gegen die Prüfsumme (XXH3-128), die\n"
    "Kirvo für dieses Ordnerpaar zuletzt festgehalten hat (beim Kopieren, Prüfen oder Vergleich\n"
    "nach Inhalt). Ohne festgehaltene Prüfsumme wird sie jetzt festgehalten; sind Größe oder\n"
    "Änderungszeit anders, gilt die Datei als bearbeitet und ihre neue Prüfsumme wird\n"
    "festgehalten. Hat eine Datei dieselbe Größe und Änderungszeit wie damals, aber einen\n"
    "anderen Inhalt, gilt sie als beschädigt (\"beschädigt?\": ein Datenträger, der Bits verliert,\n"
    "ändert weder Größe noch Zeit). Sie wird mit Seite und dem Zeitpunkt, zu dem sie zuletzt\n"
    "gut war, auf der Fehlerausgabe genannt; die Prüfsumme des guten Inhalts bleibt\n"
    "festgehalten, und \"kirvo-cli sync\" mit --mode=mirror oder two-way kopiert die Datei nie\n"
    "über ihr Gegenstück, sondern stellt sie aus dem Gegenstück wieder her, wo es den guten\n"
    "Inhalt noch hat. Verglichen werden auch die beiden Seiten miteinander.\n"
    "\n"
    "Optionen:\n"
    "  --job=NAME                Quelle, Ziel und Filter des Auftrags NAME (statt QUELLE ZIEL)\n"
    "  --exclude-subfolders      Ordner der Quelle, die es im Ziel nicht gibt, nicht durchsuchen\n"
    "  --exclude-system-folders  System-Ordner nicht durchsuchen\n"),
    KIRVO_CLI_LINKS_OPTION_HELP,
    TrNoop("  --parallel=N              so viele Ordner je Seite zugleich lesen (Vorgabe 0: automatisch)\n"
    "  --quiet                   keine Fortschrittszeile auf der Fehlerausgabe\n"),
    KIRVO_CLI_REMOTE_OPTION_HELP,
    KIRVO_CLI_FILTER_OPTIONS_HELP,
    TrNoop("  --format=WERT             text: die Dateien, die nicht gleich sind, und die Summen\n"
    "                            (Vorgabe); tsv: je Datei eine Zeile mit Zustand (4 gleich,\n"
    "                            6 nicht lesbar, 10 beschädigt?, 11 verschieden, 12 nur auf einer\n"
    "                            Seite), Pfad, Prüfsumme der Quelle, Prüfsumme des Ziels, beschädigte\n"
    "                            Seite (0 keine, 1 Quelle, 2 Ziel, 3 beide) und wann sie zuletzt\n"
    "                            gut war (Sekunden seit 1970, sonst leer), mit Tabulator\n"
    "                            getrennt; json: ein JSON-Dokument (siehe man kirvo-cli)\n"
    "  --help                    diese Hilfe\n"
    "\n"
    "Rückgabewert: 0 alles gelesen, nichts beschädigt, beide Seiten gleich,\n"
    "              1 eine Datei beschädigt? oder die Seiten haben verschiedenen Inhalt,\n"
    "              2 falscher Aufruf oder die Ausgabe ließ sich nicht schreiben,\n"
    "              3 ein Ordner auf einem anderen Rechner war nicht erreichbar,\n"
    "              4 nicht alles lesbar, ein Pfad existiert nicht, oder die\n"
    "                Zustandsdatenbank ist nicht lesbar oder nicht beschreibbar,\n"
    "              130 mit Strg+C abgebrochen (was bis dahin gelesen ist, bleibt festgehalten).\n"
    "\n"
    "Beispiel: kirvo-cli verify ~/Fotos /media/stick/Fotos\n"),
};

const CliCommand kVerifyCommand = {
    "verify",
    TrNoop("Liest beide Seiten ganz und findet beschädigte Dateien."),
    TrNoop("kirvo-cli verify [--links=follow|copy|skip] [--exclude-subfolders] [--exclude-system-folders]\n"
    "                 [--include=MUSTER] [--exclude=MUSTER] [--filter-from=DATEI]\n"
    "                 [--parallel=N] [--quiet] [--accept-new-host-key]\n"
    "                 [--format=text|tsv|json] (QUELLE ZIEL | --job=NAME)"),
    kVerifyHelp,
    &Run,
};

bool ParseVerifyOptions(std::span<const std::string> args, VerifyOptions& options, std::string& error) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) {
        error = parsed.error();
        return false;
    }
    options = VerifyOptions();
    options.help = parsed.Has("help");
    if (options.help) return true;
    if (const auto format = parsed.Value("format")) {
        if (*format == "text") options.format = VerifyOptions::Format::Text;
        else if (*format == "tsv") options.format = VerifyOptions::Format::Tsv;
        else if (*format == "json") options.format = VerifyOptions::Format::Json;
        else {
            error = Tr("Unbekanntes Format \"") + *format + Tr("\"; erlaubt sind text, tsv und json.");
            return false;
        }
    }
    if (const auto job = parsed.Value("job")) {
        if (!parsed.operands().empty()) {
            error = Format(Tr("Zu viele Argumente: \"%s\" ist überzählig."), parsed.operands()[0]);
            return false;
        }
        options.job = *job;
        options.scan.quiet = parsed.Has("quiet");
        options.scan.acceptNewHostKey = parsed.Has("accept-new-host-key");
        return true;
    }
    return ReadScanArguments(parsed, options.scan, error);
}

int RunVerify(const VerifyOptions& given, std::ostream& out, std::ostream& err, bool showProgress) {
    SyncOptions scan = given.scan;
    if (given.job) {
        Job job;
        if (!LoadJob(kVerifyCommand, *given.job, job, err)) return kExitUsage;
        std::string error;
        if (!SyncOptionsOfJob(job, scan, error)) {
            Say(err) << DisplayEscaped(error) << '\n';
            return kExitUsage;
        }
        scan.quiet = given.scan.quiet;
        scan.acceptNewHostKey = given.scan.acceptNewHostKey || scan.acceptNewHostKey;
    }
    if (Root::NamesSnapshot(scan.source) || Root::NamesSnapshot(scan.target)) {
        std::optional<Root> source = Root::Parse(scan.source), target = Root::Parse(scan.target);
        if (source && target) {
            Say(err) << DisplayEscaped(VerifyUseCase::Refusal(*source, *target)) << '\n';
            return kExitUsage;
        }
    }
    CliRemoteRoots remote(scan.acceptNewHostKey);
    if (const int status = remote.Open(kVerifyCommand.name, scan.source, scan.target, err)) return status;
    bool missing = false;
    for (const Root* root : {&remote.source(), &remote.target()}) {
        if (root->state() != Root::State::Missing) continue;
        Say(err) << DisplayEscaped(root->MissingText()) << '\n';
        missing = true;
    }
    RunOptions run = VerifyUseCase::ScanOptions(ScanRunOptions(scan));
    remote.Use(run);
    TreeMatcher matcher;
    TerminalScan terminal;
    if (!terminal.Run(matcher, remote.source(), remote.target(), run, showProgress, err)) return ReportInterrupted(kVerifyCommand, err);
    if (!remote.StillConnected(kVerifyCommand.name, err)) return kExitUnreachable;
    const bool unread = ReportUnknownPlaces(kVerifyCommand.name, matcher, err) > 0;

    VerifyUseCase verify;
    const bool whole = terminal.RunOneTree([&](ScanProgress&, ContentProgress& reading) {
        verify.Verify(matcher, remote.source(), remote.target(), reading);
    }, showProgress, err);
    const VerifyResult& result = verify.result();
    if (!remote.StillConnected(kVerifyCommand.name, err)) return kExitUnreachable;
    if (result.storeError) Say(err) << DisplayEscaped(result.storeError.message) << '\n';
    if (!whole || result.stopped) return ReportInterrupted(kVerifyCommand, err);

    WriteDamageNotes(result, err);
    switch (given.format) {
    case VerifyOptions::Format::Tsv: WriteVerifyTsv(result, out); break;
    case VerifyOptions::Format::Json: WriteVerifyJson(result, matcher, out); break;
    case VerifyOptions::Format::Text: WriteVerifyText(result, matcher, out) << verify.Summary() << '\n'; break;
    }
    out.flush();
    if (!out) {
        Say(err) << Tr("Die Ausgabe konnte nicht geschrieben werden.\n");
        return kExitUsage;
    }
    return ExitStatusOf(verify.End(unread || missing));
}

}  // namespace kirvo
