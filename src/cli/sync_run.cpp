#include "cli/sync_run.h"

#include <algorithm>
#include <csignal>
#include <iostream>
#include <memory>
#include <vector>

#include "app/sync_use_case.h"
#include "sync/pair_content_memory.h"
#include "cli/cli_command.h"
#include "cli/remote_roots.h"
#include "cli/sync_work_text.h"
#include "cli/terminal_scan.h"
#include "cli/text_writer.h"
#include "cli/unattended_ui.h"
#include "engine/tree_matcher.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/operation_log.h"
#include "fileops/terminal_file_operation_ui.h"
#include "fileops/terminal_text.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

// How long a run waits for another run on the same pair.
constexpr std::chrono::seconds kLockWait(30);

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
    TerminalQuestions(bool yes, std::string prefix, std::istream& in, std::ostream& out, std::ostream& err)
        : yes_(yes), prefix_(std::move(prefix)), in_(in), out_(out), err_(err) {}
    bool Confirm(Kind kind, const std::string& text) override {
        if (yes_) return kind != Kind::Guard;
        return Ask(DisplayEscapedLines(text), in_, out_);
    }
    // The whole plan first, as the window shows it; then each part's question.
    bool ConfirmPlan(SyncPlanSummary& plan) override {
        if (!yes_) out_ << Tr("Geplant:\n") << DisplayEscapedLines(plan.Text()) << '\n' << std::flush;
        return SyncQuestions::ConfirmPlan(plan);
    }
    void Tell(const std::string& text) override { err_ << prefix_ << DisplayEscapedLines(text) << '\n' << std::flush; }

private:
    bool yes_;
    std::string prefix_;
    std::istream& in_;
    std::ostream& out_;
    std::ostream& err_;
};

SyncRequest RequestOf(const SyncOptions& options) {
    SyncRequest request;
    request.mode = options.mode;
    request.sides = {options.toSource, options.toTarget};
    request.limit = options.maxDelete;
    request.scan = ScanRunOptions(options);
    request.filter = options.pathFilter;
    // The defaults of the window's options: ask before overwriting and
    // deleting, create folders silently, keep replaced and deleted files in the trash.
    request.copyFlags = CopyFlags{!options.yes, false, options.useTrash, options.links};
    request.copyFlags.verify = options.verify;
    request.deleteFlags = DeleteFlags{!options.yes, options.useTrash, options.links};
    request.dryRun = options.dryRun;
    request.forgetState = options.forgetState;
    request.runName = options.runName;
    request.holdPairThroughout = true;
    request.lockWait = kLockWait;
    return request;
}

// "kirvo-cli sync: ", or the command that runs a sync of its own.
std::string Prefix(const SyncOptions& options) { return "kirvo-cli " + std::string(options.command) + ": "; }

void Say(std::ostream& err, const SyncOptions& options, const std::string& text) {
    err << Prefix(options) << DisplayEscapedLines(text) << '\n';
}

// The comparison of a run, with its progress line; false after saying why it
// did not finish (a broken connection also in `why`).
bool Compare(TreeMatcher& matcher, const SyncUseCase& sync, CliRemoteRoots& remote, ContentMemory* memory,
             const SyncOptions& options, bool showProgress, std::ostream& err, int& status, std::string& why) {
    RunOptions run = sync.request().ScanOptions();
    remote.Use(run);
    run.contentMemory = memory;
    TerminalScan scan;
    if (!scan.Run(matcher, sync.source(), sync.target(), run, showProgress && !options.quiet, err)) {
        err << Prefix(options) << Tr("Abgebrochen.") << '\n';
        status = kExitInterrupted;
        return false;
    }
    // An incomplete listing would make files look missing: nothing is done on it.
    if (remote.StillConnected(options.command, err)) return true;
    status = kExitUnreachable;
    why = remote.connections().lostMessage();
    return false;
}

