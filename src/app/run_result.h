#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/unknown_place.h"
#include "fileops/file_operation_service.h"
#include "fileops/run_counts.h"
#include "sync/sync_work.h"
#include "view/result_rows.h"

namespace kirvo {

class SyncSession;
class TreeMatcher;

// A file a run names, with why: a conflict left as it is, a file left unequal.
struct NamedFile {
    std::string path;     // relative to its root (a folder's ends in the separator)
    std::string reason;   // German
    bool folder = false;  // a folder on one side only (mirror, two-way)
};

// How a run ended, for the commands to make their exit status of.
enum class RunEnd : uint8_t {
    InLine,       // the trees are in line (a dry run: there is nothing to do)
    LeftUnequal,  // something was left unequal: declined, skipped, failed, a conflict
    Unusable,     // a root is no folder, or one lies inside the other: nothing can be brought into line
    Unreachable,  // another machine could not be reached, or its connection broke off
    NotAllDone,   // not everything was read or done: an unknown place, a root not made, a refusal, ...
    Interrupted,  // stopped (Ctrl+C, SIGTERM, "Abbrechen") before anything was changed
};

// What one run of a command did, from its parsed roots to its recorded
// state: the one value that the window's status bar, the undo question's
// counts (through the log, counted the same way), kirvo-cli's text and
// JSON, a job's line and its notification are all read from.
struct RunResult {
    // One request the run made of the file-operation service, and its report.
    enum class Request : uint8_t { Copy, Delete, Move, RemoveFolders, MakeFolders };
    struct Done {
        Request kind;
        TreeSide side;  // where it changed things (a copy: the side copied into); None: both
        OperationResult result;
        std::vector<bool> folders;  // a move: which of its files are folders (none: no folder)
    };

    bool compared = false;  // the comparison before the work finished
    SyncWork work;          // what was planned (the sides that may change only)
    std::vector<NamedFile> conflicts;
    std::vector<UnknownPlace> unknownPlaces;
    std::string refusal;              // why nothing was done, German; "" when the run went ahead
    std::vector<std::string> notes;   // what else is to be said: a root not made, a state not recorded
    std::vector<Done> done;           // in the order made
    std::string runId;                // the run in the log; "" without a log or when nothing was done
    bool comparedAfter = false;       // the comparison after the work finished
    SideTotals sourceAfter, targetAfter;
    std::vector<NamedFile> unequal;   // left unequal afterwards, with why
    RunEnd end = RunEnd::InLine;

    void Add(Request kind, TreeSide side, OperationResult result, std::vector<bool> folders = {});
    // The report of a request; null when it was not made.
    const OperationResult* Find(Request kind, TreeSide side) const;
    bool acted() const { return !done.empty(); }
    bool refused() const { return !refusal.empty(); }
    bool cancelled() const;

    // Per action, counted as the log counts a run's lines ("kopiert",
    // "ersetzt", "in den Papierkorb", ...): a replacement is one file.
    RunCounts Counts() const;
    // Files of every request with that outcome; copies that were not done (cancelled).
    int32_t Count(FileOutcome outcome) const;
    uint64_t BytesCopied() const;

    // Planned: the conflicts and unknown places of a comparison and its plan.
    void Planned(const SyncSession& session, const TreeMatcher& matcher);
    // Afterwards: the totals, and every path the session finds left unequal, with why.
    void Afterwards(const SyncSession& session, const TreeMatcher& matcher);

    // "2 kopiert, 1 ersetzt, 2 Ordner angelegt, 1 Konflikt („g.txt“)": what
    // was done (in the log's words) and what wants a look; "nichts zu tun"
    // when there was nothing, "nichts getan" when nothing was done.
    std::string Summary() const;
    // What of it wants a look ("1 Konflikt („g.txt“), 2 fehlgeschlagen"); "" for nothing.
    std::string Problems() const;
};

}  // namespace kirvo
