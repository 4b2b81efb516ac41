#include "fileops/file_operation_texts.h"

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

std::string FileOperationTexts::DeleteQuestion(int32_t count) {
    if (count == 1) return "Soll die Datei endgültig gelöscht werden?";
    return "Sollen die " + std::to_string(count) + " Dateien endgültig gelöscht werden?";
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
