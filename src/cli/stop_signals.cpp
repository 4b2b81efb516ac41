#include "cli/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace kirvo {
namespace {

volatile std::sig_atomic_t gStop = 0;
int gDepth = 0;  // a run inside a watch shares the watch's
int gWake[2] = {-1, -1};
struct sigaction gPreviousInt {};
struct sigaction gPreviousTerm {};

void Wake() {
    const int saved = errno;
    if (gWake[1] >= 0) (void)!write(gWake[1], "x", 1);
    errno = saved;
}

extern "C" void OnStopInterrupt(int) {
    gStop = 1;
    Wake();
}

extern "C" void OnTerminate(int) {
    gStop = 1;
    Wake();
    raise(SIGINT);  // to whoever catches Ctrl+C now
}

void Install(int signal, void (*handler)(int), struct sigaction* previous) {
    struct sigaction action {};
    action.sa_handler = handler;  // no SA_RESTART: waits end with EINTR
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, previous);
}

}  // namespace

StopSignals::StopSignals() {
    if (gDepth++ > 0) return;
    gStop = 0;
    if (gWake[0] < 0 && pipe2(gWake, O_CLOEXEC | O_NONBLOCK) != 0) gWake[0] = gWake[1] = -1;
    Install(SIGINT, OnStopInterrupt, &gPreviousInt);
    Install(SIGTERM, OnTerminate, &gPreviousTerm);
}

StopSignals::~StopSignals() {
    if (--gDepth > 0) return;
    sigaction(SIGTERM, &gPreviousTerm, nullptr);
    sigaction(SIGINT, &gPreviousInt, nullptr);
}

bool StopSignals::Requested() { return gStop != 0; }

int StopSignals::WakeFd() { return gWake[0]; }

}  // namespace kirvo
