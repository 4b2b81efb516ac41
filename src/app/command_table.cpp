#include "app/command_table.h"

#include <algorithm>
#include <array>

namespace kirvo {
namespace {

using C = CommandId;

constexpr std::array kCommands = std::to_array<CommandInfo>({
    // "&Datei"
    {C::FileNew, "&Neu\tStrg+N", "Erstellt ein neues Dokument.", "Neu", "file-new.svg"},
    {C::FileOpen, "Ö&ffnen...\tStrg+O", "Öffnet ein bestehendes Dokument.", "Öffnen",
     "file-open.svg"},
    {C::FileSave, "S&peichern\tStrg+S", "Speichert das aktive Dokument.", "Speichern",
     "file-save.svg"},
    {C::FileSaveAs, "Speichern &unter...", "Speichert das aktive Dokument unter neuem Namen.",
     "Speichern unter", ""},
    {C::FilePrint, "&Drucken...\tStrg+P", "Druckt das aktive Dokument.", "Drucken",
     "file-print.svg"},
    {C::FilePrintPreview, "Sei&tenansicht", "Zeigt ganze Seiten an.", "Seitenansicht", ""},
    {C::FilePrintSetup, "Drucker&einrichtung...", "Ändert die Drucker- und Druckoptionen.",
     "Druckereinrichtung", ""},
    {C::PfadeVergleichen, "Pfade vergleichen",
     "Vergleicht die Dateien von Quelle und Ziel und zeigt das Ergebnis an.",
     "Pfade vergleichen", "compare.svg"},
    {C::CancelComparison, "", "Bricht den laufenden Vergleich ab.", "Abbrechen", ""},
    {C::Synchronize, "Dateien abgleichen", "Kopiert die ausgewählten Dateien von Quelle und Ziel.",
     "Dateien abgleichen", "sync.svg"},
    {C::FileMru1, "Letzte Datei", "Öffnet dieses Dokument.", "", ""},
    {C::AppExit, "&Beenden", "Beendet Kirvo.", "Beenden", ""},

    // "&Bearbeiten"
    {C::EditCopy, "&Kopieren\tCtrl+C", "Kopiert die markierten Dateien.", "Kopieren", "copy.svg"},
    {C::DeleteSelected, "Löschen\tDel.", "Löscht die markierten Dateien.", "Löschen",
     "delete.svg"},
    {C::SelectAll, "Alles markieren\tCtrl+A", "Es werden alle Dateien in der Liste markiert", "",
     ""},
    {C::CopyToTarget, "Nach rechts kopieren",
     "Kopiert die markierten Dateien von der Quelle ins Ziel, gleich wohin ihr Pfeil zeigt.", "", ""},
    {C::CopyToSource, "Nach links kopieren",
     "Kopiert die markierten Dateien vom Ziel in die Quelle, gleich wohin ihr Pfeil zeigt.", "", ""},
    {C::UndoLastRun, "Letzten Abgleich rückgängig machen",
     "Nimmt den letzten Abgleich, das letzte Kopieren oder Löschen als Ganzes zurück.", "", ""},

    // Context menu of the list: one file or folder.
    {C::CompareFiles, "", "Zeigt, was sich zwischen den beiden Dateien unterscheidet.", "", ""},
    {C::OpenFile, "", "Öffnet die Datei mit dem Programm, das der Desktop dafür vorsieht.", "", ""},
    {C::ShowInFileManager, "", "Zeigt die Datei in ihrem Ordner im Dateimanager.", "", ""},
    {C::CopyPath, "", "Kopiert den vollständigen Pfad in die Zwischenablage.", "", ""},
    {C::ExcludePath, "", "Nimmt die Datei oder den Ordner in die Ausschluss-Muster auf und vergleicht neu.", "", ""},

    // "&Ansicht"
    {C::ViewToolbar, "&Symbolleiste", "Blendet die Symbolleiste ein oder aus.",
     "Symbolleiste ein/aus", ""},
    {C::ViewStatusBar, "S&tatusleiste", "Blendet die Statusleiste ein oder aus.",
     "Statusleiste ein/aus", ""},
    {C::ViewOutputBar, "Ausgabe", "Blendet die Ausgabe ein oder aus.", "Ausgabe", ""},
    {C::FilterAll, "alle Dateien", "Es werden alle Dateien angezeigt.", "Alle Dateien",
     "filter-all.svg"},
    {C::FilterUnequal, "nur ungleiche Dateien", "Es werden nur die ungleichen Dateien angezeigt.",
     "Ungleiche Dateien", "filter-unequal.svg"},
    {C::FilterSourceToTarget, "Dateien Quelle nach Ziel",
     "Es werden nur die Dateien angezeigt die von der Quelle zum Ziel kopiert werden müssen.",
     "Quelle", "filter-to-target.svg"},
    {C::FilterTargetToSource, "Dateien Ziel nach Quelle",
     "Es werden nur die Dateien angezeigt die vom Ziel zur Quelle kopiert werden müssen.", "Ziel",
     "filter-to-source.svg"},
    {C::FilterEqual, "gleiche Dateien", "Es werden nur gleiche Dateien angezeigt.",
     "Gleiche Dateien", "filter-equal.svg"},

    // "E&xtras"
    {C::BrowseSource, "Quelle wählen", "Zeigt ein Dialogfeld zum auswählen vom Quellpfad an.",
     "Quelle wählen", ""},
    {C::BrowseTarget, "Ziel wählen", "Zeigt ein Dialogfeld zum auswählen vom Zielpfad an.",
     "Ziel wählen", ""},
    {C::SwapPaths, "Quelle und Ziel tauschen", "Tauscht die Pfade von Quelle und Ziel.", "", ""},
    {C::FilterPatterns, "Filter...",
     "Legt mit Mustern fest, welche Dateien und Ordner verglichen werden und welche nicht.", "", ""},
    {C::OptionSubOrdner, "Sub-Ordner ausschließen",
     "Wenn ein Unterordner von Quelle in Ziel nicht vorhanden ist wird er von der Suche "
     "ausgeschloßen .",
     "", ""},
    {C::OptionSystemOrdner, "System-Ordner ausschließen",
     "System-Ordner werden von der Suche ausgeschloßen.", "", ""},
    {C::OptionOneSecond, "+/- 2 Sekunden", "Abweichunden von 2 Sekunden werden igoriert.", "", ""},
    {C::OptionStunde, "Eine Stunde Unterschied ignorieren",
     "Zeiten, die genau eine Stunde auseinanderliegen (Sommerzeit auf FAT-Laufwerken), gelten als gleich.", "", ""},
    {C::CompareByTime, "Änderungszeit", "Dateien gelten als gleich, wenn ihre Änderungszeiten gleich sind.", "", ""},
    {C::CompareByTimeAndSize, "Änderungszeit und Größe",
     "Gleiche Änderungszeit, aber verschiedene Größe ist ein Konflikt.", "", ""},
    {C::CompareByContent, "Inhalt",
     "Dateien gleicher Größe werden gelesen und Byte für Byte verglichen.", "", ""},
    {C::SyncModeUpdate, "Neuere kopieren",
     "\"Dateien abgleichen\" kopiert jede ungleiche Datei in Pfeilrichtung; gelöscht wird nichts.", "", ""},
    {C::SyncModeMirror, "Spiegeln",
     "Das Ziel wird eine genaue Kopie der Quelle: Fehlendes und Verschiedenes wird kopiert, was es nur im Ziel "
     "gibt, gelöscht.",
     "", ""},
    {C::SyncModeTwoWay, "In beide Richtungen mit Gedächtnis",
     "Änderungen, Löschungen und Umbenennungen seit dem letzten Abgleich gehen von jeder Seite auf die andere.", "",
     ""},
    {C::LinksFollow, "Folgen",
     "Eine Verknüpfung auf eine Datei wird wie diese Datei verglichen und kopiert.", "", ""},
    {C::LinksCopy, "Als Verknüpfung kopieren",
     "Eine Verknüpfung wird als sie selbst verglichen (Zeit, Länge, Ziel-Text) und als Verknüpfung kopiert.", "",
     ""},
    {C::LinksSkip, "Auslassen", "Verknüpfungen werden weder verglichen noch kopiert.", "", ""},
    {C::OptionVorLoeschen, "Bestätigung vor löschen",
     "Vor dem löschen von Dateien wird ein Bestätigungsfenster eingeblendet.", "", ""},
    {C::OptionVorUeberschreiben, "Bestätigung vor überschreiben",
     "Vor dem überschreiben von Dateien wird ein Bestätigungsfenster eingeblendet.", "", ""},
    {C::OptionVorDir, "Bestätigung vor Verzeichnis",
     "Vor dem erstellen von Verzeichnissen wird ein Bestätigungsfenster eingeblendet.", "", ""},
    {C::OptionUeber5000, "Bestätigung > 5000 Dateien",
     "Beim Vergleichen von über 5000 Dateien wird nochmal nachgefragt ob sie auch angezeigt "
     "werden sollen",
     "", ""},
    {C::OptionBeep, "Beep", "Schaltet Ereignis Sounds ein oder aus .", "", ""},
    {C::OptionPapierkorb, "Papierkorb verwenden",
     "Gelöschte und ersetzte Dateien kommen in den Papierkorb, von wo sie sich zurückholen lassen.", "", ""},
    {C::ShowLog, "Protokoll anzeigen", "Zeigt das Protokoll der kopierten, ersetzten und gelöschten Dateien an.",
     "", ""},
    {C::SaveJob, "Auftrag speichern …",
     "Speichert Quelle, Ziel und Einstellungen als Auftrag, der auch von selbst laufen kann.", "", ""},
    {C::ShowJobs, "Aufträge", "Zeigt die gespeicherten Aufträge: öffnen, ausführen, Zeitplan, löschen.", "", ""},

    // "&?"
    {C::HelpFinder, "&Hilfethemen", "Zeigt die Hilfe zu Kirvo an.", "Hilfethemen", ""},
    {C::AppAbout, "Inf&o über Kirvo...", "Zeigt Programm-, Versions- und Copyright-Informationen an.",
     "Info", "about.svg"},

    // No menu item: keyboard only.
    {C::StatusNotice, "", "", "", ""},
});

constexpr std::array kOptionItems = std::to_array<MenuItem>({
    {C::OptionSubOrdner}, {C::OptionSystemOrdner}, {C::OptionOneSecond}, {C::OptionStunde}, {},
    {C::OptionVorLoeschen}, {C::OptionVorUeberschreiben}, {C::OptionPapierkorb}, {C::OptionVorDir},
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
    {C::None, "Vergleichen &nach", kCompareItems},
    {C::None, "&Abgleichen als", kSyncItems},
    {C::None, "&Verknüpfungen", kLinkItems},
    {C::None, "&Optionen", kOptionItems}, {},
    {C::ShowLog}, {},
    {C::SaveJob}, {C::ShowJobs},
});

constexpr std::array kHelpItems = std::to_array<MenuItem>({
    {C::HelpFinder}, {}, {C::AppAbout},
});

constexpr std::array kMainMenu = std::to_array<Menu>({
    {"&Datei", kFileItems},
    {"&Bearbeiten", kEditItems},
    {"&Ansicht", kViewItems},
    {"E&xtras", kExtrasItems},
    {"&?", kHelpItems},
});

constexpr std::array kToolbar = std::to_array<CommandId>({
    C::FileNew, C::FileOpen, C::FileSave, C::FilePrint, C::None,
    C::Synchronize, C::EditCopy, C::DeleteSelected, C::None,
    C::PfadeVergleichen, C::FilterAll, C::FilterUnequal, C::FilterSourceToTarget,
    C::FilterTargetToSource, C::FilterEqual, C::None,
    C::AppAbout,
});

// Ctrl+V/Shift+Ins, Ctrl+X/Shift+Del, Ctrl+Z/Alt+Backspace and F6/Shift+F6
// have no handler in this program: they are left to the focused control, so
// a path field still pastes, cuts and undoes.
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
