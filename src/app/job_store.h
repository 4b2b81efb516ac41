#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/job.h"

namespace kirvo {

// The user's saved jobs: one file NAME.job each (JobFile) in one folder,
// $XDG_CONFIG_HOME/kirvo/jobs (else ~/.config/kirvo/jobs). Every message is
// German and names the job.
class JobStore {
public:
    explicit JobStore(std::string folder = DefaultFolder()) : folder_(std::move(folder)) {}

    static std::string DefaultFolder();
    const std::string& folder() const { return folder_; }
    std::string PathOf(std::string_view name) const { return folder_ + "/" + std::string(name) + ".job"; }
    // Where runs of the job take turns: $XDG_STATE_HOME/kirvo/jobs/NAME.lock.
    static std::string LockPathOf(std::string_view name);
    // What the job's last run ended with, beside its lock: NAME.last, a line
    // "time<TAB>result" in German and, where the run had another language,
    // one in that (JobRun::End writes it).
    static std::string LastRunPathOf(std::string_view name);
    // "2026-12-08 20:41:07 – 3 kopiert – Status 0"; "" when it never ran (or
    // that cannot be read).
    static std::string LastRun(std::string_view name);

    // The names of the saved jobs, sorted; files with names no job can have
    // are passed over. Where the folder cannot be read (to its end), `error`
    // says so and the names are those read until then.
    std::vector<std::string> Names(std::string* error = nullptr) const;
    bool Exists(std::string_view name) const;

    // False with the message when the name is invalid, there is no such job,
    // its file cannot be read or holds an invalid entry; warnings for entries
    // this version does not know.
    bool Load(std::string_view name, Job& job, std::string& error, std::vector<std::string>& warnings) const;
    // Writes the job's file in one step (a reader sees the old or the new
    // one), keeping the comments and unknown entries of the file it replaces.
    bool Save(const Job& job, std::string& error) const;
    bool Remove(std::string_view name, std::string& error) const;

private:
    std::string folder_;
};

}  // namespace kirvo
