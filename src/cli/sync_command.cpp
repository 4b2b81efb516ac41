#include "cli/sync_command.h"

#include <iostream>

#include <unistd.h>

#include "cli/compare_command.h"
#include "cli/filter_arguments.h"
#include "cli/json_report.h"
#include "cli/remote_roots.h"
#include "cli/sync_mode_arguments.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    SyncOptions options;
    std::string error;
    if (!ParseSyncOptions(args, options, error)) return ReportUsageError(kSyncCommand, error, err);
    if (options.help) {
        WriteCommandHelp(kSyncCommand, out);
        return kExitEqual;
    }
    if (options.format == SyncOptions::Format::Json)
        return RunSyncAsJson(options, out, err, isatty(STDERR_FILENO) == 1);
    return RunSync(options, std::cin, out, err, isatty(STDIN_FILENO) == 1, isatty(STDERR_FILENO) == 1);
}

}  // namespace

// The help after the synopsis, in pieces that are translated one by one.
constexpr const char* kSyncHelp[] = {
    TrNoop("Vergleicht QUELLE mit ZIEL wie \"kirvo-cli compare\" und gleicht sie ab. In der Vorgabe\n"
    "(--mode=update, \"Neuere kopieren\") nimmt er jede ungleiche Datei als markiert und kopiert\n"
    "sie wie \"Dateien abgleichen\" in Richtung ihres Pfeils: zuerst von der Quelle ins Ziel, dann\n"
    "vom Ziel in die Quelle; gelöscht wird dann nichts. Vorher wird je Richtung gefragt, wie viele\n"
    "Dateien kopiert werden; beim Kopieren wird vor dem Ersetzen vorhandener Dateien gefragt. Jede\n"
    "Datei wird erst vollständig in eine temporäre Datei geschrieben und dann an ihren Platz\n"
    "gesetzt. Eine Datei, die ersetzt oder gelöscht wird, kommt vorher in den Papierkorb (wie beim\n"
    "Löschen im Dateimanager; von dort holt sie jeder Dateimanager oder trash-restore zurück).\n"
    "Eine Datei, die seit dem Vergleich geändert wurde, wird nicht ohne Rückfrage ersetzt oder\n"
    "gelöscht. Was kopiert, ersetzt, gelöscht und umbenannt wurde, steht im Protokoll\n"
    "~/.local/state/kirvo/protokoll.log. Zum Schluss wird erneut verglichen und die Summen je\n"
    "Seite ausgegeben. Konflikte (<?>) werden nicht angerührt, sondern mit ihrem Grund genannt.\n"
    "\n"
    "Spiegeln (--mode=mirror) macht das Ziel zur genauen Kopie der Quelle: Fehlendes und\n"
    "Verschiedenes wird kopiert, auch über eine neuere Datei, was es nur im Ziel gibt, gelöscht,\n"
    "und leere Ordner, die es in der Quelle nicht gibt, werden entfernt. Eine Datei, die nur im\n"
    "Ziel liegt und in der Quelle mit gleicher Größe, Zeit und gleichem Inhalt unter anderem Namen,\n"
    "wird im Ziel umbenannt statt gelöscht und neu kopiert.\n"
    "\n"
    "In beide Richtungen mit Gedächtnis (--mode=two-way) entscheidet gegen den Stand des letzten\n"
    "Abgleichs dieser beiden Ordner (gespeichert in ~/.local/state/kirvo/abgleich.db, nie in den\n"
    "Ordnern selbst): auf einer Seite Geändertes oder Neues wird kopiert, auf einer Seite Gelöschtes\n"
    "auf der anderen gelöscht, Umbenanntes dort ebenso umbenannt; auf beiden Seiten Geändertes ist\n"
    "ein Konflikt, und eine gelöschte Datei, die auf der anderen Seite geändert wurde, kommt zurück.\n"
    "Der erste Lauf gleicht ab wie update und hält dann den Stand fest.\n"
    "\n"
    "Bevor gelöscht wird, wird geprüft: löschte der Lauf auf einer Seite mehr als die Hälfte der\n"
    "Dateien (und mindestens 10), oder ist eine Seite leer oder fehlt, obwohl sie beim letzten\n"
    "Abgleich Dateien hatte (ein nicht eingehängtes Laufwerk), wird gefragt; mit --yes wird der\n"
    "Lauf dann abgelehnt (Rückgabewert 4), außer --max-delete erlaubt so viele Löschungen. Unter\n"
    "einer Stelle, die nicht lesbar ist, wird nichts gelöscht. Zwei Läufe für dieselben Ordner\n"
    "warten aufeinander (höchstens 30 Sekunden, dann wird abgelehnt).\n"
    "\n"
    "Optionen:\n"),
    KIRVO_CLI_MODE_OPTIONS_HELP,
    TrNoop("  --dry-run                 nur zeigen, was geschähe, mit Anzahl und Größe je Aktion; nichts\n"
    "                            ändern\n"
    "  --yes                     nichts fragen: Kopieren, Löschen, Umbenennen und das Ersetzen\n"
    "                            gelten als bestätigt, Fehler werden gemeldet und übersprungen.\n"
    "                            Eine Datei, die neuer ist als ihre Quelle (außer beim Spiegeln\n"
    "                            und mit Gedächtnis) oder seit dem Vergleich geändert wurde, wird\n"
    "                            auch dann nicht ersetzt oder gelöscht, ebenso keine, deren alte\n"
    "                            Fassung kein Papierkorb nehmen kann. Was die Prüfung vor dem\n"
    "                            Löschen fragen würde, wird abgelehnt.\n"
    "  --max-delete=N|P%         so viele Löschungen je Seite ohne Rückfrage erlauben: eine Anzahl\n"
    "                            (etwa 20) oder einen Anteil der Dateien der Seite (etwa 10%); gilt\n"
    "                            statt der Regel \"mehr als die Hälfte\" und auch für eine leere Seite\n"
    "  --forget-state            mit --mode=two-way: den Stand des letzten Abgleichs dieser Ordner\n"
    "                            vergessen und neu beginnen (etwa wenn die Datenbank beschädigt ist)\n"
    "  --exclude-subfolders      Ordner der Quelle, die es im Ziel nicht gibt, nicht durchsuchen\n"
    "  --exclude-system-folders  System-Ordner nicht durchsuchen\n"
    "  --no-tolerance            Zeiten, die bis zu 2 Sekunden abweichen, nicht als gleich werten\n"),
    KIRVO_CLI_COMPARE_OPTIONS_HELP,
    KIRVO_CLI_LINKS_OPTION_HELP,
    TrNoop("  --parallel=N              so viele Ordner je Seite zugleich lesen (Vorgabe 0: automatisch)\n"
    "  --quiet                   keine Fortschrittszeilen auf der Fehlerausgabe\n"),
    KIRVO_CLI_REMOTE_OPTION_HELP,
    KIRVO_CLI_FILTER_OPTIONS_HELP,
    TrNoop("  --no-trash                ersetzte und gelöschte Dateien nicht in den Papierkorb legen,\n"
    "                            sondern endgültig ersetzen und löschen\n"
    "  --no-log                  nichts ins Protokoll schreiben\n"
    "  --verify                  jede Kopie vom Datenträger zurücklesen und mit der Quelle vergleichen,\n"
    "                            bevor sie etwas ersetzt; eine fehlerhafte Kopie wird entfernt\n"
    "  --format=json             statt des Texts ein JSON-Dokument für Skripte: jede Kopie,\n"
    "                            Löschung und Umbenennung mit Pfaden und Ergebnis, die Zahlen und\n"
    "                            der Rückgabewert (nur mit --yes oder --dry-run; siehe man kirvo-cli)\n"
    "  --help                    diese Hilfe\n"
    "\n"),
    KIRVO_CLI_PATTERN_HELP,
    TrNoop("Eine Datei, die der Filter auslässt, wird weder kopiert noch gelöscht, und ihr Stand bleibt.\n"
    "\n"),
    KIRVO_CLI_UNREADABLE_HELP,
    TrNoop("Eine fehlende Wurzel wird beim Kopieren angelegt: nur dieser eine Ordner, nur wenn der Ordner\n"
    "darüber existiert, und nur nach Rückfrage (mit --yes ohne). Fehlt auch der Ordner darüber\n"
    "(ein Datenträger, der nicht angeschlossen ist), wird nichts kopiert.\n"
    "\n"),
    KIRVO_CLI_REMOTE_HELP,
    TrNoop("Auf dem anderen Rechner gibt es keinen Papierkorb: dort wird nur mit --no-trash oder nach\n"
    "Rückfrage endgültig ersetzt oder gelöscht. Zwischen zwei entfernten Ordnern wird nicht\n"
    "abgeglichen.\n"
    "\n"
    "Ohne --yes braucht der Befehl ein Terminal für die Fragen. Strg+C bricht das Vergleichen ab\n"
    "(Rückgabewert 130) und ebenso das Kopieren; die Datei, die gerade kopiert wird, bleibt dann\n"
    "unverändert. Ein abgebrochener Lauf hinterlässt den Stand des letzten Abgleichs; der nächste\n"
    "Lauf macht fertig, was noch fehlt.\n"
    "\n"
    "Rückgabewert: 0 die Bäume sind danach gleich,\n"
    "              1 etwas blieb ungleich (abgelehnt, übersprungen, fehlgeschlagen, ein\n"
    "                Konflikt; bei --dry-run: es gäbe etwas zu tun oder einen Konflikt),\n"
    "              2 falscher Aufruf, kein Terminal ohne --yes, ein Pfad ist kein Ordner\n"
    "                oder ein Schnappschuss (snapshot:DATEI),\n"
    "                ein Ordner liegt im anderen, oder die Ausgabe ließ sich nicht schreiben,\n"
    "              3 ein Ordner auf einem anderen Rechner war nicht erreichbar, oder die\n"
    "                Verbindung brach ab,\n"
    "              4 nicht alles lesbar (was lesbar war, ist abgeglichen), eine fehlende\n"
    "                Wurzel wurde nicht angelegt, oder der Lauf wurde abgelehnt: zu viele\n"
    "                Löschungen oder eine leere Seite (mit --yes), die Zustandsdatenbank ist\n"
    "                nicht lesbar, oder ein anderer Lauf hält die Ordner,\n"
    "              130 mit Strg+C abgebrochen.\n"),
};

const CliCommand kSyncCommand = {
    "sync",
    TrNoop("Gleicht zwei Ordnerbäume ab: Neuere kopieren, Spiegeln oder in beide Richtungen mit Gedächtnis."),
    TrNoop("kirvo-cli sync [--mode=update|mirror|two-way] [--direction=both|to-target|to-source]\n"
    "               [--dry-run] [--yes] [--max-delete=N|P%] [--forget-state]\n"
    "               [--compare=time|time-size|content] [--ignore-hour]\n"
    "               [--links=follow|copy|skip]\n"
    "               [--exclude-subfolders] [--exclude-system-folders] [--no-tolerance]\n"
    "               [--include=MUSTER] [--exclude=MUSTER] [--filter-from=DATEI]\n"
    "               [--no-trash] [--no-log] [--verify] [--parallel=N] [--quiet] [--format=text|json]\n"
    "               [--accept-new-host-key] QUELLE ZIEL"),
    kSyncHelp,
    &Run,
};

}  // namespace kirvo
