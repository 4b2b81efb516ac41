#include "app/job_settings.h"
#include "platform/translation.h"

namespace kirvo {

Job JobSettings::FromWindow(const std::string& name, const std::string& source, const std::string& target,
                            const AppOptions& options, const PathFilter& filter) {
    Job job;
    job.name = name;
    job.source = source;
    job.target = target;
    job.mode = options.syncMode();
    // The window's mirror makes the target the copy.
    if (job.mode == SyncMode::Mirror) job.direction = Job::Direction::ToTarget;
    job.compareBy = options.compareBy();
    job.links = options.links();
    job.ignoreHour = options.stunde();
    job.twoSecondTolerance = options.oneSecond();
    job.excludeSubFolders = options.subOrdner();
    job.excludeSystemFolders = options.systemOrdner();
    job.parallel = options.parallel();
    if (filter.includePatterns() != std::vector<std::string>{"*"}) job.include = filter.includePatterns();
    job.exclude = filter.excludePatterns();
    job.useTrash = options.papierkorb();
    job.verify = options.pruefen();
    return job;
}

bool JobSettings::ToWindow(const Job& job, AppOptions& options, PathFilter& filter, std::string& error, bool mode) {
    if (mode && job.mode == SyncMode::Mirror && job.direction == Job::Direction::ToSource) {
        error = Format(Tr("Der Auftrag „%1$s“ spiegelt das Ziel in die Quelle; das Fenster spiegelt nur in das Ziel. "
                          "Ausführen lässt er sich mit „kirvo-cli run %1$s“."),
                       job.name);
        return false;
    }
    PathFilter made;
    if (!job.MakePathFilter(made, error)) return false;
    filter = std::move(made);
    if (mode) options.setSyncMode(job.mode);
    options.setCompareBy(job.compareBy);
    options.setLinks(job.links);
    options.set(Option::Stunde, job.ignoreHour ? 1 : 0);
    options.set(Option::OneSecond, job.twoSecondTolerance ? 1 : 0);
    options.set(Option::SubOrdner, job.excludeSubFolders ? 1 : 0);
    options.set(Option::SystemOrdner, job.excludeSystemFolders ? 1 : 0);
    options.set(Option::Papierkorb, job.useTrash ? 1 : 0);
    // A job that checks its copies checks them here too; one that does not
    // leaves the window's own choice (checking more never harms).
    if (job.verify) options.set(Option::Pruefen, 1);
    options.setParallel(job.parallel);
    return true;
}

}  // namespace kirvo
