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
#include "cli/sync_report.h"
#include "fileops/terminal_text.h"
#include "fileops/operation_log.h"
#include "platform/desktop_notification.h"
#include "platform/file_lock.h"
#include "platform/mount_table.h"
#include "platform/root.h"

namespace kirvo {
namespace {

constexpr CliArguments::OptionSpec kOptions[] = {
    {"dry-run", false},
    {"format", true},
    {"quiet", false},
    {"help", false},
};

// Passes everything on to another stream buffer and keeps the last whole
// line that was not empty: the message a notification quotes.
class LastLineBuffer final : public std::streambuf {
public:
    explicit LastLineBuffer(std::streambuf* target) : target_(target) {}
    std::string lastLine() const { return line_.empty() ? last_ : line_; }

protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return 0;
        keep(static_cast<char>(c));
        return target_->sputc(static_cast<char>(c));
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i) keep(s[i]);
        return target_->sputn(s, n);
    }
    int sync() override { return target_->pubsync(); }

private:
    void keep(char c) {
        if (c == '\r') return;
        if (c != '\n') {
            line_ += c;
        } else if (!line_.empty()) {
            last_ = std::move(line_);
            line_.clear();
        }
    }

    std::streambuf* target_;
    std::string line_;
    std::string last_;
};

class DiscardBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// A local root that is missing together with the folder above it is a
// drive that is not there (a stick not plugged in): copying would make the
// whole path on the wrong disk. Refused before anything is read or made.
bool RootsPresent(const SyncOptions& options, std::ostream& err) {
    namespace fs = std::filesystem;
    for (const auto& [side, root] : {std::pair{"Die Quelle", &options.source}, std::pair{"Das Ziel", &options.target}}) {
        if (Root::NamesRemote(*root)) continue;
        std::error_code ec;
        const fs::path path = fs::path(*root).lexically_normal();
        const fs::path parent = (path.has_filename() ? path : path.parent_path()).parent_path();
        if (fs::exists(fs::symlink_status(path, ec)) || fs::exists(parent, ec)) continue;
        err << "kirvo-cli run: " << side << " \"" << DisplayEscaped(*root)
            << "\" existiert nicht, ebenso der Ordner darüber. Ist der Datenträger angeschlossen?\n";
        return false;
    }
    return true;
}

// A job that runs when its drive is mounted runs only while it is.
bool MountPointMounted(const Job& job, std::ostream& err) {
    if (job.whenMounted.empty() || MountPointOf(job.whenMounted) == job.whenMounted) return true;
    err << "kirvo-cli run: \"" << DisplayEscaped(job.whenMounted)
        << "\" ist nicht eingehängt. Ist der Datenträger angeschlossen?\n";
    return false;
}

void Finish(const Job& job, const JobRunRequest& request, const SyncReport& report, int status,
            const std::string& lastMessage) {
    if (request.dryRun) return;
    const std::string line = JobSummaryLine(job, report, status, lastMessage);
    if (job.useLog) {
        OperationLog log;
        log.write({"Auftrag", job.source, job.target, report.bytesCopied(), {}, line});
    }
    const bool news = status != kExitEqual && status != kExitInterrupted && !report.cancelled();
    // The trouble alone, without what went well: the same trouble is the same notice.
    std::string notice;
    if (news) notice = report.compared && !report.Problems().empty() ? report.Problems() : line.substr(line.find("\": ") + 3);
    if (request.lastNotice) {
        if (*request.lastNotice == notice) return;
        *request.lastNotice = notice;
    }
    if (news)
        ShowDesktopNotification("Kirvo: Auftrag \"" + job.name + "\"", notice + ". Mehr im Protokoll (Extras › Protokoll anzeigen).");
}

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
            return ReportUsageError(kRunCommand, "Unbekanntes Format \"" + *format + "\"; erlaubt sind text und json.", err);
        request.json = *format == "json";
        request.text = !request.json;
    }
    request.showProgress = !parsed.Has("quiet") && isatty(STDERR_FILENO) == 1;
    int status = kExitUsage;
    Job job;
    if (!OneJobName(kRunCommand, parsed, err, status)) return status;
    if (!LoadJob(kRunCommand, parsed.operands()[0], job, err)) return kExitUsage;
    SyncReport report;
    std::string lastMessage;
    status = RunJob(job, request, out, err, report, lastMessage);
    if (request.text && !request.dryRun) out << JobSummaryLine(job, report, status, lastMessage) << ".\n";
    return status;
}

}  // namespace

