#include "app/run_result.h"

#include "engine/tree_matcher.h"
#include "fileops/operation_log.h"
#include "platform/translation.h"
#include "sync/sync_session.h"
#include "view/display_filter.h"

namespace kirvo {
namespace {

// The log's word for what a request did to one file, so that the counts are
// made by the rules the log's lines are counted by.
void CountFile(RunCounts& counts, RunResult::Request kind, const FileReport& file, bool folder) {
    using Log = OperationLog;
    std::string_view action;
    switch (kind) {
    case RunResult::Request::Copy: action = file.replaced ? Log::kReplaced : Log::kCopied; break;
    case RunResult::Request::Delete: action = file.trashedTo.empty() ? Log::kDeleted : Log::kTrashed; break;
    case RunResult::Request::Move: action = folder ? Log::kFolderMoved : Log::kMoved; break;
    case RunResult::Request::RemoveFolders: action = Log::kFolderRemoved; break;
    case RunResult::Request::MakeFolders: action = Log::kFolderMade; break;
    }
    switch (file.outcome) {
    case FileOutcome::Done:
        // Each folder made is counted where it was made (foldersMade), one
        // that stood there already not at all, as in the log.
        if (kind == RunResult::Request::MakeFolders) break;
        // A replaced version's way into the trash comes first, as in the log.
        if (kind == RunResult::Request::Copy && !file.trashedTo.empty()) counts.add(Log::kTrashed, Log::kOk);
        counts.add(action, Log::kOk, kind == RunResult::Request::Copy ? std::string_view(file.trashedTo) : "");
        break;
    case FileOutcome::Skipped: counts.add(action, Log::kSkippedPrefix); break;
    case FileOutcome::Failed: counts.add(action, Log::kFailedPrefix); break;
    case FileOutcome::Cancelled: break;  // not done, and not in the log
    }
}

void Join(std::string& text, const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += ", ";
    text += part;
}

uint64_t N(size_t n) { return static_cast<uint64_t>(n); }
uint64_t N(int32_t n) { return n > 0 ? static_cast<uint64_t>(n) : 0; }

// "1 Konflikt („g.txt“)" or "3 Konflikte („a.txt“ …)"; `form` is TrN's for their number.
std::string Named(const std::vector<NamedFile>& files, const char* form) {
    if (files.empty()) return {};
    return Format(form, files.size()) + " („" + files.front().path + "“" + (files.size() > 1 ? " …)" : ")");
}

std::string Counted(int32_t n, const char* form) { return n > 0 ? Format(form, n) : std::string(); }

}  // namespace

void RunResult::Add(Request kind, TreeSide side, OperationResult result, std::vector<bool> folders) {
    done.push_back({kind, side, std::move(result), std::move(folders)});
}

const OperationResult* RunResult::Find(Request kind, TreeSide side) const {
    for (const Done& d : done)
        if (d.kind == kind && d.side == side) return &d.result;
    return nullptr;
}

bool RunResult::cancelled() const {
    for (const Done& d : done)
        if (d.result.cancelled) return true;
    return false;
}

RunCounts RunResult::Counts() const {
    RunCounts counts;
    for (const Done& d : done) {
        for (size_t i = 0; i < d.result.files.size(); ++i)
            CountFile(counts, d.kind, d.result.files[i], i < d.folders.size() && d.folders[i]);
        for (int32_t i = 0; i < d.result.foldersMade; ++i) counts.add(OperationLog::kFolderMade, OperationLog::kOk);
    }
    return counts;
}

int32_t RunResult::Count(FileOutcome outcome) const {
    int32_t n = 0;
    for (const Done& d : done) n += d.result.count(outcome);
    return n;
}

uint64_t RunResult::BytesCopied() const {
    uint64_t bytes = 0;
    for (const Done& d : done)
        if (d.kind == Request::Copy)
            for (const FileReport& f : d.result.files) bytes += f.outcome == FileOutcome::Done ? f.bytes : 0;
    return bytes;
}

void RunResult::Planned(const SyncSession& session, const TreeMatcher& matcher) {
    compared = true;
    conflicts.clear();
    unknownPlaces.assign(matcher.unknownPlaces().begin(), matcher.unknownPlaces().end());
    const std::span<const FilePair> pairs = matcher.pairs();
    const std::span<const PathDecision> decisions = session.decisions();
    for (size_t i = 0; i < pairs.size(); ++i) {
        const bool conflict = session.mode() == SyncMode::Update
                                  ? IsConflict(pairs[i].verdict)
                                  : i < decisions.size() && decisions[i].planned.action == SyncAction::Conflict;
        if (!conflict) continue;
        const FileEntry* named = pairs[i].source ? pairs[i].source : pairs[i].target;
        conflicts.push_back({named->relativePath(), session.mode() == SyncMode::Update
                                                        ? std::string(matcher.conflictReason(i))
                                                        : session.Explain(i)});
    }
}

void RunResult::Afterwards(const SyncSession& session, const TreeMatcher& matcher) {
    comparedAfter = true;
    const ResultRows rows(matcher, DisplayFilter(DisplayFilterValue::All));
    sourceAfter = rows.sourceTotals();
    targetAfter = rows.targetTotals();
    unequal.clear();
    for (UnequalPair& left : session.Unequal(matcher))
        unequal.push_back({std::move(left.path), std::move(left.reason), left.pair == SIZE_MAX});
}

namespace {

// What wants a look; with outcomes also the files skipped, failed and not
// done (the summary has them in its counts already).
std::string Trouble(const RunResult& r, bool outcomes) {
    std::string text;
    if (r.refused()) {
        std::string said = Tr("abgelehnt: ") + r.refusal;
        for (char& c : said) c = c == '\n' ? ' ' : c;
        Join(text, said);
    }
    const auto places = static_cast<int32_t>(r.unknownPlaces.size());
    Join(text, Counted(places, TrN("%d Ort nicht lesbar", "%d Orte nicht lesbar", N(places))));
    Join(text, Named(r.conflicts, TrN("%d Konflikt", "%d Konflikte", N(r.conflicts.size()))));
    if (outcomes) {
        const int32_t skipped = r.Count(FileOutcome::Skipped), failed = r.Count(FileOutcome::Failed),
                      cancelled = r.Count(FileOutcome::Cancelled);
        Join(text, Counted(skipped, TrN("%d übersprungen", "%d übersprungen", N(skipped))));
        Join(text, Counted(failed, TrN("%d fehlgeschlagen", "%d fehlgeschlagen", N(failed))));
        Join(text, Counted(cancelled, TrN("%d abgebrochen", "%d abgebrochen", N(cancelled))));
    }
    // A conflict is named once, as a conflict.
    std::vector<NamedFile> unequal, folders;
    for (const NamedFile& file : r.unequal) {
        bool conflict = false;
        for (const NamedFile& c : r.conflicts) conflict = conflict || c.path == file.path;
        if (!conflict) (file.folder ? folders : unequal).push_back(file);
    }
    if (r.comparedAfter) {
        Join(text, Named(unequal, TrN("%d Datei ungleich geblieben", "%d Dateien ungleich geblieben", N(unequal.size()))));
        Join(text, Named(folders, TrN("%d Ordner ungleich geblieben", "%d Ordner ungleich geblieben", N(folders.size()))));
    }
    return text;
}

}  // namespace

std::string RunResult::Problems() const { return Trouble(*this, true); }

std::string RunResult::Summary() const {
    const RunCounts counts = Counts();
    std::string text;
    if (counts.done() + counts.skipped() + counts.failed() > 0) text = counts.text();
    // What a request left undone, in its own word.
    int32_t notDone[5] = {};
    for (const Done& d : done) notDone[static_cast<int>(d.kind)] += d.result.count(FileOutcome::Cancelled);
    Join(text, Counted(notDone[0], TrN("%d nicht kopiert", "%d nicht kopiert", N(notDone[0]))));
    Join(text, Counted(notDone[1], TrN("%d nicht gelöscht", "%d nicht gelöscht", N(notDone[1]))));
    Join(text, Counted(notDone[2], TrN("%d nicht umbenannt", "%d nicht umbenannt", N(notDone[2]))));
    Join(text, Counted(notDone[3], TrN("%d Ordner nicht entfernt", "%d Ordner nicht entfernt", N(notDone[3]))));
    Join(text, Counted(notDone[4], TrN("%d Ordner nicht angelegt", "%d Ordner nicht angelegt", N(notDone[4]))));
    Join(text, Trouble(*this, false));
    if (text.empty()) text = !compared ? Tr("nicht abgeglichen") : work.empty() ? Tr("nichts zu tun") : Tr("nichts getan");
    return text;
}

}  // namespace kirvo
