#include "fileops/file_operation_texts.h"

#include <algorithm>
#include <cmath>

#include "engine/system_time.h"
#include "platform/directory_lister.h"
#include "platform/file_node.h"
#include "platform/translation.h"
#include "platform/value_text.h"

namespace kirvo {
namespace {

std::string Quoted(std::string_view text) {
    // TRANSLATORS: the quotation marks around a name in a message.
    return Format(Tr("„%s“"), text);
}

}  // namespace

std::string FileOperationTexts::Reason(std::string_view what, int errorCode) {
    std::string text(Tr(what));
    if (errorCode != kNotRegularFile && errorCode != 0) {
        text.append(": ");
        text.append(SystemErrorText(errorCode));
    }
    return text;
}

std::string FileOperationTexts::FolderCreationQuestion(const std::string& folder) {
    return Tr("Der Ordner ") + Quoted(folder) + Tr(" existiert nicht.\nSoll er angelegt werden?");
}

std::string FileOperationTexts::OverwriteQuestion(const FileFacts& source, const FileFacts& destination,
                                                  bool destinationNewer) {
    std::string text = Tr("Die Datei ") + Quoted(destination.path) + Tr(" ist schon vorhanden.\n\n");
    text += Tr("Vorhandene Datei: ") + Size(destination.size) + Tr(", geändert am ") +
            Time(destination.modifiedSeconds) + "\n";
    text += Tr("Neue Datei: ") + Size(source.size) + Tr(", geändert am ") + Time(source.modifiedSeconds) + "\n";
    text += Format(Tr("(aus %s)\n\n"), Quoted(source.path));
    if (destinationNewer) text += Tr("Achtung: Die vorhandene Datei ist neuer als die neue Datei.\n");
    text += Tr("Soll die vorhandene Datei ersetzt werden?");
    return text;
}

std::string_view FileOperationTexts::OnSide(TreeSide side) {
    switch (side) {
    case TreeSide::Source: return Tr(" in der Quelle");
    case TreeSide::Target: return Tr(" im Ziel");
    case TreeSide::None: break;
    }
    return "";
}

std::string FileOperationTexts::DeleteQuestion(const DeleteRequest& request) {
    const auto count = static_cast<uint64_t>(request.count);
    if (request.count == 1 && request.firstNames.size() == 1)
        return Format(request.toTrash ? Tr("Soll %s%s in den Papierkorb verschoben werden?")
                                      : Tr("Soll %s%s endgültig gelöscht werden?"),
                      Quoted(request.firstNames[0]), OnSide(request.side));
    std::string text =
        Format(request.toTrash ? TrN("Soll die %d Datei%s in den Papierkorb verschoben werden?",
                                     "Sollen die %d Dateien%s in den Papierkorb verschoben werden?", count)
                               : TrN("Soll die %d Datei%s endgültig gelöscht werden?",
                                     "Sollen die %d Dateien%s endgültig gelöscht werden?", count),
               request.count, OnSide(request.side));
    if (!request.firstNames.empty()) {
        text += "\n";
        for (const std::string& name : request.firstNames) text += "\n" + Quoted(name);
        const auto shown = static_cast<int32_t>(request.firstNames.size());
        if (request.count > shown) text += Format(Tr("\nund %d weitere"), request.count - shown);
    }
    return text;
}

namespace {

std::string Described(const FileFacts& facts) {
    return FileOperationTexts::Size(facts.size) + Tr(", geändert am ") + FileOperationTexts::Time(facts.modifiedSeconds);
}

std::string_view Doing(FileAction action) {
    switch (action) {
    case FileAction::Trash: return Tr("in den Papierkorb verschoben");
    case FileAction::Delete: return Tr("endgültig gelöscht");
    case FileAction::Replace: return Tr("endgültig ersetzt");
    case FileAction::ReplaceKeepingOld: return Tr("ersetzt (die alte Fassung in den Papierkorb)");
    }
    return "";
}

}  // namespace

std::string FileOperationTexts::ChangedQuestion(const ChangedFile& file) {
    std::string text = Tr("Die Datei ") + Quoted(file.path) + std::string(OnSide(file.side));
    if (file.listedPresent) {
        text += Tr(" wurde seit dem Vergleich geändert.\n\n");
        text += Tr("Beim Vergleich: ") + Described(file.listed) + "\n";
    } else {
        text += Tr(" ist seit dem Vergleich hinzugekommen.\n\n");
    }
    text += Tr("Jetzt: ") + Described(file.now) + "\n";
    if (file.listedPresent && file.listed.size == file.now.size &&
        file.listed.modifiedSeconds == file.now.modifiedSeconds &&
        file.listed.modifiedNanoseconds / 1000000 == file.now.modifiedNanoseconds / 1000000)
        text += Tr("(eine andere Datei gleicher Größe und Zeit)\n");
    text += "\n";
    text += Format(Tr("Soll sie trotzdem %s werden?"), Doing(file.action));
    return text;
}

std::string FileOperationTexts::WithoutTrashQuestion(const std::string& path, TreeSide side, FileAction action,
                                                     const std::string& reason) {
    const bool replacing = action == FileAction::Replace || action == FileAction::ReplaceKeepingOld;
    std::string text = replacing ? Tr("Die vorhandene Datei ") : Tr("Die Datei ");
    text += Quoted(path) + std::string(OnSide(side)) + Tr(" kann nicht in den Papierkorb: ") + reason + ".\n\n";
    text += replacing ? Tr("Soll sie endgültig ersetzt werden?") : Tr("Soll sie endgültig gelöscht werden?");
    return text;
}

std::string FileOperationTexts::MetadataNotice(const std::string& destination, uint32_t notKept) {
    std::string kinds;
    const auto add = [&](uint32_t bit, const char* text) {
        if ((notKept & bit) == 0) return;
        if (!kinds.empty()) kinds += ", ";
        kinds += text;
    };
    add(kMetadataXattrs, Tr("erweiterte Attribute"));
    add(kMetadataAcl, Tr("Zugriffslisten (ACL)"));
    add(kMetadataOwner, Tr("Besitzer"));
    add(kMetadataGroup, Tr("Gruppe"));
    add(kMetadataPermissions, Tr("Rechte"));
    add(kMetadataTime, Tr("Änderungszeit (auf die Sekunde)"));
    // Only what was read back as kept is named as kept.
    std::string kept = Tr("Inhalt");
    const bool time = (notKept & kMetadataTime) == 0, permissions = (notKept & kMetadataPermissions) == 0;
    if (time) kept += permissions ? Tr(", Änderungszeit") : Tr(" und Änderungszeit");
    if (permissions) kept += Tr(" und Rechte");
    return "In " + Quoted(destination) + Tr(" ließ sich nicht alles an den Dateien erhalten: ") + kinds + ". " + kept +
           (time || permissions ? Tr(" sind kopiert.") : Tr(" ist kopiert."));
}

std::string FileOperationTexts::ErrorMessage(const std::string& path, const std::string& reason) {
    return Quoted(path) + "\n\n" + reason + ".";
}

std::string FileOperationTexts::ProgressLine(const ProgressInfo& info) {
    std::string line = Format(Tr("Datei %d von %d"),
                              info.filesDone + 1 > info.filesTotal ? info.filesTotal : info.filesDone + 1, info.filesTotal);
    if (info.bytesTotal > 0) line += Format(Tr(" – %s von %s"), CountText(info.bytesDone), Size(info.bytesTotal));
    return line;
}

std::string FileOperationTexts::TransferLine(const ProgressInfo& info) {
    std::string line = Format(Tr("Datei %d von %d"), std::min(info.filesDone + 1, info.filesTotal), info.filesTotal);
    if (info.bytesTotal > 0) {
        line += Format(Tr(" – %s von %s"), ReadableSize(static_cast<double>(info.bytesDone)),
                       ReadableSize(static_cast<double>(info.bytesTotal)));
    }
    return line;
}

std::string FileOperationTexts::ReadableSize(double bytes) { return SizeText(bytes); }

std::string FileOperationTexts::RateLine(double bytesPerSecond, double secondsLeft) {
    std::string line = ReadableSize(bytesPerSecond) + "/s";
    if (secondsLeft < 0) return line;
    const auto seconds = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(secondsLeft)));
    const auto twoDigits = [](int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    std::string left;
    if (seconds < 60) {
        left = Format(Tr("%d s"), seconds);
    } else if (seconds < 3600) {
        left = Format(Tr("%d Min. %s s"), seconds / 60, twoDigits(seconds % 60));
    } else {
        left = Format(Tr("%d Std. %s Min."), seconds / 3600, twoDigits(seconds / 60 % 60));
    }
    return line + Tr(" – noch etwa ") + left;
}

std::string FileOperationTexts::Size(uint64_t bytes) {
    return ByteCountText(bytes);
}

std::string FileOperationTexts::Time(int64_t utcSeconds) {
    const SystemTime t = SystemTimeFromSeconds(utcSeconds + CurrentUtcOffsetSeconds(), 0);
    std::string text;
    AppendDateText(text, t.year, t.month, t.day, t.hour, t.minute, t.second, false);
    return text;
}

}  // namespace kirvo
