#include "cli/job_schedule_command.h"

#include <unistd.h>

#include <array>
#include <filesystem>

#include "app/job_schedule.h"
#include "app/job_store.h"
#include "app/user_services.h"
#include "cli/cli_arguments.h"
#include "cli/job_options.h"
#include "fileops/terminal_text.h"
#include "platform/mount_table.h"
#include "platform/root.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr CliArguments::OptionSpec kOptions[] = {
    {"every", true},
    {"when-mounted", false},
    {"mount-point", true},
    {"off", false},
    {"help", false},
};

bool IsBelow(const std::string& path, const std::string& folder) {
    return folder == "/" || (path.compare(0, folder.size(), folder) == 0 &&
                             (path.size() == folder.size() || path[folder.size()] == '/'));
}

// The mount point whose mounting starts the job: the one named, or that of a
// local root on a drive of its own (the target's first; one under /media,
// /run/media or /mnt before others).
bool FindMountPoint(const Job& job, const std::optional<std::string>& named, std::string& mountPoint,
                    std::string& error) {
    std::vector<std::string> roots;
    for (const Root& root : {job.TargetRoot(), job.SourceRoot()})
        if (!root.remote()) roots.push_back(root.text());
    if (named) {
        std::string path = std::filesystem::path(*named).lexically_normal().string();
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (path.empty() || path.front() != '/' || path == "/") {
            error = Tr("--mount-point braucht den absoluten Pfad eines Einhängepunkts.");
            return false;
        }
        for (const std::string& root : roots) {
            if (IsBelow(root, path)) {
                mountPoint = path;
                return true;
            }
        }
        error = Tr("Weder Quelle noch Ziel liegt unter \"") + path + "\".";
        return false;
    }
    std::string found;
    for (const std::string& root : roots) {
        const std::string point = MountPointOf(root);
        const bool removable = point.rfind("/media/", 0) == 0 || point.rfind("/run/media/", 0) == 0 ||
                               point.rfind("/mnt/", 0) == 0;
        if (point != "/" && (found.empty() || removable)) found = point;
        if (point != "/" && removable) break;
    }
    if (found.empty()) {
        error = Tr("Weder Quelle noch Ziel liegt auf einem eigenen eingehängten Datenträger. Ist er angeschlossen? "
                "Sonst den Einhängepunkt mit --mount-point=PFAD nennen.");
        return false;
    }
    mountPoint = found;
    return true;
}

std::string OwnPath() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("/usr/bin/kirvo-cli") : self.string();
}

// What was written is switched on now, when a user manager runs; otherwise,
// or when that fails, the commands that do it. False when it is not on.
bool SwitchOn(const Job& job, const JobSchedule& units, std::ostream& out, std::ostream& err) {
    std::vector<std::vector<std::string>> steps = {{"daemon-reload"}};
    if (!job.every.empty()) steps.push_back({"enable", "--now", JobSchedule::TimerName(job.name)});
    if (!job.whenMounted.empty()) steps.push_back({"reenable", JobSchedule::ServiceName(job.name)});
    std::string how;
    for (const auto& step : steps) {
        how += how.empty() ? Tr("systemctl --user") : Tr(" && systemctl --user");
        for (const std::string& word : step) how += " " + word;
    }
    if (!UserServices::Running()) {
        err << Tr("kirvo-cli schedule: Die Einheiten liegen in ") << DisplayEscaped(units.folder())
            << Tr(", sind aber noch nicht eingeschaltet: der Dienst-Manager des Benutzers (systemd --user) läuft "
               "in dieser Sitzung nicht. Einschalten, wenn er läuft, mit:\n  ")
            << how << '\n';
        return false;
    }
    for (const auto& step : steps) {
        std::string message;
        if (!UserServices::Systemctl(step, message)) {
            err << Tr("kirvo-cli schedule: systemctl --user ") << step.front() << Tr(" ist fehlgeschlagen: ") << DisplayEscaped(message)
                << Tr("\nDie Einheiten liegen in ") << DisplayEscaped(units.folder()) << Tr("; von Hand einschalten mit:\n  ") << how << '\n';
            return false;
        }
    }
    out << Tr("Eingeschaltet.");
    if (!UserServices::Lingering())
        out << Tr(" Ohne Anmeldung läuft er erst nach \"loginctl enable-linger\".");
    out << '\n';
    return true;
}

