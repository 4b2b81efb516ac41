#include "fileops/operation_summary.h"

#include <algorithm>
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
    if (copied.done > 0) parts.push_back(Part(copied.done, "%i Datei kopiert", "%i Dateien kopiert"));
    if (copied.trashed > 0)
        parts.push_back(Part(copied.trashed, "%i ersetzte in den Papierkorb", "%i ersetzte in den Papierkorb"));
    if (moved.done > 0) parts.push_back(Part(moved.done, "%i Datei umbenannt", "%i Dateien umbenannt"));
    if (deleted.trashed > 0)
        parts.push_back(Part(deleted.trashed, "%i Datei in den Papierkorb gelegt", "%i Dateien in den Papierkorb gelegt"));
    if (deleted.done > deleted.trashed)
        parts.push_back(Part(deleted.done - deleted.trashed, "%i Datei gelöscht", "%i Dateien gelöscht"));
    if (all.skipped > 0) parts.push_back(Part(all.skipped, "%i übersprungen", "%i übersprungen"));
    if (all.notDone > 0) {
        parts.push_back(command == Kind::Delete ? Part(all.notDone, "%i nicht gelöscht", "%i nicht gelöscht")
                                                : Part(all.notDone, "%i nicht kopiert", "%i nicht kopiert"));
    }
    if (failures_ > 0) parts.push_back(Part(failures_, "%i Fehler", "%i Fehler"));
    if (parts.empty()) {
        text_ = command == Kind::Delete ? "Nichts gelöscht" : "Nichts kopiert";
        return;
    }
    for (const std::string& part : parts) text_ += (text_.empty() ? "" : ", ") + part;
}

}  // namespace kirvo
