#include "cli/job_command.h"

#include "app/job_file.h"
#include "app/job_schedule.h"
#include "app/job_store.h"
#include "cli/job_options.h"
#include "cli/job_schedule_command.h"
#include "fileops/terminal_text.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

// When the job runs by itself, for the list.
std::string When(const Job& job) {
    std::string when = job.every;
    if (!job.whenMounted.empty()) when += (when.empty() ? "" : ", ") + std::string(Tr("beim Einhängen von ")) + job.whenMounted;
    return when;
}

int Save(const std::string& name, std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    Job job;
    std::string error;
    if (!JobFromArguments(name, args, job, error)) return ReportUsageError(kJobCommand, error, err);
    const JobStore store;
    Job old;
    std::vector<std::string> warnings;
    const bool replacing = store.Load(name, old, error, warnings);
    if (replacing) {  // a schedule set up before stays
        job.every = old.every;
        job.whenMounted = old.whenMounted;
    }
    if (!store.Save(job, error)) {
        err << Tr("kirvo-cli job: ") << DisplayEscaped(error) << '\n';
        return kExitUsage;
    }
    out << Tr("Auftrag \"") << name << "\" " << (replacing ? Tr("ersetzt") : Tr("gespeichert")) << ": " << DisplayEscaped(store.PathOf(name))
        << Tr("\nAusführen mit: kirvo-cli run ") << name << '\n';
    return kExitEqual;
}

int List(std::ostream& out, std::ostream& err) {
    const JobStore store;
    std::string unread;
    const std::vector<std::string> names = store.Names(&unread);
    int status = kExitEqual;
    if (!unread.empty()) {
        err << Tr("kirvo-cli job: ") << DisplayEscaped(unread) << '\n';
        status = kExitUnreadable;
    } else if (names.empty()) {
        out << Tr("Keine Aufträge gespeichert (in ") << DisplayEscaped(store.folder()) << ").\n";
    }
    for (const std::string& name : names) {
        Job job;
        std::string error;
        std::vector<std::string> warnings;
        if (!store.Load(name, job, error, warnings)) {
            err << Tr("kirvo-cli job: ") << DisplayEscaped(error) << '\n';
            status = kExitUsage;
            continue;
        }
        out << name << '\t' << DisplayEscaped(job.source) << " -> " << DisplayEscaped(job.target);
        if (const std::string when = When(job); !when.empty()) out << "\t(" << DisplayEscaped(when) << ")";
        out << '\n';
    }
    return status;
}

int Show(const std::string& name, std::ostream& out, std::ostream& err) {
    const JobStore store;
    Job job;
    if (!LoadJob(kJobCommand, name, job, err)) return kExitUsage;
    out << "# " << DisplayEscaped(store.PathOf(name)) << '\n' << DisplayEscapedLines(JobFile::Write(job));
    const JobSchedule units;
    for (const std::string& unit : units.Existing(name)) out << "# Einheit: " << DisplayEscaped(units.folder() + "/" + unit) << '\n';
    return kExitEqual;
}

int Delete(const std::string& name, std::ostream& out, std::ostream& err) {
    const JobStore store;
    std::string error;
    if (!store.Exists(name)) {
        err << Tr("kirvo-cli job: Es gibt keinen Auftrag \"") << name << Tr("\" (in ") << DisplayEscaped(store.folder()) << ").\n";
        return kExitUsage;
    }
    if (!JobSchedule().Existing(name).empty() && !RemoveJobSchedule(name, out, err)) return kExitUnequal;
    if (!store.Remove(name, error)) {
        err << Tr("kirvo-cli job: ") << DisplayEscaped(error) << '\n';
        return kExitUsage;
    }
    out << Tr("Auftrag \"") << name << Tr("\" gelöscht.\n");
    return kExitEqual;
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return ReportUsageError(kJobCommand, Tr("Es fehlt save, list, show oder delete."), err);
    const std::string& action = args[0];
    if (action == "--help" || action == "-h") {
        WriteCommandHelp(kJobCommand, out);
        return kExitEqual;
    }
    if (action == "list") {
        if (args.size() > 1) return ReportUsageError(kJobCommand, Tr("\"job list\" nimmt keine Argumente."), err);
        return List(out, err);
    }
    if (action != "save" && action != "show" && action != "delete")
        return ReportUsageError(kJobCommand, Tr("Unbekannte Aktion \"") + action + Tr("\"; erlaubt sind save, list, show, delete."),
                                err);
    if (args.size() < 2 || args[1].empty() || args[1][0] == '-')
        return ReportUsageError(kJobCommand, Tr("Es fehlt der Name des Auftrags."), err);
    const std::string& name = args[1];
    if (!Job::IsValidName(name)) return ReportUsageError(kJobCommand, Job::InvalidNameMessage(name), err);
    if (action == "save") return Save(name, args.subspan(2), out, err);
    if (args.size() > 2) return ReportUsageError(kJobCommand, Tr("Zu viele Argumente."), err);
    return action == "show" ? Show(name, out, err) : Delete(name, out, err);
}

}  // namespace

// The help after the synopsis, in pieces that are translated one by one.
constexpr const char* kJobHelp[] = {
    TrNoop("Ein Auftrag ist ein gespeichertes Ordnerpaar mit allem, was einen Abgleich bestimmt: Quelle und\n"
    "Ziel, Art und Richtung, Vergleich, Filter, Papierkorb und Protokoll. Jeder liegt als lesbare\n"
    "Textdatei in ~/.config/kirvo/jobs/NAME.job ($XDG_CONFIG_HOME/kirvo/jobs), je Zeile\n"
    "\"SCHLÜSSEL = WERT\", und läuft mit \"kirvo-cli run NAME\", \"kirvo-cli watch NAME\" oder nach\n"
    "\"kirvo-cli schedule NAME\" von selbst.\n"
    "\n"
    "  save NAME ...   speichert die Optionen von \"kirvo-cli sync\" (ohne --dry-run und --format)\n"
    "                  und die beiden Ordner unter NAME; ein Auftrag gleichen Namens wird ersetzt,\n"
    "                  sein Zeitplan bleibt. Relative Pfade werden absolut gespeichert; eine\n"
    "                  --filter-from-Datei wird bei jedem Lauf neu gelesen.\n"
    "  list            die Aufträge, je Zeile Name, Quelle -> Ziel und wann er von selbst läuft\n"
    "  show NAME       alle Einstellungen des Auftrags, wie in seiner Datei\n"
    "  delete NAME     löscht den Auftrag samt Zeitplan\n"
    "\n"
    "NAME: 1 bis 64 Zeichen aus A-Z, a-z, 0-9, \"-\", \"_\" und \".\", ohne Punkt am Anfang.\n"
    "\n"
    "Rückgabewert: 0 erledigt, 2 falscher Aufruf, unbekannter oder ungültiger Auftrag.\n"
    "\n"
    "Beispiel: kirvo-cli job save dokumente --exclude='*.tmp' ~/Dokumente /media/stick/Dokumente\n"),
};

const CliCommand kJobCommand = {
    "job",
    TrNoop("Speichert, zeigt und löscht Aufträge: ein Ordnerpaar mit seinen Einstellungen."),
    TrNoop("kirvo-cli job save NAME [sync-Optionen] QUELLE ZIEL\n"
    "kirvo-cli job list\n"
    "kirvo-cli job show NAME\n"
    "kirvo-cli job delete NAME"),
    kJobHelp,
    &Run,
};

}  // namespace kirvo
