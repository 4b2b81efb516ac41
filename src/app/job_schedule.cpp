#include "app/job_schedule.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/error_text.h"
#include "platform/file_replace.h"
#include "platform/program_run.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHex = "0123456789abcdef";

// A value in a unit file: % starts a specifier there.
std::string WithoutSpecifiers(std::string_view value) {
    std::string text;
    for (char c : value) {
        text += c;
        if (c == '%') text += '%';
    }
    return text;
}

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string Header(std::string_view job) {
    return "# Geschrieben von \"kirvo-cli schedule " + std::string(job) + "\"; entfernen mit \"kirvo-cli schedule " +
           std::string(job) + " --off\".\n";
}

bool IsUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += length;
    }
    return true;
}

// A value of Environment=, quoted as systemd reads it: C escapes for what
// would end the quotes or the line. "" for a value systemd refuses whatever
// the quoting: other control characters, or bytes that are no UTF-8.
std::string QuotedEnvironment(std::string_view name, std::string_view value) {
    if (!IsUtf8(value)) return {};
    std::string quoted = "\"" + std::string(name) + "=";
    for (const char c : value) {
        if (c == '\\' || c == '"') quoted += std::string("\\") + c;
        else if (c == '\t') quoted += "\\t";
        else if (c == '\n') quoted += "\\n";
        else if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') return {};
        else quoted += c;
    }
    return WithoutSpecifiers(quoted + "\"");
}

// The runs see the same folders for jobs, log and trash as the user who set
// them up, also where the user manager's environment differs: each folder
// the user has set is written out, the others are unset. False (error says
// why) where one cannot be written into a unit: the unit would run against
// other folders.
bool EnvironmentLines(std::string& lines, std::string& error) {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
        const char* value = std::getenv(name);
        // Kirvo takes no relative folder from them either.
        if (value == nullptr || value[0] != '/') {
            lines += "UnsetEnvironment=" + std::string(name) + "\n";
            continue;
        }
        const std::string quoted = QuotedEnvironment(name, value);
        if (quoted.empty()) {
            error = Format(Tr("%s „%s“ lässt sich nicht in eine systemd-Einheit schreiben (Steuerzeichen oder kein "
                              "UTF-8); der Auftrag liefe dort mit anderen Ordnern. Bitte einen anderen Ordner wählen."),
                           name, value);
            return false;
        }
        lines += "Environment=" + quoted + "\n";
    }
    return true;
}

bool WriteUnit(const std::string& path, const std::string& text, std::string& error) {
    const int failure = ReplaceFile(path, text, 0644);
    if (failure == 0) return true;
    error = "\"" + path + Tr("\" lässt sich nicht schreiben: ") + ErrorText(failure) + ".";
    return false;
}

}  // namespace

std::string JobSchedule::DefaultUnitFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return std::string(config) + "/systemd/user";
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr && home[0] != '\0' ? home : ".") + "/.config/systemd/user";
}

