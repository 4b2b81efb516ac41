#include "cli/sync_report.h"

#include "view/value_format.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

void Add(std::string& text, int32_t n, const char* one, const char* many) {
    if (n == 0) return;
    if (!text.empty()) text += ", ";
    text += std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

void SyncReport::Done(const SyncOutcome& outcome) {
    refused = outcome.refused;
    refusal = outcome.refusal;
    const std::pair<const std::optional<OperationResult>*, OperationResult*> results[] = {
        {&outcome.copiedToTarget, &toTarget},         {&outcome.copiedToSource, &toSource},
        {&outcome.deletedInSource, &deletedInSource}, {&outcome.deletedInTarget, &deletedInTarget},
        {&outcome.movedInSource, &movedInSource},     {&outcome.movedInTarget, &movedInTarget}};
    for (const auto& [from, into] : results)
        if (*from) *into = **from;
}

int32_t SyncReport::count(FileOutcome outcome) const {
    int32_t n = 0;
    for (const OperationResult* result :
         {&toTarget, &toSource, &deletedInSource, &deletedInTarget, &movedInSource, &movedInTarget})
        n += result->count(outcome);
    return n;
}

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
    if (const int32_t copied = toTarget.count(FileOutcome::Done) + toSource.count(FileOutcome::Done)) {
        text = std::to_string(copied) + Tr(" kopiert (") + FormatTotalSize(static_cast<double>(bytesCopied())) + ")";
        if (const int32_t replaced = replacedCount()) text += Format(Tr(", davon %d ersetzt"), replaced);
    }
    Add(text, movedCount(), Tr("umbenannt"), Tr("umbenannt"));
    Add(text, deletedCount(), Tr("gelöscht"), Tr("gelöscht"));
    if (const std::string problems = Problems(); !problems.empty()) text += (text.empty() ? "" : ", ") + problems;
    if (text.empty()) text = compared ? Tr("nichts zu tun") : Tr("nicht abgeglichen");
    return text;
}

std::string SyncReport::Problems() const {
    std::string text;
    if (refused) {
        text = Tr("abgelehnt: ") + refusal;
        for (char& c : text) c = c == '\n' ? ' ' : c;
    }
    Add(text, static_cast<int32_t>(unknownPlaces.size()), Tr("Ort nicht lesbar"), Tr("Orte nicht lesbar"));
    Add(text, static_cast<int32_t>(conflicts.size()), Tr("Konflikt"), Tr("Konflikte"));
    Add(text, count(FileOutcome::Skipped), Tr("übersprungen"), Tr("übersprungen"));
    Add(text, count(FileOutcome::Failed), Tr("fehlgeschlagen"), Tr("fehlgeschlagen"));
    Add(text, count(FileOutcome::Cancelled), Tr("abgebrochen"), Tr("abgebrochen"));
    if (comparedAfter && unequalAfter > 0) Add(text, unequalAfter, Tr("Datei ungleich geblieben"), Tr("Dateien ungleich geblieben"));
    return text;
}

}  // namespace kirvo
