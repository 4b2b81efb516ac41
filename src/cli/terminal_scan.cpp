#include "cli/terminal_scan.h"

#include <csignal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "engine/scan_progress.h"
#include "engine/tree_matcher.h"
#include "view/value_format.h"
#include "platform/translation.h"
#include "platform/value_text.h"

namespace kirvo {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;
std::atomic<ScanProgress*> gRunning{nullptr};
std::atomic<ContentProgress*> gReading{nullptr};
static_assert(std::atomic<ScanProgress*>::is_always_lock_free && std::atomic<ContentProgress*>::is_always_lock_free &&
                  std::atomic<bool>::is_always_lock_free,
              "used from a signal handler");

extern "C" void OnCtrlC(int) {
    gInterrupted = 1;
    if (ScanProgress* progress = gRunning.load()) progress->RequestStop();
    if (ContentProgress* reading = gReading.load()) reading->RequestStop();
}

struct sigaction gPrevious {};

}  // namespace

TerminalScan::TerminalScan() {
    gInterrupted = 0;
    gRunning = &progress_;
    gReading = &contentProgress_;
    struct sigaction action {};
    action.sa_handler = OnCtrlC;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &gPrevious);
}

TerminalScan::~TerminalScan() {
    sigaction(SIGINT, &gPrevious, nullptr);
    gRunning = nullptr;
    gReading = nullptr;
}

bool TerminalScan::Interrupted() { return gInterrupted != 0; }

std::string TerminalScan::ProgressText(int64_t sourceFiles, int64_t targetFiles, double seconds) {
    const double rate = seconds > 0 ? static_cast<double>(sourceFiles + targetFiles) / seconds : 0;
    const auto count = [](int64_t n) { return CountText(static_cast<uint64_t>(n < 0 ? 0 : n)); };
    return Tr("Quelle: ") + count(sourceFiles) + Tr(" Dateien, Ziel: ") + count(targetFiles) + Tr(" Dateien (") +
           count(static_cast<int64_t>(rate)) + Tr(" Dateien/s)");
}

std::string TerminalScan::ContentText(int64_t bytesDone, int64_t bytesTotal, double seconds) {
    const double rate = seconds > 0 ? static_cast<double>(bytesDone) / seconds : 0;
    return Format(Tr("Inhalte: %s von %s (%s/s)"), FormatTotalSize(static_cast<double>(bytesDone)),
                  FormatTotalSize(static_cast<double>(bytesTotal)), FormatTotalSize(rate));
}

void TerminalScan::WithProgressLine(const std::function<void()>& work, const std::function<std::string(double)>& text,
                                    bool shown, std::ostream& err) {
    std::mutex mutex;
    std::condition_variable wake;
    bool running = true;
    std::thread line;
    if (shown) {
        try {
            line = std::thread([&] {
            const auto start = std::chrono::steady_clock::now();
            std::unique_lock lock(mutex);
            bool written = false;
            while (!wake.wait_for(lock, std::chrono::milliseconds(250), [&] { return !running; })) {
                const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                err << '\r' << text(seconds) << "\033[K" << std::flush;
                written = true;
            }
            if (written) err << "\r\033[K" << std::flush;
            });
        } catch (const std::system_error&) {
            // No thread for it (ulimit -u): the work goes on without a progress line.
        }
    }
    work();
    {
        const std::lock_guard lock(mutex);
        running = false;
    }
    wake.notify_one();
    if (line.joinable()) line.join();
}

bool TerminalScan::Run(TreeMatcher& matcher, const Root& source, const Root& target, RunOptions options,
                       bool showProgress, std::ostream& err) {
    ScanProgress& progress = progress_;
    ContentProgress& reading = contentProgress_;
    options.progress = &progress;
    options.contentProgress = &reading;
    options.deferContents = true;  // read below, with a line of its own
    if (gInterrupted) progress.RequestStop();
    WithProgressLine([&] { matcher.Run(source, target, options); },
                     [&](double seconds) {
                         return ProgressText(progress.files(kSourceSide), progress.files(kTargetSide), seconds);
                     },
                     showProgress, err);
    if (progress.stopRequested()) return false;
    matcher.ReleaseEntryTable();  // the commands read the pairs alone
    bool complete = true;
    WithProgressLine([&] { complete = matcher.CompareContents(); },
                     [&](double seconds) { return ContentText(reading.bytesDone(), reading.bytesTotal(), seconds); },
                     showProgress && options.compareBy == CompareBy::Content, err);
    return complete && !gInterrupted;
}

bool TerminalScan::RunOneTree(const std::function<void(ScanProgress&, ContentProgress&)>& work, bool showProgress,
                              std::ostream& err) {
    if (gInterrupted) progress_.RequestStop();
    WithProgressLine([&] { work(progress_, contentProgress_); },
                     [&](double seconds) {
                         if (contentProgress_.bytesTotal() > 0)
                             return ContentText(contentProgress_.bytesDone(), contentProgress_.bytesTotal(), seconds);
                         const int64_t files = progress_.files(kSourceSide);
                         const double rate = seconds > 0 ? static_cast<double>(files) / seconds : 0;
                         return CountText(static_cast<uint64_t>(files)) + Tr(" Dateien (") +
                                CountText(static_cast<uint64_t>(rate)) + Tr(" Dateien/s)");
                     },
                     showProgress, err);
    return !gInterrupted;
}

}  // namespace kirvo
