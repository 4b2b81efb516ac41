#include "fileops/operation_summary.h"
#include "platform/translation.h"

#include <cstdio>
#include <vector>

namespace kirvo {
namespace {

// One part of the line: the count and the words for one file or several.
// `format` is the form for `count` (TrN), with one %i.
std::string Part(int32_t count, const char* format) {
    char text[160];
    std::snprintf(text, sizeof text, format, count);
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
        if (done > 0) parts.push_back(Part(done, TrN("%i Datei kopiert", "%i Dateien kopiert", done)));
        if (trashed > 0) parts.push_back(Part(trashed, TrN("%i ersetzte in den Papierkorb", "%i ersetzte in den Papierkorb", trashed)));
    } else {
        if (trashed > 0)
            parts.push_back(Part(trashed, TrN("%i Datei in den Papierkorb gelegt", "%i Dateien in den Papierkorb gelegt", trashed)));
        if (done > trashed) parts.push_back(Part(done - trashed, TrN("%i Datei gelöscht", "%i Dateien gelöscht", done - trashed)));
    }
    if (skipped > 0) parts.push_back(Part(skipped, TrN("%i übersprungen", "%i übersprungen", skipped)));
    if (notDone > 0) {
        parts.push_back(kind == Kind::Copy ? Part(notDone, TrN("%i nicht kopiert", "%i nicht kopiert", notDone))
                                           : Part(notDone, TrN("%i nicht gelöscht", "%i nicht gelöscht", notDone)));
    }
    if (failures_ > 0) parts.push_back(Part(failures_, TrN("%i Fehler", "%i Fehler", failures_)));
    if (parts.empty()) {
        text_ = kind == Kind::Copy ? Tr("Nichts kopiert") : Tr("Nichts gelöscht");
        return;
    }
    for (const std::string& part : parts) text_ += (text_.empty() ? "" : ", ") + part;
}

}  // namespace kirvo
