#include "fileops/operation_summary.h"
#include "platform/translation.h"

#include <algorithm>
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

struct Counts {
    int32_t done = 0;
    int32_t trashed = 0;
    int32_t skipped = 0;
    int32_t notDone = 0;
    void add(const OperationResult& result) {
        done += result.count(FileOutcome::Done);
        trashed += result.trashedCount();
        skipped += result.count(FileOutcome::Skipped);
        notDone += result.count(FileOutcome::Cancelled);
    }
};

}  // namespace

OperationSummary::OperationSummary(Kind kind, std::span<const OperationResult> results)
    : OperationSummary(std::vector<Kind>(results.size(), kind), results, kind) {}

OperationSummary::OperationSummary(std::span<const Kind> kinds, std::span<const OperationResult> results,
                                   Kind command) {
    Counts of[3];  // Copy, Delete, Move
    Counts all;
    for (size_t i = 0; i < results.size() && i < kinds.size(); ++i) {
        of[static_cast<int>(kinds[i])].add(results[i]);
        all.add(results[i]);
        failures_ += results[i].count(FileOutcome::Failed);
    }
    const Counts& copied = of[static_cast<int>(Kind::Copy)];
    const Counts& deleted = of[static_cast<int>(Kind::Delete)];
    const Counts& moved = of[static_cast<int>(Kind::Move)];
    std::vector<std::string> parts;
    if (copied.done > 0) parts.push_back(Part(copied.done, TrN("%i Datei kopiert", "%i Dateien kopiert", copied.done)));
    if (copied.trashed > 0)
        parts.push_back(Part(copied.trashed, TrN("%i ersetzte in den Papierkorb", "%i ersetzte in den Papierkorb", copied.trashed)));
    if (moved.done > 0) parts.push_back(Part(moved.done, TrN("%i Datei umbenannt", "%i Dateien umbenannt", moved.done)));
    if (deleted.trashed > 0)
        parts.push_back(Part(deleted.trashed, TrN("%i Datei in den Papierkorb gelegt", "%i Dateien in den Papierkorb gelegt", deleted.trashed)));
    if (deleted.done > deleted.trashed)
        parts.push_back(Part(deleted.done - deleted.trashed, TrN("%i Datei gelöscht", "%i Dateien gelöscht", deleted.done - deleted.trashed)));
    if (all.skipped > 0) parts.push_back(Part(all.skipped, TrN("%i übersprungen", "%i übersprungen", all.skipped)));
    if (all.notDone > 0) {
        parts.push_back(command == Kind::Delete ? Part(all.notDone, TrN("%i nicht gelöscht", "%i nicht gelöscht", all.notDone))
                                                : Part(all.notDone, TrN("%i nicht kopiert", "%i nicht kopiert", all.notDone)));
    }
    if (failures_ > 0) parts.push_back(Part(failures_, TrN("%i Fehler", "%i Fehler", failures_)));
    if (parts.empty()) {
        text_ = command == Kind::Delete ? Tr("Nichts gelöscht") : Tr("Nichts kopiert");
        return;
    }
    for (const std::string& part : parts) text_ += (text_.empty() ? "" : ", ") + part;
}

}  // namespace kirvo
