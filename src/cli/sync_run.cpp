#include "cli/sync_run.h"

#include <algorithm>
#include <csignal>
#include <iostream>
#include <memory>
#include <vector>

#include "cli/pair_access.h"
#include "cli/remote_roots.h"
#include "cli/sync_command.h"
#include "cli/sync_report.h"
#include "cli/sync_work_text.h"
#include "cli/terminal_scan.h"
#include "cli/unattended_ui.h"
#include "engine/tree_matcher.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/nested_roots.h"
#include "fileops/operation_log.h"
#include "fileops/terminal_file_operation_ui.h"
#include "fileops/terminal_text.h"
#include "platform/root_access.h"
#include "sync/pair_content_memory.h"
#include "sync/sync_session.h"
#include "view/display_filter.h"
#include "view/result_rows.h"
#include "platform/snapshot/snapshot_backend.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

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

}  // namespace

int RunSync(const SyncOptions& options, std::istream& in, std::ostream& out, std::ostream& err, bool interactive,
            bool showProgress, SyncReport* report) {
    for (const std::string* root : {&options.source, &options.target}) {
        if (!Root::NamesSnapshot(*root)) continue;
        err << Tr("kirvo-cli sync: ") << DisplayEscaped(SnapshotRefusal(*root)) << '\n';
        return kExitUsage;
    }
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
    const auto memory = RememberedContent(options.compareBy, options.source, options.target);
    run.contentMemory = memory.get();

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
                    << (error.kind == StoreError::Kind::NotMounted ? "\n"
                        : error.kind == StoreError::Kind::OtherDisk
                            ? Tr(" Mit --forget-state beginnt der Abgleich dieser Ordner mit diesem Datenträger von vorn.\n")
                            : Tr(" Abgeglichen wird nicht: ohne den Stand des letzten Abgleichs kämen gelöschte Dateien "
                                 "zurück. Mit --forget-state beginnt der Abgleich dieser Ordner von vorn.\n"));
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
        CopyFlags copyFlags{!options.yes, false, options.useTrash, options.links};
        copyFlags.verify = options.verify;
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
                       outcome.foldersInSource || outcome.foldersInTarget || outcome.newFoldersInSource ||
                       outcome.newFoldersInTarget;
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
    // Beyond update, two files of different size are never equal, and each
    // path left unequal (folders too) is named with its reason.
    const std::vector<UnequalPair> left = session.Unequal(matcher);
    const auto unequal = static_cast<int32_t>(
        std::count_if(left.begin(), left.end(), [](const UnequalPair& u) { return u.pair != SIZE_MAX; }));
    if (report) report->Afterwards(rows, unequal);
    if (unequal > 0)
        out << Format(TrN("Ungleich geblieben: %d Dateien.\n", "Ungleich geblieben: %d Dateien.\n", static_cast<uint64_t>(unequal)),
                      unequal);
    if (settings.mode != SyncMode::Update)
        for (const UnequalPair& u : left) out << "  " << DisplayEscaped(u.path) << ": " << u.reason << '\n';
    out.flush();
    if (!out) {
        err << Tr("kirvo-cli sync: Die Ausgabe konnte nicht geschrieben werden.\n");
        return kExitUsage;
    }
    if (unread) {
        err << Tr("kirvo-cli sync: Nicht alles lesbar; die Bäume sind nicht sicher gleich.\n");
        return kExitUnreadable;
    }
    return !left.empty() || conflicted ? kExitUnequal : kExitEqual;
}

}  // namespace kirvo
