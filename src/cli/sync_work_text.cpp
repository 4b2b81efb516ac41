#include "cli/sync_work_text.h"

#include "fileops/terminal_text.h"
#include "view/value_format.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

std::string Amount(const SyncWork::Counted& counted) {
    return Format(TrN("%d Dateien, %s (%d Byte)", "%d Dateien, %s (%d Byte)", static_cast<uint64_t>(counted.files)),
                  counted.files, FormatTotalSize(static_cast<double>(counted.bytes)), counted.bytes);
}

void Heading(std::ostream& out, const char* heading, size_t count) {
    out << heading << Format(TrN(" (%d Dateien):\n", " (%d Dateien):\n", count), count);
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

// One request's line, counted as the run's summary and the log count:
// "Von Quelle nach Ziel: 2 kopiert, 1 ersetzt; 1 ersetzte Datei im Papierkorb."
void Outcome(std::ostream& out, const char* what, const RunResult& result, RunResult::Request kind, TreeSide side) {
    const OperationResult* r = result.Find(kind, side);
    if (r == nullptr) return;
    RunResult one;
    one.Add(kind, side, *r);
    const RunCounts counts = one.Counts();
    out << what << ": " << (counts.done() + counts.skipped() + counts.failed() > 0 ? counts.text() : "0");
    if (const int32_t n = r->count(FileOutcome::Cancelled)) out << ", " << n << Tr(" abgebrochen");
    if (const int32_t n = kind == RunResult::Request::Copy ? r->trashedCount() : 0)
        out << "; " << n << (n == 1 ? Tr(" ersetzte Datei") : Tr(" ersetzte Dateien")) << Tr(" im Papierkorb");
    out << ".\n";
}

}  // namespace

void WritePlannedWork(const SyncWork& work, bool toTarget, bool toSource, std::ostream& out) {
    Moves(out, Tr("In der Quelle umbenennen"), work.moveInSource);
    Moves(out, Tr("Im Ziel umbenennen"), work.moveInTarget);
    Deletes(out, Tr("In der Quelle löschen"), work.deleteInSource);
    Deletes(out, Tr("Im Ziel löschen"), work.deleteInTarget);
    if (toTarget) Copies(out, Tr("Von Quelle nach Ziel"), work.toTarget);
    if (toSource) Copies(out, Tr("Von Ziel nach Quelle"), work.toSource);
    Folders(out, Tr("Ordner in der Quelle entfernen"), work.foldersInSource);
    Folders(out, Tr("Ordner im Ziel entfernen"), work.foldersInTarget);
    Folders(out, Tr("Ordner in der Quelle anlegen"), work.newFoldersInSource);
    Folders(out, Tr("Ordner im Ziel anlegen"), work.newFoldersInTarget);
    out << Tr("Geplant:\n");
    const std::pair<const char*, const SyncWork::Counted*> lines[] = {
        {Tr("  von Quelle nach Ziel kopieren: "), toTarget ? &work.copiedToTarget : nullptr},
        {Tr("  von Ziel nach Quelle kopieren: "), toSource ? &work.copiedToSource : nullptr},
        {Tr("  in der Quelle löschen:         "), &work.deletedInSource},
        {Tr("  im Ziel löschen:               "), &work.deletedInTarget},
        {Tr("  in der Quelle umbenennen:      "), &work.movedInSource},
        {Tr("  im Ziel umbenennen:            "), &work.movedInTarget},
    };
    for (const auto& [label, counted] : lines)
        if (counted != nullptr && counted->files > 0) out << label << Amount(*counted) << '\n';
    if (work.empty()) out << Tr("  nichts\n");
}

void WriteSyncOutcome(const RunResult& result, std::ostream& out) {
    using Request = RunResult::Request;
    Outcome(out, Tr("In der Quelle umbenannt"), result, Request::Move, TreeSide::Source);
    Outcome(out, Tr("Im Ziel umbenannt"), result, Request::Move, TreeSide::Target);
    Outcome(out, Tr("In der Quelle gelöscht"), result, Request::Delete, TreeSide::Source);
    Outcome(out, Tr("Im Ziel gelöscht"), result, Request::Delete, TreeSide::Target);
    Outcome(out, Tr("Von Quelle nach Ziel"), result, Request::Copy, TreeSide::Target);
    Outcome(out, Tr("Von Ziel nach Quelle"), result, Request::Copy, TreeSide::Source);
    Outcome(out, Tr("Ordner in der Quelle"), result, Request::RemoveFolders, TreeSide::Source);
    Outcome(out, Tr("Ordner im Ziel"), result, Request::RemoveFolders, TreeSide::Target);
    Outcome(out, Tr("Ordner in der Quelle"), result, Request::MakeFolders, TreeSide::Source);
    Outcome(out, Tr("Ordner im Ziel"), result, Request::MakeFolders, TreeSide::Target);
}

}  // namespace kirvo