// The sums after the run, and what was left unequal; beyond update (where
// what only the target has stays by design) each path with why, folders too.
void WriteAfterwards(const RunResult& result, bool named, std::ostream& out) {
    out << Tr("Quelle: ") << ResultRows::SummaryText(result.sourceAfter) << '\n'
        << Tr("Ziel:   ") << ResultRows::SummaryText(result.targetAfter) << '\n';
    const auto n = static_cast<uint64_t>(
        std::count_if(result.unequal.begin(), result.unequal.end(), [](const NamedFile& f) { return !f.folder; }));
    if (n > 0) out << Format(TrN("Ungleich geblieben: %d Datei.\n", "Ungleich geblieben: %d Dateien.\n", n), n);
    if (!named) return;
    for (const NamedFile& file : result.unequal) out << "  " << DisplayEscaped(file.path) << ": " << DisplayEscaped(file.reason) << '\n';
}

}  // namespace

int ExitStatusOf(RunEnd end) {
    switch (end) {
    case RunEnd::InLine: return kExitEqual;
    case RunEnd::LeftUnequal: return kExitUnequal;
    case RunEnd::Unusable: return kExitUsage;
    case RunEnd::Unreachable: return kExitUnreachable;
    case RunEnd::NotAllDone: return kExitUnreadable;
    case RunEnd::Interrupted: return kExitInterrupted;
    }
    return kExitUnreadable;
}