int Schedule(const CliArguments& parsed, std::ostream& out, std::ostream& err) {
    const std::string& name = parsed.operands()[0];
    Job job;
    std::string error;
    if (!LoadJob(kScheduleCommand, name, job, err)) return kExitUsage;
    job.every.clear();
    job.whenMounted.clear();
    if (const auto every = parsed.Value("every")) {
        switch (JobSchedule::CheckCalendar(*every, error)) {
        case JobSchedule::Check::Invalid: return ReportUsageError(kScheduleCommand, error, err);
        case JobSchedule::Check::NotChecked:
            err << Tr("kirvo-cli schedule: Hinweis: \"") << DisplayEscaped(*every)
                << Tr("\" ist ungeprüft (systemd-analyze fehlt); systemd prüft ihn beim Einschalten.\n");
            break;
        case JobSchedule::Check::Valid: break;
        }
        job.every = *every;
    }
    if (parsed.Has("when-mounted") && !FindMountPoint(job, parsed.Value("mount-point"), job.whenMounted, error))
        return ReportUsageError(kScheduleCommand, error, err);

    const JobSchedule units;
    // Checked before the old schedule goes off: a refused one leaves it as it was.
    if (!JobSchedule::CanWrite(job, OwnPath(), error)) {
        err << Tr("kirvo-cli schedule: ") << DisplayEscaped(error) << '\n';
        return kExitUsage;
    }
    if (UserServices::Running()) {
        // A schedule set up before goes off first, so that no old trigger stays behind.
        std::string ignored;
        for (const std::string& unit : units.Existing(name))
            UserServices::Systemctl(unit == JobSchedule::TimerName(name) ? std::vector<std::string>{"disable", "--now", unit}
                                                                         : std::vector<std::string>{"disable", unit},
                                    ignored);
    }
    if (!units.Write(job, OwnPath(), error) || !JobStore().Save(job, error)) {
        err << Tr("kirvo-cli schedule: ") << DisplayEscaped(error) << '\n';
        return kExitUsage;
    }
    out << Tr("Auftrag \"") << name << Tr("\" läuft von selbst");
    if (!job.every.empty()) out << ": " << DisplayEscaped(job.every) << " (" << DisplayEscaped(units.folder()) << "/" << JobSchedule::TimerName(name) << ")";
    if (!job.every.empty() && !job.whenMounted.empty()) out << Tr(", und");
    if (!job.whenMounted.empty()) out << Tr(" sobald ") << DisplayEscaped(job.whenMounted) << Tr(" eingehängt wird");
    out << ".\n";
    return SwitchOn(job, units, out, err) ? kExitEqual : kExitUnequal;
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    CliArguments parsed;
    if (!parsed.Parse(args, kOptions)) return ReportUsageError(kScheduleCommand, parsed.error(), err);
    if (parsed.Has("help")) {
        WriteCommandHelp(kScheduleCommand, out);
        return kExitEqual;
    }
    int status = kExitUsage;
    if (!OneJobName(kScheduleCommand, parsed, err, status)) return status;
    const std::string& name = parsed.operands()[0];
    if (!Job::IsValidName(name)) return ReportUsageError(kScheduleCommand, Job::InvalidNameMessage(name), err);
    const bool on = parsed.Has("every") || parsed.Has("when-mounted");
    if (parsed.Has("off") == on)
        return ReportUsageError(kScheduleCommand,
                                on ? Tr("--off passt nicht zu --every oder --when-mounted.")
                                   : Tr("Es fehlt --every=WANN, --when-mounted oder --off."),
                                err);
    if (parsed.Has("mount-point") && !parsed.Has("when-mounted"))
        return ReportUsageError(kScheduleCommand, Tr("--mount-point gehört zu --when-mounted."), err);
    if (on) return Schedule(parsed, out, err);

    if (!RemoveJobSchedule(name, out, err)) return kExitUnequal;
    Job job;
    std::string error;
    std::vector<std::string> warnings;
    if (JobStore().Load(name, job, error, warnings) && (!job.every.empty() || !job.whenMounted.empty())) {
        job.every.clear();
        job.whenMounted.clear();
        if (!JobStore().Save(job, error)) {
            err << Tr("kirvo-cli schedule: ") << DisplayEscaped(error) << '\n';
            return kExitUsage;
        }
    }
    return kExitEqual;
}

}  // namespace

