#include "cli/job_options.h"
#include "fileops/terminal_text.h"

#include <filesystem>

#include "app/job_store.h"
#include "platform/root.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

std::string Absolute(const std::string& path) {
    // An address stays as it is (one that is no valid one is refused with the job).
    if (const std::optional<Root> root = Root::Parse(path); !root || root->remote()) return path;
    std::error_code ec;
    std::string text = std::filesystem::absolute(path, ec).lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return ec ? path : text;
}

}  // namespace

bool JobFromArguments(const std::string& name, std::span<const std::string> args, Job& job, std::string& error) {
    if (!Job::IsValidName(name)) {
        error = Job::InvalidNameMessage(name);
        return false;
    }
    CliArguments parsed;
    if (!parsed.Parse(args, SyncOptionSpecs())) {
        error = parsed.error();
        return false;
    }
    for (const char* runOnly : {"dry-run", "format", "forget-state"}) {
        if (parsed.Has(runOnly)) {
            error = std::string(Tr("Die Option \"--")) + runOnly + Tr("\" gehört zu \"kirvo-cli run\", nicht in einen Auftrag.");
            return false;
        }
    }
    SyncOptions options;
    if (!ParseSyncOptions(args, options, error)) return false;
    Job made;
    made.name = name;
    made.source = Absolute(options.source);
    made.target = Absolute(options.target);
    made.mode = options.mode;
    if (const auto limit = parsed.Value("max-delete")) made.maxDelete = *limit;
    made.direction = options.toTarget && options.toSource ? Job::Direction::Both
                     : options.toTarget                    ? Job::Direction::ToTarget
                                                           : Job::Direction::ToSource;
    made.compareBy = options.compareBy;
    made.links = options.links;
    made.ignoreHour = options.ignoreHour;
    made.twoSecondTolerance = options.twoSecondTolerance;
    made.excludeSubFolders = options.excludeSubFolders;
    made.excludeSystemFolders = options.excludeSystemFolders;
    made.parallel = options.parallel;
    made.include = parsed.Values("include");
    made.exclude = parsed.Values("exclude");
    for (const std::string& file : parsed.Values("filter-from")) made.filterFrom.push_back(Absolute(file));
    made.useTrash = options.useTrash;
    made.useLog = options.useLog;
    made.verify = options.verify;
    made.acceptNewHostKey = options.acceptNewHostKey;
    job = std::move(made);
    return true;
}

bool LoadJob(const CliCommand& command, const std::string& name, Job& job, std::ostream& err) {
    std::string error;
    std::vector<std::string> warnings;
    const bool loaded = JobStore().Load(name, job, error, warnings);
    for (const std::string& warning : warnings) err << "kirvo-cli " << command.name << ": " << Tr("Hinweis: ") << DisplayEscaped(warning) << '\n';
    if (!loaded) err << "kirvo-cli " << command.name << ": " << DisplayEscaped(error) << '\n';
    return loaded;
}

bool OneJobName(const CliCommand& command, const CliArguments& parsed, std::ostream& err, int& status) {
    if (parsed.operands().size() == 1) return true;
    status = ReportUsageError(command, parsed.operands().empty() ? Tr("Es fehlt der Name des Auftrags.") : Tr("Zu viele Argumente."),
                              err);
    return false;
}

bool SyncOptionsOfJob(const Job& job, SyncOptions& options, std::string& error) {
    SyncOptions made;
    made.mode = job.mode;
    if (!job.maxDelete.empty()) made.maxDelete = DeleteLimit::Parse(job.maxDelete, &error);
    if (!job.maxDelete.empty() && !made.maxDelete) return false;
    made.toTarget = job.direction != Job::Direction::ToSource;
    made.toSource = job.direction != Job::Direction::ToTarget;
    made.yes = true;
    made.excludeSubFolders = job.excludeSubFolders;
    made.excludeSystemFolders = job.excludeSystemFolders;
    made.twoSecondTolerance = job.twoSecondTolerance;
    made.ignoreHour = job.ignoreHour;
    made.compareBy = job.compareBy;
    made.links = job.links;
    made.parallel = job.parallel;
    made.acceptNewHostKey = job.acceptNewHostKey;
    made.useTrash = job.useTrash;
    made.useLog = job.useLog;
    made.verify = job.verify;
    made.source = job.source;
    made.target = job.target;
    if (!job.MakePathFilter(made.pathFilter, error)) return false;
    options = std::move(made);
    return true;
}

}  // namespace kirvo
