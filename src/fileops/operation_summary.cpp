#include "fileops/operation_summary.h"

#include <cstdio>
#include <vector>

namespace kirvo {
namespace {

// One part of the line: the count and the words for one file or several.
std::string Part(int32_t count, const char* one, const char* several) {
    char text[160];
    std::snprintf(text, sizeof text, count == 1 ? one : several, count);
    return text;
}

}  // namespace

OperationSummary::OperationSummary(Kind kind, std::span<const OperationResult> results) {
    int32_t done = 0;
    int32_t trashed = 0;
    int32_t skipped = 0;
    int32_t notDone = 0;
    for (const OperationResult& result : results) {
        done += result.count(FileOutcome::Done);
        trashed += result.trashedCount();
        skipped += result.count(FileOutcome::Skipped);
        notDone += result.count(FileOutcome::Cancelled);
        failures_ += result.count(FileOutcome::Failed);
    }
    std::vector<std::string> parts;
    if (kind == Kind::Copy) {
        if (done > 0) parts.push_back(Part(done, "%i Datei kopiert", "%i Dateien kopiert"));
        if (trashed > 0) parts.push_back(Part(trashed, "%i ersetzte in den Papierkorb", "%i ersetzte in den Papierkorb"));
    } else {
        if (trashed > 0)
            parts.push_back(Part(trashed, "%i Datei in den Papierkorb gelegt", "%i Dateien in den Papierkorb gelegt"));
        if (done > trashed) parts.push_back(Part(done - trashed, "%i Datei gelöscht", "%i Dateien gelöscht"));
    }
    if (skipped > 0) parts.push_back(Part(skipped, "%i übersprungen", "%i übersprungen"));
    if (notDone > 0) {
        parts.push_back(kind == Kind::Copy ? Part(notDone, "%i nicht kopiert", "%i nicht kopiert")
                                           : Part(notDone, "%i nicht gelöscht", "%i nicht gelöscht"));
    }
    if (failures_ > 0) parts.push_back(Part(failures_, "%i Fehler", "%i Fehler"));
    if (parts.empty()) {
        text_ = kind == Kind::Copy ? "Nichts kopiert" : "Nichts gelöscht";
        return;
    }
    for (const std::string& part : parts) text_ += (text_.empty() ? "" : ", ") + part;
}

}  // namespace kirvo