// The help after the synopsis, in pieces that are translated one by one.
constexpr const char* kScheduleHelp[] = {
    TrNoop("Richtet für den Auftrag NAME einen Dienst und einen Zeitgeber von systemd für den Benutzer ein\n"
    "(~/.config/systemd/user/kirvo-NAME.service und .timer), die \"kirvo-cli run NAME\" starten, und\n"
    "schaltet sie mit \"systemctl --user\" ein. Ein verpasster Termin (Rechner aus) wird beim\n"
    "nächsten Start nachgeholt. Läuft kein Dienst-Manager des Benutzers, sagt der Befehl, wie man\n"
    "sie später einschaltet.\n"
    "\n"
    "Optionen:\n"
    "  --every=WANN        hourly, daily, weekly oder ein Kalenderausdruck von systemd, etwa\n"
    "                      \"Mon..Fri 18:00\" (man systemd.time); wird vorher geprüft\n"
    "  --when-mounted      starten, sobald der Datenträger von Quelle oder Ziel eingehängt wird\n"
    "                      (etwa der USB-Stick eingesteckt); solange er fehlt, läuft nichts\n"
    "  --mount-point=PFAD  der Einhängepunkt dazu, wenn der Datenträger jetzt nicht eingehängt ist\n"
    "  --off               Zeitplan und Start beim Einhängen entfernen\n"
    "  --help              diese Hilfe\n"
    "\n"
    "Rückgabewert: 0 eingerichtet und eingeschaltet (oder entfernt), 1 eingerichtet, aber nicht\n"
    "              eingeschaltet, 2 falscher Aufruf, unbekannter Auftrag oder ungültiger Zeitplan.\n"
    "\n"
    "Beispiel: kirvo-cli schedule dokumente --every=daily --when-mounted\n"),
};

const CliCommand kScheduleCommand = {
    "schedule",
    TrNoop("Lässt einen Auftrag von selbst laufen: nach Zeitplan oder beim Einhängen."),
    TrNoop("kirvo-cli schedule NAME --every=hourly|daily|weekly|KALENDER [--when-mounted [--mount-point=PFAD]]\n"
    "kirvo-cli schedule NAME --when-mounted [--mount-point=PFAD]\n"
    "kirvo-cli schedule NAME --off"),
    kScheduleHelp,
    &Run,
};

bool RemoveJobSchedule(const std::string& name, std::ostream& out, std::ostream& err) {
    const JobSchedule units;
    const std::vector<std::string> existing = units.Existing(name);
    if (existing.empty()) {
        out << Tr("Auftrag \"") << name << Tr("\" hat keinen Zeitplan.\n");
        return true;
    }
    const bool manager = UserServices::Running();
    std::string message;
    if (manager) {
        for (const std::string& unit : existing) {
            // A run under way finishes; only the timer stops.
            const std::vector<std::string> words = unit == JobSchedule::TimerName(name)
                                                       ? std::vector<std::string>{"disable", "--now", unit}
                                                       : std::vector<std::string>{"disable", unit};
            if (!UserServices::Systemctl(words, message))
                err << Tr("kirvo-cli: Hinweis: systemctl --user disable ") << unit << ": " << DisplayEscaped(message) << '\n';
        }
    }
    std::string error;
    units.Remove(name, error);
    if (!error.empty()) {
        err << "kirvo-cli: " << DisplayEscaped(error) << '\n';
        return false;
    }
    if (manager && !UserServices::Systemctl({"daemon-reload"}, message))
        err << Tr("kirvo-cli: Hinweis: systemctl --user daemon-reload: ") << DisplayEscaped(message) << '\n';
    out << Tr("Zeitplan von \"") << name << Tr("\" entfernt.\n");
    return true;
}

}  // namespace kirvo
