#pragma once

namespace kirvo {

// An unattended run or watch is stopped by Ctrl+C and by SIGTERM (what
// "systemctl stop" and the end of a session send) alike. While an object
// lives: SIGTERM is turned into SIGINT, so whatever catches Ctrl+C at that
// moment (the scan, the copying) stops as it does for Ctrl+C; a SIGINT that
// nothing else catches marks the stop. Blocking calls return with EINTR.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // A stop was asked for while nothing else caught it, or by SIGTERM.
    static bool Requested();
    // Readable once a stop was asked for (for poll()).
    static int WakeFd();
};

}  // namespace kirvo
