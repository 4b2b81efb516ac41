#include "cli/sync_report.h"

#include "view/value_format.h"

namespace kirvo {
namespace {

void Add(std::string& text, int32_t n, const char* one, const char* many) {
    if (n == 0) return;
    if (!text.empty()) text += ", ";
    text += std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

int32_t SyncReport::replacedCount() const {
    int32_t n = 0;
    for (const OperationResult* result : {&toTarget, &toSource})
        for (const FileReport& f : result->files) n += f.outcome == FileOutcome::Done && f.replaced ? 1 : 0;
    return n;
}

uint64_t SyncReport::bytesCopied() const {
    uint64_t bytes = 0;
    for (const OperationResult* result : {&toTarget, &toSource})
        for (const FileReport& f : result->files) bytes += f.outcome == FileOutcome::Done ? f.bytes : 0;
    return bytes;
}

std::string SyncReport::Summary() const {
    std::string text;
    if (const int32_t copied = count(FileOutcome::Done)) {
        text = std::to_string(copied) + " kopiert (" + FormatTotalSize(static_cast<double>(bytesCopied())) + ")";
        if (const int32_t replaced = replacedCount()) text += ", davon " + std::to_string(replaced) + " ersetzt";
    }
    if (const std::string problems = Problems(); !problems.empty()) text += (text.empty() ? "" : ", ") + problems;
    if (text.empty()) text = compared ? "nichts zu tun" : "nicht abgeglichen";
    return text;
}

std::string SyncReport::Problems() const {
    std::string text;
    Add(text, static_cast<int32_t>(unknownPlaces.size()), "Ort nicht lesbar", "Orte nicht lesbar");
    Add(text, static_cast<int32_t>(conflicts.size()), "Konflikt", "Konflikte");
    Add(text, count(FileOutcome::Skipped), "übersprungen", "übersprungen");
    Add(text, count(FileOutcome::Failed), "fehlgeschlagen", "fehlgeschlagen");
    Add(text, count(FileOutcome::Cancelled), "abgebrochen", "abgebrochen");
    if (comparedAfter && unequalAfter > 0) Add(text, unequalAfter, "Datei ungleich geblieben", "Dateien ungleich geblieben");
    return text;
}

}  // namespace kirvo
