#include "fileops/file_operation_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/system_time.h"
#include "platform/directory_lister.h"
#include "platform/file_node.h"

namespace kirvo {
namespace {

std::string Quoted(std::string_view text) {
    std::string q = "„";
    q.append(text);
    q.append("“");
    return q;
}

std::string Grouped(uint64_t value) {
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ".");
    return digits;
}

}  // namespace

std::string FileOperationTexts::Reason(std::string_view what, int errorCode) {
    std::string text(what);
    if (errorCode != kNotRegularFile && errorCode != 0) {
        text.append(": ");
        text.append(SystemErrorText(errorCode));
    }
    return text;
}

std::string FileOperationTexts::FolderCreationQuestion(const std::string& folder) {
    return "Der Ordner " + Quoted(folder) + " existiert nicht.\nSoll er angelegt werden?";
}

std::string FileOperationTexts::OverwriteQuestion(const FileFacts& source, const FileFacts& destination,
                                                  bool destinationNewer) {
    std::string text = "Die Datei " + Quoted(destination.path) + " ist schon vorhanden.\n\n";
    text += "Vorhandene Datei: " + Size(destination.size) + ", geändert am " +
            Time(destination.modifiedSeconds) + "\n";
    text += "Neue Datei: " + Size(source.size) + ", geändert am " + Time(source.modifiedSeconds) + "\n";
    text += "(aus " + Quoted(source.path) + ")\n\n";
    if (destinationNewer) text += "Achtung: Die vorhandene Datei ist neuer als die neue Datei.\n";
    text += "Soll die vorhandene Datei ersetzt werden?";
    return text;
}

std::string_view FileOperationTexts::OnSide(TreeSide side) {
    switch (side) {
    case TreeSide::Source: return " in der Quelle";
    case TreeSide::Target: return " im Ziel";
    case TreeSide::None: break;
    }
    return "";
}

std::string FileOperationTexts::DeleteQuestion(const DeleteRequest& request) {
    const std::string how = request.toTrash ? "in den Papierkorb verschoben werden?" : "endgültig gelöscht werden?";
    if (request.count == 1 && request.firstNames.size() == 1)
        return "Soll " + Quoted(request.firstNames[0]) + std::string(OnSide(request.side)) + " " + how;
    std::string text = "Sollen die " + std::to_string(request.count) + " Dateien" + std::string(OnSide(request.side)) +
                       " " + how;
    if (!request.firstNames.empty()) {
        text += "\n";
        for (const std::string& name : request.firstNames) text += "\n" + Quoted(name);
        const auto shown = static_cast<int32_t>(request.firstNames.size());
        if (request.count > shown) text += "\nund " + std::to_string(request.count - shown) + " weitere";
    }
    return text;
}

namespace {

std::string Described(const FileFacts& facts) {
    return FileOperationTexts::Size(facts.size) + ", geändert am " + FileOperationTexts::Time(facts.modifiedSeconds);
}

std::string_view Doing(FileAction action) {
    switch (action) {
    case FileAction::Trash: return "in den Papierkorb verschoben";
    case FileAction::Delete: return "endgültig gelöscht";
    case FileAction::Replace: return "endgültig ersetzt";
    case FileAction::ReplaceKeepingOld: return "ersetzt (die alte Fassung in den Papierkorb)";
    }
    return "";
}

}  // namespace

std::string FileOperationTexts::ChangedQuestion(const ChangedFile& file) {
    std::string text = "Die Datei " + Quoted(file.path) + std::string(OnSide(file.side));
    if (file.listedPresent) {
        text += " wurde seit dem Vergleich geändert.\n\n";
        text += "Beim Vergleich: " + Described(file.listed) + "\n";
    } else {
        text += " ist seit dem Vergleich hinzugekommen.\n\n";
    }
    text += "Jetzt: " + Described(file.now) + "\n";
    if (file.listedPresent && file.listed.size == file.now.size &&
        file.listed.modifiedSeconds == file.now.modifiedSeconds &&
        file.listed.modifiedNanoseconds / 1000000 == file.now.modifiedNanoseconds / 1000000)
        text += "(eine andere Datei gleicher Größe und Zeit)\n";
    text += "\n";
    text += "Soll sie trotzdem " + std::string(Doing(file.action)) + " werden?";
    return text;
}

