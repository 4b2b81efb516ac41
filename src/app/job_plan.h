#pragma once
#include <optional>
#include <string>

#include "app/job.h"
#include "sync/delete_limit.h"
#include "sync/sync_mode.h"
#include "sync/sync_work.h"

namespace kirvo {

// A job run in the window ("Aufträge" › "Ausführen"): what of the job the
// window's comparison and "Dateien abgleichen" take over while the roots
// compared are the job's, beyond the settings "Öffnen" loads. The window's
// own "Abgleichen als" stays as the user set it.
struct JobPlan {
    std::string name;
    std::string source;  // the roots' locations
    std::string target;
    SyncMode mode = SyncMode::Update;
    ChangedSides sides;                // the job's direction
    std::optional<DeleteLimit> limit;  // its --max-delete
    Job job;                           // for its run's turn and its last run (JobRun)

    // False with a German message when the job's limit cannot be read.
    static bool Of(const Job& job, JobPlan& plan, std::string& error);
    bool Covers(const std::string& sourceLocation, const std::string& targetLocation) const {
        return sourceLocation == source && targetLocation == target;
    }
};

}  // namespace kirvo
