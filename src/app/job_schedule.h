#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/job.h"

namespace kirvo {

// A job that runs by itself: a systemd user service "kirvo-NAME.service"
// that runs "kirvo-cli run NAME", started by the timer "kirvo-NAME.timer"
// (job.every, catching up a missed time: Persistent=true) and/or by the
// mounting of job.whenMounted (the service is wanted by its .mount unit and
// does nothing while it is not mounted). The units name the job only, so a
// changed job needs no new units.
class JobSchedule {
public:
    // $XDG_CONFIG_HOME/systemd/user, else ~/.config/systemd/user.
    static std::string DefaultUnitFolder();
    static std::string ServiceName(std::string_view job) { return "kirvo-" + std::string(job) + ".service"; }
    static std::string TimerName(std::string_view job) { return "kirvo-" + std::string(job) + ".timer"; }

    // A path as a unit name, as "systemd-escape --path" writes it: "/media/anna/MY STICK"
    // is "media-anna-MY\x20STICK"; add ".mount" for its mount unit.
    static std::string EscapePath(std::string_view path);
    // The program of a command line in a unit file (ExecStart=), quoted so
    // that systemd takes it as it is (% is no specifier there). Empty for a
    // path systemd refuses as a program whatever the quoting: one holding
    // a quote, a backslash or a control character.
    static std::string QuoteProgram(std::string_view path);

    // The unit files' texts. cli is the absolute path of kirvo-cli; environment the lines that set the folders.
    static std::string ServiceText(const Job& job, const std::string& cli, const std::string& environment);
    static std::string TimerText(const Job& job);

    // Checks a calendar value with "systemd-analyze calendar" when it is
    // installed. Valid, Invalid (message says why) or NotChecked.
    enum class Check { Valid, Invalid, NotChecked };
    static Check CheckCalendar(const std::string& every, std::string& message);

    explicit JobSchedule(std::string folder = DefaultUnitFolder()) : folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }

    // Whether the units of a job can be written so that they run what the
    // caller runs; false with a message.
    static bool CanWrite(const Job& job, const std::string& cli, std::string& error);
    // Writes the service, and the timer when job.every is set (a timer of
    // an earlier schedule without one is removed). False with a message.
    bool Write(const Job& job, const std::string& cli, std::string& error) const;
    // Removes both units where they exist; the names of those removed.
    std::vector<std::string> Remove(std::string_view job, std::string& error) const;
    // The units of the job that exist.
    std::vector<std::string> Existing(std::string_view job) const;

private:
    std::string folder_;
};

}  // namespace kirvo