std::string FileOperationTexts::WithoutTrashQuestion(const std::string& path, TreeSide side, FileAction action,
                                                     const std::string& reason) {
    const bool replacing = action == FileAction::Replace || action == FileAction::ReplaceKeepingOld;
    std::string text = replacing ? "Die vorhandene Datei " : "Die Datei ";
    text += Quoted(path) + std::string(OnSide(side)) + " kann nicht in den Papierkorb: " + reason + ".\n\n";
    text += replacing ? "Soll sie endgültig ersetzt werden?" : "Soll sie endgültig gelöscht werden?";
    return text;
}

std::string FileOperationTexts::MetadataNotice(const std::string& destination, uint32_t notKept) {
    std::string kinds;
    const auto add = [&](uint32_t bit, const char* text) {
        if ((notKept & bit) == 0) return;
        if (!kinds.empty()) kinds += ", ";
        kinds += text;
    };
    add(kMetadataXattrs, "erweiterte Attribute");
    add(kMetadataAcl, "Zugriffslisten (ACL)");
    add(kMetadataOwner, "Besitzer");
    add(kMetadataGroup, "Gruppe");
    add(kMetadataPermissions, "Rechte");
    add(kMetadataTime, "Änderungszeit (auf die Sekunde)");
    // Only what was read back as kept is named as kept.
    std::string kept = "Inhalt";
    const bool time = (notKept & kMetadataTime) == 0, permissions = (notKept & kMetadataPermissions) == 0;
    if (time) kept += permissions ? ", Änderungszeit" : " und Änderungszeit";
    if (permissions) kept += " und Rechte";
    return "In " + Quoted(destination) + " ließ sich nicht alles an den Dateien erhalten: " + kinds + ". " + kept +
           (time || permissions ? " sind kopiert." : " ist kopiert.");
}

std::string FileOperationTexts::ErrorMessage(const std::string& path, const std::string& reason) {
    return Quoted(path) + "\n\n" + reason + ".";
}

std::string FileOperationTexts::ProgressLine(const ProgressInfo& info) {
    std::string line = "Datei " + std::to_string(info.filesDone + 1 > info.filesTotal ? info.filesTotal
                                                                                      : info.filesDone + 1) +
                       " von " + std::to_string(info.filesTotal);
    if (info.bytesTotal > 0) line += " – " + Grouped(info.bytesDone) + " von " + Size(info.bytesTotal);
    return line;
}

std::string FileOperationTexts::TransferLine(const ProgressInfo& info) {
    std::string line = "Datei " + std::to_string(std::min(info.filesDone + 1, info.filesTotal)) + " von " +
                       std::to_string(info.filesTotal);
    if (info.bytesTotal > 0) {
        line += " – " + ReadableSize(static_cast<double>(info.bytesDone)) + " von " +
                ReadableSize(static_cast<double>(info.bytesTotal));
    }
    return line;
}

std::string FileOperationTexts::ReadableSize(double bytes) {
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024) return Size(static_cast<uint64_t>(bytes));
    int unit = 0;
    double value = bytes / 1024;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 100 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    std::string result = text;
    if (const size_t point = result.find('.'); point != std::string::npos) result[point] = ',';
    return result;
}

std::string FileOperationTexts::RateLine(double bytesPerSecond, double secondsLeft) {
    std::string line = ReadableSize(bytesPerSecond) + "/s";
    if (secondsLeft < 0) return line;
    const auto seconds = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(secondsLeft)));
    char left[64];
    if (seconds < 60) {
        std::snprintf(left, sizeof left, "%lld s", static_cast<long long>(seconds));
    } else if (seconds < 3600) {
        std::snprintf(left, sizeof left, "%lld Min. %02lld s", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    } else {
        std::snprintf(left, sizeof left, "%lld Std. %02lld Min.", static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60));
    }
    return line + " – noch etwa " + left;
}

std::string FileOperationTexts::Size(uint64_t bytes) {
    return Grouped(bytes) + (bytes == 1 ? " Byte" : " Bytes");
}

std::string FileOperationTexts::Time(int64_t utcSeconds) {
    const SystemTime t = SystemTimeFromSeconds(utcSeconds + CurrentUtcOffsetSeconds(), 0);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%02u.%02u.%04u %02u:%02u:%02u", t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
    return buffer;
}

}  // namespace kirvo
