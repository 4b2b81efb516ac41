#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/file_stamp.h"
#include "fileops/run_counts.h"

namespace kirvo {

// One line of the log that belongs to a run, its fields as OperationLog wrote them.
struct LoggedLine {
    std::string time;
    std::string action;
    std::string source;
    std::string destination;
    std::optional<uint64_t> size;
    std::string result;
    std::string run;
    std::string trash;      // the trash folder, for a file put there
    std::string trashName;  // its name in the trash's "files"
    std::optional<FileStamp> after;
    std::optional<FileStamp> before;

    bool ok() const;
    // Whether undo has what it needs to take this line back.
    bool undoable() const;
};

// A run as the log tells it.
struct LoggedRun {
    std::string id;
    std::string time;  // when it began
    std::string what;  // the command
    std::string sourceRoot;
    std::string targetRoot;
    std::string undoes;  // an undo: the id of the run it takes back
    RunCounts counts;
    bool started = false;   // its first line (with the roots) was read
    bool ended = false;     // its last line was written
    bool cancelled = false;  // it was stopped before its end
    bool undoable = false;  // it has lines that undo can take back
    // An undo that ran to its end without leaving anything: the run it took
    // back is as before it.
    bool complete() const { return ended && !cancelled && counts.skipped() == 0 && counts.failed() == 0; }
    // The undo that took this run back entirely, unless that one was undone in turn.
    std::string undoneBy;
};

// Reads the log for undo. Lines that are not of a run (older lines, the
// header), lines cut short by a crash and anything else that is not a whole
// line of ours are passed over.
class RunLog {
public:
    // The runs in the order they began. A missing log has none; false when
    // the log cannot be read (error says why, in German).
    static bool ReadRuns(const std::string& path, std::vector<LoggedRun>& runs, std::string& error);
    // The lines of one run, in the order they were written.
    static bool ReadLines(const std::string& path, std::string_view run, std::vector<LoggedLine>& lines,
                          std::string& error);
    // One line without its line feed; false when it is none of a run.
    static bool Parse(std::string_view text, LoggedLine& line);
    // Whether text has the form of a run's id ("20261208T031522-4f3a").
    static bool IsRunId(std::string_view text);

    // The run "undo" without an id takes: the latest that can be undone, is
    // no undo itself and was not undone; null when there is none.
    static const LoggedRun* LastUndoable(const std::vector<LoggedRun>& runs);
    static const LoggedRun* Find(const std::vector<LoggedRun>& runs, std::string_view id);
};

}  // namespace kirvo
