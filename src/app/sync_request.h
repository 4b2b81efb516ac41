#pragma once
#include <chrono>
#include <optional>
#include <string>

#include "engine/path_filter.h"
#include "engine/run_options.h"
#include "fileops/file_operation_service.h"
#include "sync/delete_limit.h"
#include "sync/sync_session.h"

namespace kirvo {

// What one comparison or synchronisation of two roots is asked to do, taken
// once from where it was said: the window's options, kirvo-cli's arguments,
// a job. The settings of the session and of the scan are made from it here
// and nowhere else.
struct SyncRequest {
    SyncMode mode = SyncMode::Update;
    ChangedSides sides;                // --direction; a mirror copies towards the side that may change
    std::optional<DeleteLimit> limit;  // --max-delete
    // The comparison's settings; its filter is `filter` below, its progress,
    // listers and readers the caller's.
    RunOptions scan;
    PathFilter filter;
    CopyFlags copyFlags;
    DeleteFlags deleteFlags;
    bool dryRun = false;       // decide and show, change nothing (the state is only read)
    bool forgetState = false;  // two-way: begin the pair afresh
    bool readOnly = false;     // a comparison that shows a plan: no lock, no run
    std::string runName;       // the command as the log names its run: "kirvo-cli sync", "Dateien abgleichen"
    std::string stateFolder;   // where the pairs' states are kept; "" the user's
    // Straight through (kirvo-cli, jobs): the pair's lock is taken before its
    // state is read and held until the new one is recorded, waiting this long
    // for a run that holds it. Otherwise (the window, where a list may be
    // looked at for hours) it is taken without waiting around the work alone,
    // which then checks that the state is still the one decided on.
    bool holdPairThroughout = false;
    std::chrono::milliseconds lockWait{0};

    // A mirror makes the side that may change a copy of the other.
    SyncSide mirrorFrom() const { return sides.target ? SyncSide::Source : SyncSide::Target; }
    // The session's settings: the mode, what is recorded, the guards' limit.
    SyncSettings Settings() const;
    // The engine's settings of the comparison (the filter borrowed from here;
    // with identities where the mode tells renames and replaced files by them).
    RunOptions ScanOptions() const;
};

}  // namespace kirvo
