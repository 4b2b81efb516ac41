#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "fileops/file_operation_ui.h"
#include "platform/translation.h"

namespace kirvo {

// The wording of the file operations' questions and reports, shared by the
// window's dialogs and the terminal UI of kirvo-cli. Paths stay byte strings;
// a UI converts them for display.
struct FileOperationTexts {
    static constexpr std::string_view kTitle = "Kirvo";

    // Buttons of the questions (ConfirmAnswer) and of the error report (ErrorAnswer).
    static constexpr std::string_view kYes = TrNoop("Ja");
    static constexpr std::string_view kYesToAll = TrNoop("Ja, alle");
    static constexpr std::string_view kNo = TrNoop("Nein");
    static constexpr std::string_view kCancel = TrNoop("Abbrechen");
    static constexpr std::string_view kOk = "OK";
    static constexpr std::string_view kRetry = TrNoop("Wiederholen");
    static constexpr std::string_view kSkip = TrNoop("Überspringen");
    static constexpr std::string_view kSkipAll = TrNoop("Alle überspringen");

    // Texts in the German source, marked for translation (Tr() where shown).

    // What went wrong; Reason() translates it and adds the system's text.
    static constexpr std::string_view kSourceMissing = TrNoop("Die Quelldatei ist nicht mehr vorhanden");
    static constexpr std::string_view kSourceNotFile = TrNoop("Die Quelle ist keine normale Datei");
    static constexpr std::string_view kSourceChanged =
        TrNoop("Die Quelldatei wurde während des Kopierens geändert; nichts wurde ersetzt");
    static constexpr std::string_view kSourceUnreadable = TrNoop("Die Quelldatei kann nicht gelesen werden");
    static constexpr std::string_view kFolderUnusable = TrNoop("Der Zielordner kann nicht geprüft werden");
    static constexpr std::string_view kSourceFolderUnusable = TrNoop("Der Quellordner kann nicht geöffnet werden");
    // A folder between the root and the file is a link (perhaps swapped in since the comparison).
    static constexpr std::string_view kLinkOnTheWay =
        TrNoop("Ein Ordner auf dem Weg ist eine Verknüpfung; ihr wird nicht gefolgt, nichts wurde geändert");
    // "." or ".." in a path: it would lead back up instead of down.
    static constexpr std::string_view kDotOnTheWay =
        TrNoop("Ein Name auf dem Weg ist „.“ oder „..“; ihm wird nicht gefolgt, nichts wurde geändert");
    static constexpr std::string_view kFolderIsFile = TrNoop("Der Zielordner ist eine Datei");
    static constexpr std::string_view kCannotMakeFolder = TrNoop("Der Ordner kann nicht angelegt werden");
    static constexpr std::string_view kDestinationUnusable = TrNoop("Die Zieldatei kann nicht geprüft werden");
    static constexpr std::string_view kDestinationIsFolder = TrNoop("Das Ziel ist ein Ordner");
    static constexpr std::string_view kDestinationNotFile = TrNoop("Das Ziel ist keine normale Datei");
    static constexpr std::string_view kDestinationOddLink =
        TrNoop("Das Ziel ist eine Verknüpfung, die auf keine Datei zeigt");
    static constexpr std::string_view kCannotCreate = TrNoop("Die Zieldatei kann nicht angelegt werden");
    static constexpr std::string_view kCopyFailed = TrNoop("Die Datei kann nicht kopiert werden");
    static constexpr std::string_view kCannotWrite = TrNoop("Die Zieldatei kann nicht fertig geschrieben werden");
    // A copy read back from the disk that is not what was read from its source.
    static constexpr std::string_view kCopyDamaged = TrNoop("Kopie fehlerhaft");
    static constexpr std::string_view kNotVerifiedThere =
        TrNoop("Kopien auf einem anderen Rechner werden nicht zurückgelesen; sie sind nicht geprüft.");
    static constexpr std::string_view kDeleteMissing = TrNoop("Die Datei ist nicht mehr vorhanden");
    static constexpr std::string_view kDeleteFolder = TrNoop("Ordner werden nicht gelöscht");
    static constexpr std::string_view kCannotDelete = TrNoop("Die Datei kann nicht gelöscht werden");
    static constexpr std::string_view kDestinationChanged =
        TrNoop("Die Zieldatei wurde während des Kopierens geändert; nichts wurde ersetzt");
    static constexpr std::string_view kCannotTrash = TrNoop("Die Datei kann nicht in den Papierkorb verschoben werden");
    static constexpr std::string_view kCannotMove = TrNoop("Die Datei kann nicht umbenannt werden");
    static constexpr std::string_view kMoveTaken =
        TrNoop("Unter dem neuen Namen liegt schon etwas; nichts wurde umbenannt");
    static constexpr std::string_view kCannotRemoveFolder = TrNoop("Der Ordner kann nicht entfernt werden");
    static constexpr std::string_view kFolderNotEmpty = TrNoop("Der Ordner ist nicht leer; er bleibt");
    static constexpr std::string_view kFolderGone = TrNoop("Der Ordner ist nicht mehr vorhanden");
    static constexpr std::string_view kRemoteToRemote =
        TrNoop("Von einem entfernten Rechner auf einen entfernten Rechner wird nicht kopiert");
    static constexpr std::string_view kLinkNotCopiedThere =
        TrNoop("Die Verknüpfung kann dort nicht als Verknüpfung angelegt werden");
    // Why a file was skipped (FileReport::reason).
    static constexpr std::string_view kFolderDeclined = TrNoop("Der Zielordner wurde nicht angelegt");
    static constexpr std::string_view kOverwriteDeclined = TrNoop("Die vorhandene Datei wurde nicht ersetzt");
    static constexpr std::string_view kChangedKept = TrNoop("Seit dem Vergleich geändert; die Datei blieb, wie sie ist");
    static constexpr std::string_view kNoTrashKept = TrNoop("Kein Papierkorb verwendbar; die Datei blieb, wie sie ist");
    static constexpr std::string_view kNotDurable =
        TrNoop("Die Kopien sind an ihrem Platz, doch ihre Ordner ließen sich nicht auf den Datenträger schreiben; "
               "nach einem Absturz können sie fehlen");

