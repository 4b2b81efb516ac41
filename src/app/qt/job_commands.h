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
    // The same for a job at hand.
    static bool ApplyJob(CMainFrame& frame, const Job& job, QString& error);
};

}  // namespace kirvo
