#include "cli/job_run.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <sstream>
#include <streambuf>

#include "app/job_store.h"
#include "cli/cli_arguments.h"
#include "cli/job_options.h"
#include "cli/json_report.h"
#include "cli/stop_signals.h"
#include "cli/sync_command.h"
#include "cli/sync_run.h"
#include "fileops/terminal_text.h"
#include "fileops/operation_log.h"
#include "platform/desktop_notification.h"
#include "platform/file_lock.h"
#include "platform/mount_table.h"
#include "platform/root.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr CliArguments::OptionSpec kOptions[] = {
    {"dry-run", false},
    {"format", true},
    {"quiet", false},
    {"help", false},
};

class DiscardBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) return ReportUsageError(kRunCommand, parsed.error(), err);
    if (parsed.Has("help")) {
        WriteCommandHelp(kRunCommand, out);
        return kExitEqual;
    }
    JobRunRequest request;
    request.dryRun = parsed.Has("dry-run");
    if (const auto format = parsed.Value("format")) {
        if (*format != "text" && *format != "json")
            return ReportUsageError(kRunCommand, Tr("Unbekanntes Format \"") + *format + Tr("\"; erlaubt sind text und json."), err);
        request.json = *format == "json";
        request.text = !request.json;
    }
    request.showProgress = !parsed.Has("quiet") && isatty(STDERR_FILENO) == 1;
    int status = kExitUsage;
    Job job;
    if (!OneJobName(kRunCommand, parsed, err, status)) return status;
    if (!LoadJob(kRunCommand, parsed.operands()[0], job, err)) return kExitUsage;
    JobRun run(job, request.dryRun);
    status = RunJob(run, request, out, err);
    if (request.text && !request.dryRun) out << run.SummaryLine(status) << ".\n";
    return status;
}

}  // namespace

// The help after the synopsis, in pieces that are translated one by one.
constexpr const char* kRunHelp[] = {
    TrNoop("Gleicht die Ordner des Auftrags NAME ab, mit seinen Einstellungen und ohne Rückfragen, wie\n"
    "\"kirvo-cli sync --yes\" mit allen seinen Sicherungen: nichts wird gelöscht, eine neuere oder\n"
    "seit dem Vergleich geänderte Datei wird nicht ersetzt, Konflikte bleiben stehen. Fehlt ein\n"
    "Ordner samt dem Ordner darüber (ein Datenträger, der nicht angeschlossen ist), wird nichts\n"
    "getan. Läuft derselbe Auftrag schon, wartet der zweite Lauf, bis der erste fertig ist.\n"
    "\n"
    "Danach steht eine Zeile mit dem Ergebnis im Protokoll; endet der Lauf mit Konflikten, Fehlern\n"
    "oder wurde er abgelehnt, zeigt der Desktop eine Benachrichtigung (wenn einer erreichbar ist).\n"
    "SIGTERM hält den Lauf an wie Strg+C.\n"
    "\n"
    "Optionen:\n"
    "  --dry-run          nur zeigen, was kopiert würde; nichts ändern, nichts protokollieren\n"
    "  --format=json      statt des Texts ein JSON-Dokument (siehe man kirvo-cli)\n"
    "  --quiet            keine Fortschrittszeile\n"
    "  --help             diese Hilfe\n"
    "\n"
    "Rückgabewert: wie bei sync; 2 auch, wenn es den Auftrag nicht gibt oder er ungültig ist,\n"
    "              4 ein Ordner des Auftrags fehlt samt dem Ordner darüber.\n"),
};

const CliCommand kRunCommand = {
    "run",
    TrNoop("Führt einen gespeicherten Auftrag aus (wie sync --yes)."),
    TrNoop("kirvo-cli run [--dry-run] [--format=text|json] [--quiet] NAME"),
    kRunHelp,
    &Run,
};

int RunJob(JobRun& run, const JobRunRequest& request, std::ostream& out, std::ostream& err) {
    const Job& job = run.job();
    SyncOptions options;
    const auto done = [&](int status) {
        if (request.json) WriteSyncJson(out, run.result(), status, options, "run", job.name);
        run.End(status, request.lastNotice);
        return status;
    };
    std::string error;
    if (!SyncOptionsOfJob(job, options, error)) {
        options.source = job.source;
        options.target = job.target;
        err << Tr("kirvo-cli run: ") << DisplayEscaped(error) << '\n';
        run.Refuse(error);
        return done(kExitUsage);
    }
    options.dryRun = request.dryRun;
    options.quiet = !request.showProgress;

    StopSignals stop;
    const JobRun::Start start = run.Begin([&](const std::string& text) {
        err << Tr("kirvo-cli run: ") << DisplayEscaped(text) << '\n' << std::flush;
    });
    if (start == JobRun::Start::Interrupted) {
        err << Tr("kirvo-cli run: Abgebrochen.\n");
        return done(kExitInterrupted);
    }
    if (start == JobRun::Start::Refused) {
        err << Tr("kirvo-cli run: ") << DisplayEscaped(run.result().refusal) << '\n';
        return done(run.result().end == RunEnd::Unusable ? kExitUsage : kExitUnreadable);
    }
    DiscardBuffer discard;
    std::ostream dropped(&discard);
    std::istringstream noAnswers;
    options.runName = "kirvo-cli run " + job.name;
    options.command = "run";
    const int status = RunSync(options, noAnswers, request.text ? out : dropped, err, false, request.showProgress,
                               &run.result());
    return done(status);
}

}  // namespace kirvo