std::string JobSchedule::EscapePath(std::string_view path) {
    std::string simple = fs::path(path).lexically_normal().string();
    while (!simple.empty() && simple.back() == '/') simple.pop_back();
    const size_t start = simple.find_first_not_of('/');
    if (start == std::string::npos) return "-";
    std::string name;
    for (size_t i = start; i < simple.size(); ++i) {
        const auto c = static_cast<unsigned char>(simple[i]);
        if (c == '/') {
            name += '-';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
                   c == '_' || (c == '.' && !name.empty())) {
            name += static_cast<char>(c);
        } else {
            name += "\\x";
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    return name;
}

std::string JobSchedule::QuoteProgram(std::string_view path) {
    if (path.find_first_of("\"'\\") != std::string_view::npos || HasControl(path) || path.find('\x7f') != std::string_view::npos)
        return {};
    return "\"" + WithoutSpecifiers(path) + "\"";
}

std::string JobSchedule::ServiceText(const Job& job, const std::string& cli, const std::string& environment) {
    std::string text = Header(job.name) + "[Unit]\nDescription=Kirvo-Auftrag " + job.name + "\n";
    if (!job.whenMounted.empty()) {
        text += "After=" + EscapePath(job.whenMounted) + ".mount\n";
        text += "ConditionPathIsMountPoint=" + WithoutSpecifiers(job.whenMounted) + "\n";
    }
    text += "\n[Service]\nType=oneshot\n" + environment + "ExecStart=" + QuoteProgram(cli) + " run " + job.name +
            "\nNice=10\n";
    if (!job.whenMounted.empty()) text += "\n[Install]\nWantedBy=" + EscapePath(job.whenMounted) + ".mount\n";
    return text;
}

std::string JobSchedule::TimerText(const Job& job) {
    return Header(job.name) + "[Unit]\nDescription=Kirvo-Auftrag " + job.name + " (" + WithoutSpecifiers(job.every) +
           ")\n\n[Timer]\nOnCalendar=" + WithoutSpecifiers(job.every) +
           "\nPersistent=true\n\n[Install]\nWantedBy=timers.target\n";
}

JobSchedule::Check JobSchedule::CheckCalendar(const std::string& every, std::string& message) {
    if (every.empty() || every.front() == '-' || HasControl(every)) {
        message = "\"" + every + Tr("\" ist kein Zeitplan; erlaubt sind hourly, daily, weekly oder ein Kalenderausdruck "
                  "von systemd (man systemd.time), etwa \"Mon..Fri 18:00\".");
        return Check::Invalid;
    }
    if (!IsProgramInPath("systemd-analyze")) return Check::NotChecked;
    const ProgramResult result = RunProgram({"systemd-analyze", "calendar", every}, std::chrono::seconds(10));
    if (!result.started || !result.finished) return Check::NotChecked;
    if (result.status == 0) return Check::Valid;
    std::string why = result.output;
    while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
    message = "\"" + every + Tr("\" ist kein Kalenderausdruck von systemd (man systemd.time)") +
              (why.empty() ? std::string(".") : ": " + why);
    return Check::Invalid;
}

bool JobSchedule::CanWrite(const Job& job, const std::string& cli, std::string& error) {
    std::string environment;
    if (QuoteProgram(cli).empty()) {
        error = Tr("systemd startet kein Programm, dessen Pfad \", ', \\ oder Steuerzeichen enthält: \"") + cli +
                Tr("\". kirvo-cli bitte an einem anderen Ort aufrufen.");
        return false;
    }
    if (HasControl(job.whenMounted)) {
        error = Tr("Ein Einhängepunkt mit Steuerzeichen lässt sich nicht in eine systemd-Einheit schreiben.");
        return false;
    }
    return EnvironmentLines(environment, error);
}

bool JobSchedule::Write(const Job& job, const std::string& cli, std::string& error) const {
    std::string environment;
    if (!CanWrite(job, cli, error) || !EnvironmentLines(environment, error)) return false;
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (!WriteUnit(folder_ + "/" + ServiceName(job.name), ServiceText(job, cli, environment), error)) return false;
    const std::string timer = folder_ + "/" + TimerName(job.name);
    if (!job.every.empty()) return WriteUnit(timer, TimerText(job), error);
    if (unlink(timer.c_str()) != 0 && errno != ENOENT) {
        error = "\"" + timer + Tr("\" lässt sich nicht entfernen: ") + ErrorText(errno) + ".";
        return false;
    }
    return true;
}

std::vector<std::string> JobSchedule::Remove(std::string_view job, std::string& error) const {
    std::vector<std::string> removed;
    // Links made by enabling them ("timers.target.wants/..."), also where no
    // service manager ran to remove them.
    std::error_code ec;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().extension() != ".wants") continue;
        for (const std::string& unit : {TimerName(job), ServiceName(job)})
            if (fs::is_symlink(it->path() / unit, ec)) fs::remove(it->path() / unit, ec);
    }
    for (const std::string& unit : {TimerName(job), ServiceName(job)}) {
        const std::string path = folder_ + "/" + unit;
        if (unlink(path.c_str()) == 0) {
            removed.push_back(unit);
        } else if (errno != ENOENT) {
            error = "\"" + path + Tr("\" lässt sich nicht entfernen: ") + ErrorText(errno) + ".";
        }
    }
    return removed;
}

std::vector<std::string> JobSchedule::Existing(std::string_view job) const {
    std::vector<std::string> units;
    std::error_code ec;
    for (const std::string& unit : {TimerName(job), ServiceName(job)})
        if (fs::exists(folder_ + "/" + unit, ec)) units.push_back(unit);
    return units;
}

}  // namespace kirvo
