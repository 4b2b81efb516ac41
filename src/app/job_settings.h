#pragma once
#include <string>

#include "app/app_options.h"
#include "app/job.h"
#include "engine/path_filter.h"

namespace kirvo {

// A job and the window's settings, both ways: the scan options, "+/- 2
// Sekunden", "Eine Stunde Unterschied ignorieren", "Vergleichen nach",
// "Verknüpfungen",
// "Papierkorb verwenden", "Parallel" and the filter. The window has no
// direction, mode or log setting: a job made there synchronises both ways,
// in the mode update, with a log.
class JobSettings {
public:
    static Job FromWindow(const std::string& name, const std::string& source, const std::string& target,
                          const AppOptions& options, const PathFilter& filter);
    // The job's settings into the window's; false with a German message (a
    // rule file that cannot be read), nothing changed then. Without `mode`
    // the window's mode stays (a job run in the window brings its own, JobPlan).
    static bool ToWindow(const Job& job, AppOptions& options, PathFilter& filter, std::string& error,
                         bool mode = true);
};

}  // namespace kirvo