    // "<what>: <system text>"
    static std::string Reason(std::string_view what, int errorCode);

    static std::string FolderCreationQuestion(const std::string& folder);
    static std::string OverwriteQuestion(const FileFacts& source, const FileFacts& destination,
                                         bool destinationNewer);
    static std::string DeleteQuestion(const DeleteRequest& request);
    static std::string ChangedQuestion(const ChangedFile& file);
    static std::string WithoutTrashQuestion(const std::string& path, TreeSide side, FileAction action,
                                            const std::string& reason);
    // The notice for a destination that could not keep some metadata (MetadataKind bits).
    static std::string MetadataNotice(const std::string& destination, uint32_t notKept);
    // " in der Quelle", " im Ziel", "" for no side.
    static std::string_view OnSide(TreeSide side);
    static std::string ErrorMessage(const std::string& path, const std::string& reason);
    // "Datei 3 von 10 – 1048576 von 4194304 Bytes" (numbers as value_text.h writes them)
    static std::string ProgressLine(const ProgressInfo& info);
    // The same with sizes a person reads at a glance: "Datei 3 von 10 – 820.0 MB von 2.0 GB".
    static std::string TransferLine(const ProgressInfo& info);
    // "45.3 MB/s – noch etwa 18 s"; without the time when it is not known (negative).
    static std::string RateLine(double bytesPerSecond, double secondsLeft);
    // "820.0 MB", "2.0 GB", "512 Bytes": SizeText, as the list's totals.
    static std::string ReadableSize(double bytes);
    // While the copies are written to the disk before they are renamed into place.
    static constexpr std::string_view kFlushing = TrNoop("Schreibe auf den Datenträger …");

    // "1234567 Bytes"
    static std::string Size(uint64_t bytes);
    // Local time "7.12.2026 10:11:12"
    static std::string Time(int64_t utcSeconds);
};

}  // namespace kirvo
