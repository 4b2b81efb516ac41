#include "app/command_table.h"
#include "platform/translation.h"

#include <algorithm>
#include <array>

namespace kirvo {
namespace {

using C = CommandId;

constexpr std::array kCommands = std::to_array<CommandInfo>({
    // "&Datei"
    {C::FileNew, TrNoop("&Neu\tStrg+N"), TrNoop("Erstellt ein neues Dokument."), TrNoop("Neu"), "file-new.svg"},
    {C::FileOpen, TrNoop("Ö&ffnen...\tStrg+O"), TrNoop("Öffnet ein bestehendes Dokument."), TrNoop("Öffnen"),
     "file-open.svg"},
    {C::FileSave, TrNoop("S&peichern\tStrg+S"), TrNoop("Speichert das aktive Dokument."), TrNoop("Speichern"),
     "file-save.svg"},
    {C::FileSaveAs, TrNoop("Speichern &unter..."), TrNoop("Speichert das aktive Dokument unter neuem Namen."),
     TrNoop("Speichern unter"), ""},
    {C::FilePrint, TrNoop("&Drucken...\tStrg+P"), TrNoop("Druckt das aktive Dokument."), TrNoop("Drucken"),
     "file-print.svg"},
    {C::FilePrintPreview, TrNoop("Sei&tenansicht"), TrNoop("Zeigt ganze Seiten an."), TrNoop("Seitenansicht"), ""},
    {C::FilePrintSetup, TrNoop("Drucker&einrichtung..."), TrNoop("Ändert die Drucker- und Druckoptionen."),
     TrNoop("Druckereinrichtung"), ""},
    {C::PfadeVergleichen, TrNoop("Pfade vergleichen"),
     TrNoop("Vergleicht die Dateien von Quelle und Ziel und zeigt das Ergebnis an."),
     TrNoop("Pfade vergleichen"), "compare.svg"},
    {C::CancelComparison, "", TrNoop("Bricht den laufenden Vergleich ab."), TrNoop("Abbrechen"), ""},
    {C::Synchronize, TrNoop("Dateien abgleichen"), TrNoop("Kopiert die ausgewählten Dateien von Quelle und Ziel."),
     TrNoop("Dateien abgleichen"), "sync.svg"},
    {C::FileMru1, TrNoop("Letzte Datei"), TrNoop("Öffnet dieses Dokument."), "", ""},
    {C::AppExit, TrNoop("&Beenden"), TrNoop("Beendet Kirvo."), TrNoop("Beenden"), ""},

    // "&Bearbeiten"
    {C::EditCopy, TrNoop("&Kopieren\tCtrl+C"), TrNoop("Kopiert die markierten Dateien."), TrNoop("Kopieren"), "copy.svg"},
    {C::DeleteSelected, TrNoop("Löschen\tDel."), TrNoop("Löscht die markierten Dateien."), TrNoop("Löschen"),
     "delete.svg"},
    {C::SelectAll, TrNoop("Alles markieren\tCtrl+A"), TrNoop("Es werden alle Dateien in der Liste markiert"), "",
     ""},
    {C::CopyToTarget, TrNoop("Nach rechts kopieren"),
     TrNoop("Kopiert die markierten Dateien von der Quelle ins Ziel, gleich wohin ihr Pfeil zeigt."), "", ""},
    {C::CopyToSource, TrNoop("Nach links kopieren"),
     TrNoop("Kopiert die markierten Dateien vom Ziel in die Quelle, gleich wohin ihr Pfeil zeigt."), "", ""},
    {C::UndoLastRun, TrNoop("Letzten Abgleich rückgängig machen"),
     TrNoop("Nimmt den letzten Abgleich, das letzte Kopieren oder Löschen als Ganzes zurück."), "", ""},

    // Context menu of the list: one file or folder.
    {C::CompareFiles, "", TrNoop("Zeigt, was sich zwischen den beiden Dateien unterscheidet."), "", ""},
    {C::OpenFile, "", TrNoop("Öffnet die Datei mit dem Programm, das der Desktop dafür vorsieht."), "", ""},
    {C::ShowInFileManager, "", TrNoop("Zeigt die Datei in ihrem Ordner im Dateimanager."), "", ""},
    {C::CopyPath, "", TrNoop("Kopiert den vollständigen Pfad in die Zwischenablage."), "", ""},
    {C::ExcludePath, "", TrNoop("Nimmt die Datei oder den Ordner in die Ausschluss-Muster auf und vergleicht neu."), "", ""},

    // "&Ansicht"
    {C::ViewToolbar, TrNoop("&Symbolleiste"), TrNoop("Blendet die Symbolleiste ein oder aus."),
     TrNoop("Symbolleiste ein/aus"), ""},
    {C::ViewStatusBar, TrNoop("S&tatusleiste"), TrNoop("Blendet die Statusleiste ein oder aus."),
     TrNoop("Statusleiste ein/aus"), ""},
    {C::ViewOutputBar, TrNoop("Ausgabe"), TrNoop("Blendet die Ausgabe ein oder aus."), TrNoop("Ausgabe"), ""},
    {C::FilterAll, TrNoop("Alle Dateien"), TrNoop("Es werden alle Dateien angezeigt."), TrNoop("Alle Dateien"),
     "filter-all.svg"},
    {C::FilterUnequal, TrNoop("Nur ungleiche Dateien"), TrNoop("Es werden nur die ungleichen Dateien angezeigt."),
     TrNoop("Ungleiche Dateien"), "filter-unequal.svg"},
    {C::FilterSourceToTarget, TrNoop("Dateien Quelle nach Ziel"),
     TrNoop("Es werden nur die Dateien angezeigt die von der Quelle zum Ziel kopiert werden müssen."),
     TrNoop("Quelle"), "filter-to-target.svg"},
    {C::FilterTargetToSource, TrNoop("Dateien Ziel nach Quelle"),
     TrNoop("Es werden nur die Dateien angezeigt die vom Ziel zur Quelle kopiert werden müssen."), TrNoop("Ziel"),
     "filter-to-source.svg"},
    {C::FilterEqual, TrNoop("Gleiche Dateien"), TrNoop("Es werden nur gleiche Dateien angezeigt."),
     TrNoop("Gleiche Dateien"), "filter-equal.svg"},

    // "E&xtras"
    {C::BrowseSource, TrNoop("Quelle wählen"), TrNoop("Zeigt ein Dialogfeld zum auswählen vom Quellpfad an."),
     TrNoop("Quelle wählen"), ""},
    {C::BrowseTarget, TrNoop("Ziel wählen"), TrNoop("Zeigt ein Dialogfeld zum auswählen vom Zielpfad an."),
     TrNoop("Ziel wählen"), ""},
    {C::SwapPaths, TrNoop("Quelle und Ziel tauschen"), TrNoop("Tauscht die Pfade von Quelle und Ziel."), "", ""},
    {C::FilterPatterns, TrNoop("Filter..."),
     TrNoop("Legt mit Mustern fest, welche Dateien und Ordner verglichen werden und welche nicht."), "", ""},
    {C::OptionSubOrdner, TrNoop("Sub-Ordner ausschließen"),
     TrNoop("Wenn ein Unterordner von Quelle in Ziel nicht vorhanden ist wird er von der Suche "
     "ausgeschloßen ."),
     "", ""},
    {C::OptionSystemOrdner, TrNoop("System-Ordner ausschließen"),
     TrNoop("System-Ordner werden von der Suche ausgeschloßen."), "", ""},
    {C::OptionOneSecond, TrNoop("+/- 2 Sekunden"), TrNoop("Abweichunden von 2 Sekunden werden igoriert."), "", ""},
    {C::OptionStunde, TrNoop("Eine Stunde Unterschied ignorieren"),
     TrNoop("Zeiten, die genau eine Stunde auseinanderliegen (Sommerzeit auf FAT-Laufwerken), gelten als gleich."), "", ""},
    {C::CompareByTime, TrNoop("Änderungszeit"), TrNoop("Dateien gelten als gleich, wenn ihre Änderungszeiten gleich sind."), "", ""},
    {C::CompareByTimeAndSize, TrNoop("Änderungszeit und Größe"),
     TrNoop("Gleiche Änderungszeit, aber verschiedene Größe ist ein Konflikt."), "", ""},
    {C::CompareByContent, TrNoop("Inhalt"),
     TrNoop("Dateien gleicher Größe werden gelesen und Byte für Byte verglichen."), "", ""},
    {C::SyncModeUpdate, TrNoop("Neuere kopieren"),
     TrNoop("\"Dateien abgleichen\" kopiert jede ungleiche Datei in Pfeilrichtung; gelöscht wird nichts."), "", ""},
    {C::SyncModeMirror, TrNoop("Spiegeln"),
     TrNoop("Das Ziel wird eine genaue Kopie der Quelle: Fehlendes und Verschiedenes wird kopiert, was es nur im Ziel "
     "gibt, gelöscht."),
     "", ""},
    {C::SyncModeTwoWay, TrNoop("In beide Richtungen mit Gedächtnis"),
     TrNoop("Änderungen, Löschungen und Umbenennungen seit dem letzten Abgleich gehen von jeder Seite auf die andere."), "",
     ""},
    {C::LinksFollow, TrNoop("Folgen"),
     TrNoop("Eine Verknüpfung auf eine Datei wird wie diese Datei verglichen und kopiert."), "", ""},
    {C::LinksCopy, TrNoop("Als Verknüpfung kopieren"),
     TrNoop("Eine Verknüpfung wird als sie selbst verglichen (Zeit, Länge, Ziel-Text) und als Verknüpfung kopiert."), "",
     ""},
    {C::LinksSkip, TrNoop("Auslassen"), TrNoop("Verknüpfungen werden weder verglichen noch kopiert."), "", ""},
    {C::OptionVorLoeschen, TrNoop("Bestätigung vor Löschen"),
     TrNoop("Vor dem Löschen von Dateien wird ein Bestätigungsfenster eingeblendet."), "", ""},
    {C::OptionVorUeberschreiben, TrNoop("Bestätigung vor Überschreiben"),
     TrNoop("Vor dem Überschreiben von Dateien wird ein Bestätigungsfenster eingeblendet."), "", ""},
    {C::OptionVorDir, TrNoop("Bestätigung vor Verzeichnis"),
     TrNoop("Vor dem Erstellen von Verzeichnissen wird ein Bestätigungsfenster eingeblendet."), "", ""},
    {C::OptionUeber5000, TrNoop("Bestätigung > 5000 Dateien"),
     TrNoop("Beim Vergleichen von über 5000 Dateien wird nochmal nachgefragt ob sie auch angezeigt "
     "werden sollen"),
     "", ""},
    {C::OptionBeep, TrNoop("Beep"), TrNoop("Schaltet Ereignis Sounds ein oder aus ."), "", ""},
    {C::OptionPapierkorb, TrNoop("Papierkorb verwenden"),
     TrNoop("Gelöschte und ersetzte Dateien kommen in den Papierkorb, von wo sie sich zurückholen lassen."), "", ""},
    {C::OptionPruefen, TrNoop("Kopien prüfen"),
     TrNoop("Jede Kopie wird vom Datenträger zurückgelesen und mit der Quelle verglichen, bevor sie etwas ersetzt."), "",
     ""},
    {C::VerifyContents, TrNoop("Inhalt prüfen"),
     TrNoop("Liest jede Datei beider Seiten ganz und findet Dateien, deren Inhalt sich bei gleicher Größe und Zeit "
     "geändert hat (beschädigt?)."),
     "", ""},
    {C::ShowLog, TrNoop("Protokoll anzeigen"), TrNoop("Zeigt das Protokoll der kopierten, ersetzten und gelöschten Dateien an."),
     "", ""},
    {C::SaveJob, TrNoop("Auftrag speichern..."),
     TrNoop("Speichert Quelle, Ziel und Einstellungen als Auftrag, der auch von selbst laufen kann."), "", ""},
    {C::ShowJobs, TrNoop("Aufträge..."), TrNoop("Zeigt die gespeicherten Aufträge: öffnen, ausführen, Zeitplan, löschen."), "", ""},

    // "&?"
    {C::HelpFinder, TrNoop("&Hilfethemen"), TrNoop("Zeigt die Hilfe zu Kirvo an."), TrNoop("Hilfethemen"), ""},
    {C::AppAbout, TrNoop("Inf&o über Kirvo..."), TrNoop("Zeigt Programm-, Versions- und Copyright-Informationen an."),
     TrNoop("Info"), "about.svg"},

    // No menu item: keyboard only.
    {C::StatusNotice, "", "", "", ""},
});

constexpr std::array kOptionItems = std::to_array<MenuItem>({
    {C::OptionSubOrdner}, {C::OptionSystemOrdner}, {C::OptionOneSecond}, {C::OptionStunde}, {},
    {C::OptionVorLoeschen}, {C::OptionVorUeberschreiben}, {C::OptionPapierkorb}, {C::OptionPruefen}, {C::OptionVorDir},
    {C::OptionUeber5000}, {}, {C::OptionBeep},
});

constexpr std::array kFileItems = std::to_array<MenuItem>({
    {C::FileNew}, {C::FileOpen}, {C::FileSave}, {C::FileSaveAs}, {},
    {C::FilePrint}, {C::FilePrintPreview}, {C::FilePrintSetup}, {},
    {C::PfadeVergleichen}, {C::Synchronize}, {},
    {C::FileMru1}, {},
    {C::AppExit},
});

constexpr std::array kEditItems = std::to_array<MenuItem>({
    {C::EditCopy}, {C::DeleteSelected}, {}, {C::SelectAll}, {},
    {C::CopyToTarget}, {C::CopyToSource}, {},
    {C::UndoLastRun},
});

constexpr std::array kViewItems = std::to_array<MenuItem>({
    {C::ViewToolbar}, {C::ViewStatusBar}, {C::ViewOutputBar}, {},
    {C::FilterAll}, {C::FilterUnequal}, {C::FilterSourceToTarget}, {C::FilterTargetToSource},
    {C::FilterEqual},
});

constexpr std::array kCompareItems = std::to_array<MenuItem>({
    {C::CompareByTime}, {C::CompareByTimeAndSize}, {C::CompareByContent},
});

constexpr std::array kSyncItems = std::to_array<MenuItem>({
    {C::SyncModeUpdate}, {C::SyncModeMirror}, {C::SyncModeTwoWay},
});

constexpr std::array kLinkItems = std::to_array<MenuItem>({
    {C::LinksFollow}, {C::LinksCopy}, {C::LinksSkip},
});

constexpr std::array kExtrasItems = std::to_array<MenuItem>({
    {C::BrowseSource}, {C::BrowseTarget}, {C::SwapPaths}, {},
    {C::FilterPatterns},
    {C::None, TrNoop("Vergleichen &nach"), kCompareItems},
    {C::None, TrNoop("&Abgleichen als"), kSyncItems},
    {C::None, TrNoop("&Verknüpfungen"), kLinkItems},
    {C::None, TrNoop("&Optionen"), kOptionItems}, {},
    {C::VerifyContents}, {C::ShowLog}, {},
    {C::SaveJob}, {C::ShowJobs},
});

constexpr std::array kHelpItems = std::to_array<MenuItem>({
    {C::HelpFinder}, {}, {C::AppAbout},
});

constexpr std::array kMainMenu = std::to_array<Menu>({
    {TrNoop("&Datei"), kFileItems},
    {TrNoop("&Bearbeiten"), kEditItems},
    {TrNoop("&Ansicht"), kViewItems},
    {TrNoop("E&xtras"), kExtrasItems},
    {"&?", kHelpItems},
});

constexpr std::array kToolbar = std::to_array<CommandId>({
    C::FileNew, C::FileOpen, C::FileSave, C::FilePrint, C::None,
    C::Synchronize, C::EditCopy, C::DeleteSelected, C::None,
    C::PfadeVergleichen, C::FilterAll, C::FilterUnequal, C::FilterSourceToTarget,
    C::FilterTargetToSource, C::FilterEqual, C::None,
    C::AppAbout,
});

// Ctrl+V/Shift+Ins, Ctrl+X/Shift+Del, Alt+Backspace and F6/Shift+F6 have no
// handler in this program: they are left to the focused control. Ctrl+Z
// undoes the last run (after asking), except in a path field, which keeps
// its own editing keys (Ctrl+Z, Ctrl+C, Del, ...).
constexpr std::array kAccelerators = std::to_array<Accelerator>({
    {"Ctrl+A", C::SelectAll},
    {"Ctrl+C", C::EditCopy},
    {"Ctrl+Ins", C::EditCopy},
    {"Del", C::DeleteSelected},
    {"Ctrl+N", C::FileNew},
    {"Ctrl+O", C::FileOpen},
    {"Ctrl+P", C::FilePrint},
    {"Ctrl+S", C::FileSave},
    {"Alt+~", C::StatusNotice},
    {"Esc", C::CancelComparison},
    {"F5", C::PfadeVergleichen},
    {"F9", C::Synchronize},
    {"Ctrl+Z", C::UndoLastRun},
    {"F1", C::HelpFinder},
});

}  // namespace

std::span<const CommandInfo> CommandTable::Commands() { return kCommands; }

const CommandInfo* CommandTable::Find(CommandId id) {
    auto it = std::find_if(kCommands.begin(), kCommands.end(),
                           [id](const CommandInfo& info) { return info.id == id; });
    return it == kCommands.end() ? nullptr : &*it;
}

std::span<const Menu> CommandTable::MainMenu() { return kMainMenu; }
std::span<const CommandId> CommandTable::Toolbar() { return kToolbar; }
std::span<const Accelerator> CommandTable::Accelerators() { return kAccelerators; }

bool CommandTable::IsAlwaysDisabled(CommandId id) {
    switch (id) {
    case C::FileNew:
    case C::FileOpen:
    case C::FileSave:
    case C::FileSaveAs:
    case C::FilePrintSetup:
    case C::FilePrint:
    case C::FilePrintPreview:
    case C::FileMru1:
        return true;
    default:
        return false;
    }
}

}  // namespace kirvo