int RunSync(const SyncOptions& options, std::istream& in, std::ostream& out, std::ostream& err, bool interactive,
            bool showProgress, RunResult* report) {
    if (!options.dryRun && !options.yes && !interactive) {
        err << Prefix(options) << Tr("Ohne Terminal kann nicht gefragt werden; mit --yes wird ohne Fragen "
               "abgeglichen, mit --dry-run nur gezeigt, was geschähe.\n");
        return kExitUsage;
    }
    CliRemoteRoots remote(options.acceptNewHostKey);
    std::string unreachable;
    if (const int status = remote.Open(options.command, options.source, options.target, err, &unreachable)) {
        if (report) report->refusal = unreachable;
        return status;
    }
    std::unique_ptr<OperationLog> log;
    if (options.useLog && !options.dryRun) log = std::make_unique<OperationLog>();
    SyncUseCase sync(RequestOf(options), remote.connections(), log.get());
    const RunResult& result = sync.result();
    std::string said;  // what ended the run early, for the reports
    const auto done = [&](int status) {
        if (report) {
            *report = result;
            if (status == kExitInterrupted) report->end = RunEnd::Interrupted;
            if (status == kExitUnreachable) report->end = std::max(report->end, RunEnd::Unreachable);
            if (said.empty() || said == report->refusal) return status;
            if (report->compared || report->refused()) report->notes.push_back(said);
            else report->refusal = said;
        }
        return status;
    };
    TerminalQuestions questions(options.yes, Prefix(options), in, out, err);
    if (!sync.Open(remote.source(), remote.target())) {
        Say(err, options, result.refusal);
        return done(ExitStatusOf(result.end));
    }
    // A missing root counts as empty; it is made when something is copied into it.
    for (const Root* root : {&sync.source(), &sync.target()})
        if (root->state() == Root::State::Missing && (options.dryRun || options.yes))
            err << Prefix(options) << Tr("Hinweis: ") << (root == &sync.source() ? Tr("Die Quelle") : Tr("Das Ziel")) << " \""
                << DisplayEscaped(root->text())
                << Tr("\" existiert nicht und wird als leer verglichen; beim Kopieren wird der Ordner angelegt.\n");
    if (const StoreError error = sync.LoadState(&questions)) {
        said = error.message;
        if (error.kind == StoreError::Kind::Busy) {
            Say(err, options, error.message);
        } else {
            err << Prefix(options) << DisplayEscaped(error.message)
                << (error.kind == StoreError::Kind::NotMounted ? "\n"
                    : error.kind == StoreError::Kind::OtherDisk
                        ? Tr(" Mit --forget-state beginnt der Abgleich dieser Ordner mit diesem Datenträger von vorn.\n")
                        : Tr(" Abgeglichen wird nicht: ohne den Stand des letzten Abgleichs kämen gelöschte Dateien "
                             "zurück. Mit --forget-state beginnt der Abgleich dieser Ordner von vorn.\n"));
        }
        return done(kExitUnreadable);
    }
    if (options.forgetState && !options.dryRun && options.mode != SyncMode::Update)
        Say(err, options, Tr("Hinweis: Der Stand des letzten Abgleichs ist vergessen; dieser Lauf gleicht ab wie der erste (wie "
                    "update), dann wird der Stand neu festgehalten."));

    int status = kExitEqual;
    // Comparing by content: the hashes read before, and those read now, kept for the pair.
    const auto memory = RememberedContent(options.compareBy, sync.source(), sync.target());
    TreeMatcher first;  // the comparison before the run; afterwards as well when nothing was done
    if (!Compare(first, sync, remote, memory.get(), options, showProgress, err, status, unreachable)) {
        said = unreachable;
        return done(status);
    }
    // What could not be read is left out of the plan.
    const bool unreadBefore = ReportUnknownPlaces(options.command, first, err) > 0;
    sync.Decide(first);
    std::string conflicts;
    AppendConflicts(conflicts, result.conflicts);
    if (!conflicts.empty()) conflicts.erase(0, 1);  // without the blank line before

    if (options.dryRun) {
        WritePlannedWork(result.work, options.toTarget, options.toSource, out);
        if (const GuardReport guards = sync.session().Guards(); guards.needsConfirmation())
            out << Tr("Vor dem Abgleich würde gefragt (mit --yes abgelehnt):\n") << sync.session().GuardText(guards) << '\n';
        out << conflicts;
        out.flush();
        if (!out) {
            err << Prefix(options) << Tr("Die Ausgabe konnte nicht geschrieben werden.\n");
            return done(kExitUsage);
        }
        return done(ExitStatusOf(sync.PlanEnd(options.yes)));
    }
    out << conflicts << std::flush;
    {
        TerminalFileOperationUi terminal(in, out, err, showProgress);  // its progress line ends with it
        UnattendedUi unattended(terminal, Prefix(options), err);
        InterruptGuard interrupt(terminal);
        LocalFileOperationService service(options.yes ? static_cast<FileOperationUi&>(unattended) : terminal, log.get(),
                                          remote.connections());
        sync.Run(questions, service);
    }
    for (const std::string& note : result.notes) Say(err, options, note);
    if (result.refused()) {
        Say(err, options, result.refusal);
        if (sync.guardRefused())
            err << Prefix(options) << Tr("Nicht abgeglichen, nichts wurde geändert")
                << (options.yes ? Tr("; --max-delete=ANZAHL oder =ANTEIL% erlaubt so viele Löschungen.\n") : ".\n");
        return done(ExitStatusOf(result.end));
    }
    WriteSyncOutcome(result, out);

    // What the trees hold now: the first comparison where nothing was handed
    // to the service; else that comparison with what the run touched looked
    // at again, or, where that cannot tell, both trees compared again.
    TreeMatcher second;
    const TreeMatcher* after = &first;
    if (result.acted() && !sync.LookAgain(first)) {
        first.Clear();
        if (!Compare(second, sync, remote, memory.get(), options, showProgress, err, status, unreachable)) {
            said = unreachable;
            return done(status);
        }
        // Named once, before the copying; afterwards only what is still unread counts.
        if (!unreadBefore) ReportUnknownPlaces(options.command, second, err);
        after = &second;
    }
    const size_t notesBefore = result.notes.size();
    sync.Finish(after);
    for (size_t i = notesBefore; i < result.notes.size(); ++i) Say(err, options, result.notes[i]);
    WriteAfterwards(result, options.mode != SyncMode::Update, out);
    out.flush();
    if (!out) {
        err << Prefix(options) << Tr("Die Ausgabe konnte nicht geschrieben werden.\n");
        return done(kExitUsage);
    }
    if (result.end == RunEnd::NotAllDone) err << Prefix(options) << Tr("Nicht alles lesbar; die Bäume sind nicht sicher gleich.\n");
    return done(ExitStatusOf(result.end));
}

}  // namespace kirvo