const CliCommand kRunCommand = {
    "run",
    "Führt einen gespeicherten Auftrag aus (wie sync --yes).",
    "kirvo-cli run [--dry-run] [--format=text|json] [--quiet] NAME",
    "Gleicht die Ordner des Auftrags NAME ab, mit seinen Einstellungen und ohne Rückfragen, wie\n"
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
    "              4 ein Ordner des Auftrags fehlt samt dem Ordner darüber.\n",
    &Run,
};

int RunJob(const Job& job, const JobRunRequest& request, std::ostream& out, std::ostream& err, SyncReport& report,
           std::string& lastMessage) {
    LastLineBuffer kept(err.rdbuf());
    std::ostream messages(&kept);
    SyncOptions options;
    const auto done = [&](int status) {
        report.status = status;
        lastMessage = kept.lastLine();
        for (const std::string& prefix : {std::string("kirvo-cli "), "Auftrag \"" + job.name + "\""})
            if (lastMessage.rfind(prefix, 0) == 0 && lastMessage.find(": ") != std::string::npos)
                lastMessage.erase(0, lastMessage.find(": ") + 2);
        if (request.json) WriteSyncJson(out, report, options, "run", job.name);
        Finish(job, request, report, status, lastMessage);
        return status;
    };
    std::string error;
    if (!SyncOptionsOfJob(job, options, error)) {
        options.source = job.source;
        options.target = job.target;
        messages << "kirvo-cli run: " << DisplayEscaped(error) << '\n';
        return done(kExitUsage);
    }
    options.dryRun = request.dryRun;
    options.quiet = !request.showProgress;

    StopSignals stop;
    FileLock lock(JobStore::LockPathOf(job.name));
    FileLock::State state = lock.tryTake(error);
    if (state == FileLock::State::Busy) {
        messages << "kirvo-cli run: Der Auftrag \"" << job.name << "\" läuft gerade; dieser Lauf wartet, bis er fertig ist.\n"
                 << std::flush;
        bool interrupted = false;
        state = lock.wait(interrupted, error) ? FileLock::State::Taken : FileLock::State::Failed;
        if (interrupted) {
            messages << "kirvo-cli run: Abgebrochen.\n";
            return done(kExitInterrupted);
        }
    }
    if (state == FileLock::State::Failed) {
        messages << "kirvo-cli run: " << DisplayEscaped(error) << '\n';
        return done(kExitUsage);
    }
    if (!RootsPresent(options, messages) || !MountPointMounted(job, messages)) return done(kExitUnreadable);

    DiscardBuffer discard;
    std::ostream dropped(&discard);
    std::istringstream noAnswers;
    options.runName = "kirvo-cli run " + job.name;
    const int status = RunSync(options, noAnswers, request.text ? out : dropped, messages, false,
                               request.showProgress, &report);
    return done(status);
}

std::string JobSummaryLine(const Job& job, const SyncReport& report, int status, const std::string& lastMessage) {
    std::string line = "Auftrag \"" + job.name + "\": ";
    if (status == kExitInterrupted) {
        line += "abgebrochen";
    } else if (!report.compared && !lastMessage.empty()) {
        line += "nicht abgeglichen: " + lastMessage;
        while (!line.empty() && (line.back() == '.' || line.back() == ' ')) line.pop_back();
    } else {
        line += report.Summary();
    }
    return line + " – Status " + std::to_string(status);
}

}  // namespace kirvo
