#include "cli/sync_work_text.h"

#include "fileops/terminal_text.h"
#include "view/value_format.h"

namespace kirvo {
namespace {

std::string Amount(const SyncWork::Counted& counted) {
    return std::to_string(counted.files) + " Dateien, " + FormatTotalSize(static_cast<double>(counted.bytes)) + " (" +
           std::to_string(counted.bytes) + " Byte)";
}

void Heading(std::ostream& out, const char* heading, size_t count) {
    out << heading << " (" << count << " Dateien):\n";
}

void Line(std::ostream& out, const std::string& from, const std::string* to = nullptr) {
    std::string line = "  ";
    AppendDisplayEscaped(line, from);
    if (to != nullptr) {
        line.append(" -> ");
        AppendDisplayEscaped(line, *to);
    }
    out << line << '\n';
}

void Copies(std::ostream& out, const char* heading, const CopyList& list) {
    Heading(out, heading, list.pairs.size());
    for (const CopyPair& pair : list.pairs) Line(out, pair.from.path, &pair.to.path);
}

void Deletes(std::ostream& out, const char* heading, const std::vector<ListedPath>& files) {
    if (files.empty()) return;
    Heading(out, heading, files.size());
    for (const ListedPath& file : files) Line(out, file.path.path);
}

void Moves(std::ostream& out, const char* heading, const std::vector<MovePair>& moves) {
    if (moves.empty()) return;
    Heading(out, heading, moves.size());
    for (const MovePair& move : moves) Line(out, move.from.path, &move.to.path);
}

void Folders(std::ostream& out, const char* heading, const std::vector<RootedPath>& folders) {
    if (folders.empty()) return;
    out << heading << " (" << folders.size() << "):\n";
    for (const RootedPath& folder : folders) Line(out, folder.path);
}

void Outcome(std::ostream& out, const char* what, const char* done, const std::optional<OperationResult>& result) {
    if (!result) return;
    const OperationResult& r = *result;
    out << what << ": " << r.count(FileOutcome::Done) << ' ' << done;
    if (const int32_t n = r.count(FileOutcome::Skipped)) out << ", " << n << " übersprungen";
    if (const int32_t n = r.count(FileOutcome::Failed)) out << ", " << n << " fehlgeschlagen";
    if (const int32_t n = r.count(FileOutcome::Cancelled)) out << ", " << n << " abgebrochen";
    if (const int32_t n = r.trashedCount()) {
        const bool copied = std::string_view(done) == "kopiert";
        out << "; " << n
            << (copied ? (n == 1 ? " ersetzte Datei" : " ersetzte Dateien") : (n == 1 ? " Datei" : " Dateien"))
            << " im Papierkorb";
    }
    out << ".\n";
}

}  // namespace

void WritePlannedWork(const SyncWork& work, bool toTarget, bool toSource, std::ostream& out) {
    Moves(out, "In der Quelle umbenennen", work.moveInSource);
    Moves(out, "Im Ziel umbenennen", work.moveInTarget);
    Deletes(out, "In der Quelle löschen", work.deleteInSource);
    Deletes(out, "Im Ziel löschen", work.deleteInTarget);
    if (toTarget) Copies(out, "Von Quelle nach Ziel", work.toTarget);
    if (toSource) Copies(out, "Von Ziel nach Quelle", work.toSource);
    Folders(out, "Leere Ordner in der Quelle entfernen", work.foldersInSource);
    Folders(out, "Leere Ordner im Ziel entfernen", work.foldersInTarget);
    out << "Geplant:\n";
    const std::pair<const char*, const SyncWork::Counted*> lines[] = {
        {"  von Quelle nach Ziel kopieren: ", toTarget ? &work.copiedToTarget : nullptr},
        {"  von Ziel nach Quelle kopieren: ", toSource ? &work.copiedToSource : nullptr},
        {"  in der Quelle löschen:         ", &work.deletedInSource},
        {"  im Ziel löschen:               ", &work.deletedInTarget},
        {"  in der Quelle umbenennen:      ", &work.movedInSource},
        {"  im Ziel umbenennen:            ", &work.movedInTarget},
    };
    for (const auto& [label, counted] : lines)
        if (counted != nullptr && counted->files > 0) out << label << Amount(*counted) << '\n';
    if (work.empty()) out << "  nichts\n";
}

void WriteSyncOutcome(const SyncOutcome& outcome, std::ostream& out) {
    Outcome(out, "In der Quelle umbenannt", "umbenannt", outcome.movedInSource);
    Outcome(out, "Im Ziel umbenannt", "umbenannt", outcome.movedInTarget);
    Outcome(out, "In der Quelle gelöscht", "gelöscht", outcome.deletedInSource);
    Outcome(out, "Im Ziel gelöscht", "gelöscht", outcome.deletedInTarget);
    Outcome(out, "Von Quelle nach Ziel", "kopiert", outcome.copiedToTarget);
    Outcome(out, "Von Ziel nach Quelle", "kopiert", outcome.copiedToSource);
    const auto folders = [&](const char* what, const std::optional<OperationResult>& result) {
        if (result && result->count(FileOutcome::Done) > 0)
            out << what << ": " << result->count(FileOutcome::Done) << ".\n";
    };
    folders("Leere Ordner in der Quelle entfernt", outcome.foldersInSource);
    folders("Leere Ordner im Ziel entfernt", outcome.foldersInTarget);
}

}  // namespace kirvo
