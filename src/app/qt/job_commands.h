#pragma once
#include <QString>

namespace kirvo {

class CMainFrame;
struct Job;

// The window's part in jobs: Extras › "Auftrag speichern..." and "Aufträge...",
// and "kirvo --job NAME".
class JobCommands {
public:
    // Asks for a name and saves the two paths and the settings as a job.
    static void SaveJob(CMainFrame& frame);
    // The list of jobs; the one opened there is compared at once.
    static void ShowJobs(CMainFrame& frame);
    // Fills both fields and the settings from the saved job; false with the
    // message when it cannot be read. Does not compare.
    static bool OpenJob(CMainFrame& frame, const QString& name, QString& error);
    // The same for a job at hand; without `mode` the window's mode stays.
    static bool ApplyJob(CMainFrame& frame, const Job& job, QString& error, bool mode = true);
    // "Ausführen": the job's folders and settings into the window, compared
    // with its mode, direction and deletion limit; the list shows its plan
    // and "Dateien abgleichen" runs it, asking as always. The window's
    // "Abgleichen als" stays.
    static bool RunJob(CMainFrame& frame, const QString& name, QString& error);
};

}  // namespace kirvo
