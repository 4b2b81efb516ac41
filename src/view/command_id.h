#pragma once

namespace kirvo {

// Command identifiers of the menus, the toolbar, the accelerators and the bar
// buttons. The numbers are the program's resource numbers; handlers, update
// rules and tests refer to commands by them.
enum class CommandId : int {
    None = 0,

    // Path bar buttons, also in "E&xtras".
    BrowseSource = 1003,
    BrowseTarget = 1004,

    // Comparison, filters, file operations.
    PfadeVergleichen = 32775,
    CancelComparison = 32822,  // "Abbrechen" while the comparison reads the folders
    FilterAll = 32783,
    FilterUnequal = 32785,
    FilterSourceToTarget = 32786,
    FilterTargetToSource = 32787,
    FilterEqual = 32788,
    DeleteSelected = 32789,
    SelectAll = 32791,
    StatusNotice = 32792,
    Synchronize = 32794,
    EditCopy = 57634,

    // Options.
    OptionVorLoeschen = 32796,
    OptionVorUeberschreiben = 32797,
    OptionVorDir = 32798,
    OptionSubOrdner = 32806,
    OptionBeep = 32808,
    ViewOutputBar = 32809,
    OptionSystemOrdner = 32810,
    OptionOneSecond = 32811,
    OptionUeber5000 = 32812,
    OptionPapierkorb = 32813,

    // The log of the file operations.
    ShowLog = 32814,

    // Include and exclude patterns of the scan.
    FilterPatterns = 32815,

    // "Vergleichen nach": what makes two files equal ([Optionen] Vergleich 0, 1, 2).
    CompareByTime = 32816,
    CompareByTimeAndSize = 32817,
    CompareByContent = 32818,
    OptionStunde = 32819,  // "Eine Stunde Unterschied ignorieren"

    // Copying the selected rows in a chosen direction, whatever their arrows.
    CopyToTarget = 32820,  // "Nach rechts kopieren"
    CopyToSource = 32821,  // "Nach links kopieren"

    // The path fields' texts change places.
    SwapPaths = 32823,  // "Quelle und Ziel tauschen"

    // One file or folder of the list (the row of the context menu, or the
    // current row for Enter and double-click).
    CompareFiles = 32824,       // "Dateien vergleichen"
    OpenFile = 32825,           // "Öffnen"
    ShowInFileManager = 32826,  // "Im Dateimanager zeigen"
    CopyPath = 32827,           // "Pfad kopieren"
    ExcludePath = 32828,        // "Ausschließen"

    // A run of copying or deleting taken back as a whole.
    UndoLastRun = 32862,  // "Letzten Abgleich rückgängig machen"

    // Jobs: the pair and its settings saved under a name, run by themselves.
    SaveJob = 32842,  // "Auftrag speichern ..."
    ShowJobs = 32843, // "Aufträge"

    // "Abgleichen als": how "Dateien abgleichen" works ([Optionen] Abgleich 0, 1, 2).
    SyncModeUpdate = 32882,  // "Neuere kopieren"
    SyncModeMirror = 32883,  // "Spiegeln"
    SyncModeTwoWay = 32884,  // "In beide Richtungen mit Gedächtnis"
    // "Verknüpfungen": what a symbolic link is ([Optionen] Verknuepfungen follow, copy, skip).
    LinksFollow = 32902,
    LinksCopy = 32903,
    LinksSkip = 32904,
    OptionPruefen = 32905,  // "Kopien prüfen"
    VerifyContents = 32906,  // "Inhalt prüfen": both sides read whole against their recorded hashes

    // Framework commands.
    FileNew = 57600,
    FileOpen = 57601,
    FileSave = 57603,
    FileSaveAs = 57604,
    FilePrintSetup = 57606,
    FilePrint = 57607,
    FilePrintPreview = 57609,
    FileMru1 = 57616,
    EditCut = 57635,
    EditPaste = 57637,
    EditUndo = 57643,
    AppAbout = 57664,
    AppExit = 57665,
    HelpFinder = 57667,
    ContextHelp = 57669,
    Help = 57670,
    DefaultHelp = 57671,
    NextPane = 57680,
    PrevPane = 57681,
    ViewToolbar = 59392,
    ViewStatusBar = 59393,
};

constexpr int ToInt(CommandId id) { return static_cast<int>(id); }

}  // namespace kirvo
