#pragma once
#include <ostream>
#include <string>

#include "engine/run_options.h"
#include "engine/scan_progress.h"

namespace kirvo {

class TreeMatcher;

// A comparison run from the terminal: while it scans, a progress line on err
// (files per side and the rate, rewritten in place) when showProgress, and
// Ctrl+C stops it cleanly. The line is gone when the run returns.
class TerminalScan {
public:
    // Ctrl+C is caught from construction to destruction: it stops a running
    // scan, and Interrupted() tells the output loops to stop at a line's end.
    TerminalScan();
    ~TerminalScan();
    TerminalScan(const TerminalScan&) = delete;
    TerminalScan& operator=(const TerminalScan&) = delete;

    // Runs the comparison (once per object); false when Ctrl+C stopped it
    // (the engine is then empty).
    bool Run(TreeMatcher& matcher, std::string& source, std::string& target, RunOptions options,
             bool showProgress, std::ostream& err);

    // Whether Ctrl+C came while a TerminalScan was alive.
    static bool Interrupted();

    // "Quelle: 1.234 Dateien, Ziel: 1.200 Dateien (812 Dateien/s)".
    static std::string ProgressText(int64_t sourceFiles, int64_t targetFiles, double seconds);

private:
    ScanProgress progress_;  // lives as long as the handler that may stop it
};

}  // namespace kirvo
