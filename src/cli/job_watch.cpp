#include "cli/job_watch.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>

#include "app/job_store.h"
#include "cli/cli_arguments.h"
#include "cli/job_options.h"
#include "cli/job_run.h"
#include "cli/stop_signals.h"
#include "fileops/terminal_text.h"
#include "fileops/operation_log.h"
#include "platform/root.h"
#include "platform/temporary_name.h"
#include "platform/trash.h"
#include "platform/tree_watcher.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

constexpr auto kSettle = seconds(2);          // a burst of changes is over after this much quiet
constexpr auto kLongestWait = seconds(30);    // ... or after this long, if it never is
constexpr auto kSafetyRun = seconds(3600);    // a run now and then even when nothing was seen
constexpr auto kRootCheck = seconds(5);       // how often a missing root is looked for
constexpr int kDefaultInterval = 600;

constexpr CliArguments::OptionSpec kOptions[] = {
    {"interval", true},
    {"help", false},
};

std::string Now() {
    const std::time_t now = std::time(nullptr);
    char text[32] = "";
    if (const std::tm* local = std::localtime(&now)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// Whether the filter lets a path take part: each folder on the way entered,
// and the file (or folder) itself listed.
bool TakesPart(const PathFilter& filter, std::string_view path) {
    bool included = filter.RootIncluded();
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string_view::npos; start = slash + 1) {
        const ScanFilter::FolderDecision decision =
            filter.Folder(path.substr(0, slash + 1), path.substr(start, slash - start), included);
        if (!decision.enter) return false;
        included = decision.included;
    }
    return start == path.size() || filter.File(path.substr(0, start), path.substr(start), included);
}

// A file made without a name (O_TMPFILE), as the system reports it until it
// is linked: "#" and its inode number. Our copies start so.
bool IsUnnamedFile(std::string_view path) {
    const std::string_view name = path.substr(path.rfind('/') + 1);
    return name.size() > 1 && name[0] == '#' &&
           std::all_of(name.begin() + 1, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// One root the watch looks at.
struct WatchedRoot {
    std::string path;
    std::vector<std::string> ownFolders;  // relative ("a/b/"): our log and the trash, when they lie inside
};

class JobWatch {
public:
    JobWatch(const Job& job, SyncOptions options, int interval, std::ostream& out, std::ostream& err)
        : job_(job), options_(std::move(options)), interval_(seconds(interval)), out_(out), err_(err),
          watcher_([this](size_t root, std::string_view folder) { return Skipped(root, folder); }) {}

    int Run();

private:
    bool Skipped(size_t root, std::string_view path) const {
        for (const std::string& own : roots_[root].ownFolders)
            if (StartsWith(path, own)) return true;
        const std::string_view top = path.substr(0, path.find('/') + 1);
        return top == ".Trash/" || StartsWith(top, ".Trash-") || !TakesPart(options_.pathFilter, path);
    }
    bool Relevant(const TreeWatcher::Change& change) const {
        if (change.path.empty()) return true;
        std::string_view name = change.path;
        if (name.back() == '/') name.remove_suffix(1);
        name = name.substr(name.rfind('/') + 1);
        return !TemporaryName::HasOurForm(name) && !Skipped(change.root, change.path);
    }
    void WatchRoots();
    bool RootsPresent();
    void TakeChanges(const std::set<std::string>* own);
    bool RunOnce(const char* reason);

    const Job& job_;
    SyncOptions options_;
    Clock::duration interval_;
    std::ostream& out_;
    std::ostream& err_;
    std::vector<WatchedRoot> roots_;
    TreeWatcher watcher_;
    bool periodic_ = false;  // a root is on another machine: runs at the interval
    std::optional<Clock::time_point> firstChange_;
    Clock::time_point lastChange_;
    Clock::time_point lastRun_;
    bool missingTold_ = false;
    std::string lastNotice_;  // a notification is not repeated run after run
};

void JobWatch::WatchRoots() {
    const std::string own[] = {std::filesystem::path(OperationLog::DefaultPath()).parent_path().string(),
                               Trash::HomeTrashPath()};
    const bool sides[] = {options_.toTarget, options_.toSource};  // copied from: the source to the target, ...
    const std::string* paths[] = {&job_.source, &job_.target};
    for (int side = 0; side < 2; ++side) {
        if (!sides[side]) continue;
        if (Job::RootOf(*paths[side]).remote()) {
            periodic_ = true;
            continue;
        }
        WatchedRoot root{*paths[side], {}};
        for (const std::string& folder : own)
            if (StartsWith(folder, root.path + "/")) root.ownFolders.push_back(folder.substr(root.path.size() + 1) + "/");
        roots_.push_back(std::move(root));
    }
    for (const WatchedRoot& root : roots_) watcher_.AddRoot(root.path);
}

// Local roots that are gone (a stick pulled out) are waited for, not run
// against; once back they are watched again.
bool JobWatch::RootsPresent() {
    bool present = true;
    for (size_t i = 0; i < roots_.size(); ++i) {
        if (watcher_.watching(i)) continue;
        // The one inspection of a root: a folder that cannot be read is not called missing.
        Root root = Root::Local(roots_[i].path);
        root.Inspect();
        if (!root.exists()) {
            if (!missingTold_ && root.state() == Root::State::Unreadable)
                err_ << Tr("kirvo-cli watch: \"") << DisplayEscaped(roots_[i].path) << Tr("\" ist nicht lesbar (")
                     << DisplayEscaped(SystemErrorText(root.error())) << Tr("); der Auftrag wartet, bis es lesbar ist.\n")
                     << std::flush;
            else if (!missingTold_)
                err_ << Tr("kirvo-cli watch: \"") << DisplayEscaped(roots_[i].path) << Tr("\" fehlt; der Auftrag wartet, bis es wieder da ist.\n")
                     << std::flush;
            missingTold_ = true;
            present = false;
            continue;
        }
        watcher_.Rewalk();
        if (!watcher_.watching(i)) present = false;
    }
    if (present && missingTold_) {
        err_ << Tr("kirvo-cli watch: Alle Ordner sind wieder da.\n") << std::flush;
        missingTold_ = false;
        if (!firstChange_) firstChange_ = lastChange_ = Clock::now() - kSettle;
    }
    return present;
}

// Reads what changed; `own` holds what the last run wrote itself, ignored.
void JobWatch::TakeChanges(const std::set<std::string>* own) {
    for (const TreeWatcher::Change& change : watcher_.Read()) {
        if (!Relevant(change)) continue;
        if (own && (own->count(roots_[change.root].path + "/" + change.path) || IsUnnamedFile(change.path))) continue;
        if (!firstChange_) firstChange_ = Clock::now();
        lastChange_ = Clock::now();
    }
    if (const std::string problem = watcher_.TakeProblem(); !problem.empty())
        err_ << Tr("kirvo-cli watch: Hinweis: ") << DisplayEscaped(problem) << Tr("; bis wieder alles überwacht ist, läuft der Auftrag ")
             << Format(Tr("außerdem alle %d Sekunden.\n"), std::chrono::duration_cast<seconds>(interval_).count())
             << std::flush;
}

// False when the watch is to end.
bool JobWatch::RunOnce(const char* reason) {
    if (!watcher_.complete()) watcher_.Rewalk();  // what was missed is watched before the run looks
    firstChange_.reset();
    lastRun_ = Clock::now();
    JobRun run(job_, false);
    std::ostringstream dropped;
    const int status = RunJob(run, JobRunRequest{false, false, false, false, &lastNotice_}, dropped, err_);
    out_ << Now() << ' ' << reason << ": " << run.SummaryLine(status) << '\n' << std::flush;
    // What the run itself wrote, and the folders it made on the way, are no change of the user's.
    std::set<std::string> own;
    for (const RunResult::Done& done : run.result().done) {
        if (done.kind != RunResult::Request::Copy) continue;
        for (const FileReport& file : done.result.files) {
            for (size_t slash = file.destination.find('/', 1); slash != std::string::npos;
                 slash = file.destination.find('/', slash + 1))
                own.insert(file.destination.substr(0, slash + 1));
            own.insert(file.destination);
        }
    }
    TakeChanges(&own);
    return status != kExitInterrupted && !run.result().cancelled() && !StopSignals::Requested();
}

int JobWatch::Run() {
    StopSignals stop;
    WatchRoots();
    err_ << Tr("kirvo-cli watch: Auftrag \"") << job_.name << "\": ";
    if (!roots_.empty()) {
        err_ << Tr("läuft nach jeder Änderung unter");
        for (const WatchedRoot& root : roots_) err_ << " " << DisplayEscaped(root.path);
    }
    if (periodic_) err_ << (roots_.empty() ? "" : Tr(", und")) << Format(Tr(" alle %d Sekunden (Ordner auf einem anderen Rechner)"),
                                  std::chrono::duration_cast<seconds>(interval_).count());
    err_ << Tr(". Strg+C beendet.\n") << std::flush;

    bool running = !RootsPresent() || RunOnce(Tr("Start"));
    while (running && !StopSignals::Requested()) {
        const Clock::time_point now = Clock::now();
        const bool repeating = periodic_ || !watcher_.complete();
        Clock::time_point next = lastRun_ + (repeating ? interval_ : kSafetyRun);
        if (firstChange_) next = std::min({next, lastChange_ + kSettle, *firstChange_ + kLongestWait});
        if (missingTold_ || !watcher_.complete()) next = std::min(next, now + kRootCheck);
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
        pollfd fds[2] = {{watcher_.fd(), POLLIN, 0}, {StopSignals::WakeFd(), POLLIN, 0}};
        poll(fds, 2, static_cast<int>(std::clamp<long long>(wait, 0, 60'000)));
        if (StopSignals::Requested()) break;
        TakeChanges(nullptr);
        if (!RootsPresent()) continue;
        const Clock::time_point at = Clock::now();
        const bool settled = firstChange_ && (at >= lastChange_ + kSettle || at >= *firstChange_ + kLongestWait);
        const bool due = at >= lastRun_ + ((periodic_ || !watcher_.complete()) ? interval_ : kSafetyRun);
        if (settled || due) running = RunOnce(settled ? Tr("Änderungen") : Tr("Intervall"));
    }
    err_ << Tr("kirvo-cli watch: beendet.\n") << std::flush;
    return kExitEqual;
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) return ReportUsageError(kWatchCommand, parsed.error(), err);
    if (parsed.Has("help")) {
        WriteCommandHelp(kWatchCommand, out);
        return kExitEqual;
    }
    int status = kExitUsage;
    if (!OneJobName(kWatchCommand, parsed, err, status)) return status;
    int interval = kDefaultInterval;
    if (const auto value = parsed.Value("interval")) {
        const bool digits = !value->empty() && value->size() <= 6 &&
                            std::all_of(value->begin(), value->end(), [](char c) { return c >= '0' && c <= '9'; });
        interval = digits ? std::stoi(*value) : 0;
        if (interval < 5)
            return ReportUsageError(kWatchCommand, Tr("Ungültiger Wert \"") + *value + Tr("\" für --interval; erlaubt sind 5 bis 999999 Sekunden."), err);
    }
    Job job;
    if (!LoadJob(kWatchCommand, parsed.operands()[0], job, err)) return kExitUsage;
    std::string error;
    SyncOptions options;
    if (!SyncOptionsOfJob(job, options, error)) {
        err << Tr("kirvo-cli watch: ") << DisplayEscaped(error) << '\n';
        return kExitUsage;
    }
    JobWatch watch(job, std::move(options), interval, out, err);
    return watch.Run();
}

}  // namespace

// The help after the synopsis, in pieces that are translated one by one.
constexpr const char* kWatchHelp[] = {
    TrNoop("Führt den Auftrag NAME aus wie \"kirvo-cli run NAME\": gleich zu Beginn, dann immer, wenn sich\n"
    "unter einem seiner Ordner etwas ändert (alle Unterordner werden überwacht, neue sobald sie\n"
    "entstehen), sobald zwei Sekunden lang nichts mehr geschieht. Was der Lauf selbst schreibt, löst\n"
    "keinen neuen aus. Ein Ordner auf einem anderen Rechner wird alle --interval Sekunden\n"
    "abgeglichen; ebenso alles, solange das System nicht jede Änderung melden kann (zu viele Ordner,\n"
    "verworfene Meldungen), was einmal gesagt wird. Sonst läuft der Auftrag außerdem stündlich.\n"
    "Fehlt ein Ordner (ein Stick, der abgezogen wurde), wartet der Auftrag, bis er wieder da ist.\n"
    "\n"
    "Je Lauf eine Zeile auf der Standardausgabe: Zeit, Anlass und Ergebnis. Strg+C und SIGTERM\n"
    "beenden den Befehl zwischen zwei Läufen mit 0; während eines Laufs halten sie ihn an wie bei\n"
    "sync und beenden dann.\n"
    "\n"
    "Optionen:\n"
    "  --interval=SEKUNDEN  wie oft abgeglichen wird, wo Änderungen nicht gemeldet werden\n"
    "                       (Vorgabe 600)\n"
    "  --help               diese Hilfe\n"
    "\n"
    "Rückgabewert: 0 beendet, 2 falscher Aufruf, unbekannter oder ungültiger Auftrag.\n"),
};

const CliCommand kWatchCommand = {
    "watch",
    TrNoop("Führt einen Auftrag bei jeder Änderung aus und läuft, bis er beendet wird."),
    TrNoop("kirvo-cli watch [--interval=SEKUNDEN] NAME"),
    kWatchHelp,
    &Run,
};

}  // namespace kirvo
