#pragma once
#include <ostream>
#include <string>

#include <functional>

#include "engine/content_progress.h"
#include "engine/run_options.h"
#include "engine/scan_progress.h"
#include "platform/root.h"

namespace kirvo {

class TreeMatcher;

// A comparison run from the terminal: while it scans, a progress line on err
// (files per side and the rate, rewritten in place) when showProgress, and
// while it reads contents (comparing by content) another (bytes read of the
// total and the rate); Ctrl+C stops it cleanly. The line is gone when the
// run returns.
class TerminalScan {
public:
    // Ctrl+C is caught from construction to destruction: it stops a running
    // scan, and Interrupted() tells the output loops to stop at a line's end.
    TerminalScan();
    ~TerminalScan();
    TerminalScan(const TerminalScan&) = delete;
    TerminalScan& operator=(const TerminalScan&) = delete;

    // Runs the comparison (once per object); false when Ctrl+C stopped it
    // (the engine is then empty, or holds the comparison by time when the
    // contents were being read).
    bool Run(TreeMatcher& matcher, const Root& source, const Root& target, RunOptions options,
             bool showProgress, std::ostream& err);

    // Work on one tree (a snapshot being saved), handed this object's
    // progress: the line shows the files found, then, once bytes are to be
    // read, the bytes read. False when Ctrl+C stopped it.
    bool RunOneTree(const std::function<void(ScanProgress&, ContentProgress&)>& work, bool showProgress,
                    std::ostream& err);

    // Whether Ctrl+C came while a TerminalScan was alive.
    static bool Interrupted();

    // "Quelle: 1.234 Dateien, Ziel: 1.200 Dateien (812 Dateien/s)".
    static std::string ProgressText(int64_t sourceFiles, int64_t targetFiles, double seconds);
    // "Inhalte: 12.3 MB von 45.6 MB (120.0 MB/s)".
    static std::string ContentText(int64_t bytesDone, int64_t bytesTotal, double seconds);

private:
    // Runs work, with text() as the progress line on err every quarter second when shown.
    static void WithProgressLine(const std::function<void()>& work, const std::function<std::string(double)>& text,
                                 bool shown, std::ostream& err);

    ScanProgress progress_;  // both live as long as the handler that may stop them
    ContentProgress contentProgress_;
};

}  // namespace kirvo
