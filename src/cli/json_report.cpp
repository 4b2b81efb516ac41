#include "cli/json_report.h"

#include <cstdio>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <streambuf>
#include <string>

#include "cli/compare_command.h"
#include "cli/json_stream.h"
#include "cli/json_text.h"
#include "cli/snapshot_heading.h"
#include "cli/sync_command.h"
#include "app/run_result.h"
#include "cli/sync_run.h"
#include "cli/terminal_scan.h"
#include "cli/text_writer.h"
#include "engine/tree_matcher.h"
#include "sync/sync_session.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"
#include "view/value_format.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

using Json = nlohmann::ordered_json;

Json SideOf(const FileEntry* entry, int64_t utcOffset) {
    if (entry == nullptr) return nullptr;
    Json side = Json::object();
    PutJsonText(side, "path", entry->relativePath());
    side["size"] = entry->size();
    side["modified"] = JsonIsoTime(entry->modifiedSeconds(), entry->modifiedMilliseconds(), utcOffset);
    side["modified_ns"] = JsonNanoseconds(entry->modifiedSeconds(), entry->modifiedMilliseconds(), utcOffset);
    return side;
}

Json Totals(const SideTotals& totals) {
    return Json{{"files", totals.files}, {"folders", totals.folders}, {"bytes", totals.bytes}};
}

constexpr int kArrowColumn = 4;

const char* DirectionName(Verdict verdict) {
    switch (verdict) {
    case Verdict::SourceToTarget: return "to-target";
    case Verdict::TargetToSource: return "to-source";
    case Verdict::Conflict: return "conflict";
    case Verdict::Unknown: return "unknown";
    case Verdict::Equal: break;
    }
    return "equal";
}

const char* KindOf(int state) {
    switch (state) {
    case ResultRows::kMarked: return "marked";
    case ResultRows::kEqual: return "equal";
    case ResultRows::kConflict: return "conflict";
    case ResultRows::kUnknown: return "unknown";
    case ResultRows::kDamaged: return "damaged";
    case ResultRows::kDeleteCode: return "delete";
    case ResultRows::kMoveCode: return "rename";
    case ResultRows::kMovedAwayCode: return "renamed-away";
    default: return "unmarked";
    }
}

const char* ActionName(SyncAction action) {
    switch (action) {
    case SyncAction::CopyToTarget: return "copy-to-target";
    case SyncAction::CopyToSource: return "copy-to-source";
    case SyncAction::DeleteInTarget: return "delete-in-target";
    case SyncAction::DeleteInSource: return "delete-in-source";
    case SyncAction::MoveInTarget: return "rename-in-target";
    case SyncAction::MoveInSource: return "rename-in-source";
    case SyncAction::Conflict: return "conflict";
    case SyncAction::Unknown: return "unknown";
    case SyncAction::Nothing: break;
    }
    return "nothing";
}

Json ProgramField() { return "kirvo-cli " KIRVO_VERSION; }

Json Patterns(const std::vector<std::string>& patterns) {
    Json list = Json::array();
    bool valid = true;
    for (const std::string& pattern : patterns) list.push_back(JsonValidText(pattern, valid));
    return list;
}

Json ScanSettings(bool tolerance, bool ignoreHour, CompareBy compareBy, LinkMode links, bool subFolders,
                  bool systemFolders, const PathFilter& filter) {
    return Json{{"compare", CompareByName(compareBy)},
                {"links", std::string(LinkModeName(links))},
                {"tolerance", tolerance},
                {"ignore_hour", ignoreHour},
                {"exclude_subfolders", subFolders},
                {"exclude_system_folders", systemFolders},
                {"include", Patterns(filter.includePatterns())},
                {"exclude", Patterns(filter.excludePatterns())}};
}

// What a side could not read: nothing there was taken for missing.
Json UnknownPlacesJson(std::span<const UnknownPlace> places) {
    Json list = Json::array();
    for (const UnknownPlace& place : places) {
        Json item = {{"side", place.side == kSourceSide ? "source" : "target"}};
        PutJsonText(item, "path", place.path);
        item["reason"] = place.reason;
        list.push_back(item);
    }
    return list;
}

const char* ResultOf(FileOutcome outcome) {
    switch (outcome) {
    case FileOutcome::Done: return "done";
    case FileOutcome::Skipped: return "skipped";
    case FileOutcome::Failed: return "failed";
    case FileOutcome::Cancelled: return "cancelled";
    }
    return "cancelled";
}

// A stream buffer that drops what it is given: the text of a run reported as JSON.
class DiscardBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

void WriteCompareJson(std::ostream& out, const TreeMatcher& matcher, const ResultRows& rows,
                      const SelectionStats& stats, const CompareOptions& options) {
    const SourceTexts german;  // the same in every language
    const int64_t offset = matcher.utcOffset();
    JsonStream doc(out);
    doc.Field("program", ProgramField());
    doc.Field("command", "compare");
    Json roots = Json::object();
    PutJsonText(roots, "source_root", matcher.sourceRoot());
    PutJsonText(roots, "target_root", matcher.targetRoot());
    for (const auto& [key, value] : roots.items()) doc.Field(key, value);
    for (const auto& [key, root] : {std::pair{"source_snapshot", &matcher.source()},
                                    std::pair{"target_snapshot", &matcher.target()}})
        if (Json snapshot = SnapshotJson(*root, offset); !snapshot.is_null()) doc.Field(key, snapshot);
    doc.Field("utc_offset_seconds", offset);
    Json settings = ScanSettings(options.twoSecondTolerance, options.ignoreHour, options.compareBy, options.links,
                                 options.excludeSubFolders, options.excludeSystemFolders, options.pathFilter);
    doc.Field("settings", settings);

    int32_t counts[5] = {};  // equal, to target, to source, conflicts, unknown
    for (const FilePair& pair : matcher.pairs()) {
        switch (pair.verdict) {
        case Verdict::Equal: ++counts[0]; break;
        case Verdict::SourceToTarget: ++counts[1]; break;
        case Verdict::TargetToSource: ++counts[2]; break;
        case Verdict::Conflict: ++counts[3]; break;
        case Verdict::Unknown: ++counts[4]; break;
        }
    }

    doc.BeginArray("rows");
    for (size_t row = 0; row < rows.size(); ++row) {
        if (TerminalScan::Interrupted()) break;
        const FilePair* pair = rows.Pair(row);
        if (pair == nullptr) continue;  // folder rows are headings only
        Json item = Json::object();
        const auto index = static_cast<size_t>(rows.PairIndex(row));
        // With --mode=mirror or two-way a row stands for its planned action, as in TSV.
        const PathDecision* decision = rows.plan() != nullptr && rows.plan()->mode() != SyncMode::Update
                                           ? rows.Decision(row)
                                           : nullptr;
        const int state = decision != nullptr ? rows.ActionCode(row) : rows.StateImage(row);
        item["state"] = state;
        item["kind"] = KindOf(state);
        item["direction"] = DirectionName(pair->verdict);
        if (decision != nullptr) {
            std::string arrow;
            rows.AppendCellText(arrow, row, kArrowColumn);
            item["arrow"] = arrow;
            item["action"] = ActionName(decision->planned.action);
        } else {
            item["arrow"] = FormatArrow(pair->verdict);
        }
        item["source"] = SideOf(pair->source, offset);
        item["target"] = SideOf(pair->target, offset);
        if (IsConflict(pair->verdict)) item["reason"] = std::string(matcher.conflictReason(index));
        if (const UnknownPlace* place = matcher.unknownPlaceOf(index)) item["reason"] = place->reason;
        if (decision != nullptr && (decision->planned.action != SyncAction::Nothing ||
                                    decision->planned.partner != SyncDecision::kNoPartner))
            item["reason"] = rows.plan()->Explain(index);
        doc.Element(item);
    }
    doc.EndArray();
    doc.Field("unknown_places", UnknownPlacesJson(matcher.unknownPlaces()));
    doc.Field("totals", Json{{"source", Totals(rows.sourceTotals())}, {"target", Totals(rows.targetTotals())}});
    doc.Field("selection", Json{{"source", {{"files", stats.sourceFiles()}, {"bytes", stats.sourceBytes()}}},
                                {"target", {{"files", stats.targetFiles()}, {"bytes", stats.targetBytes()}}}});
    doc.Field("counts", Json{{"pairs", matcher.pairCount()},
                             {"equal", counts[0]},
                             {"to_target", counts[1]},
                             {"to_source", counts[2]},
                             {"conflicts", counts[3]},
                             {"unknown", counts[4]},
                             {"unequal", counts[1] + counts[2] + counts[3] + counts[4]}});
    doc.End();
}

void WriteSyncJson(std::ostream& out, const RunResult& report, int status, const SyncOptions& options,
                   std::string_view command, std::string_view job) {
    using Request = RunResult::Request;
    const OperationResult none;
    const auto done = [&](Request kind, TreeSide side) -> const OperationResult& {
        const OperationResult* result = report.Find(kind, side);
        return result ? *result : none;
    };
    const SourceTexts german;  // the same in every language
    JsonStream doc(out);
    doc.Field("program", ProgramField());
    doc.Field("command", std::string(command));
    if (!job.empty()) doc.Field("job", std::string(job));
    Json roots = Json::object();
    PutJsonText(roots, "source_root", options.source);
    PutJsonText(roots, "target_root", options.target);
    for (const auto& [key, value] : roots.items()) doc.Field(key, value);
    doc.Field("mode", std::string(SyncModeName(options.mode)));
    doc.Field("direction", options.toTarget && options.toSource ? "both" : options.toTarget ? "to-target" : "to-source");
    doc.Field("dry_run", options.dryRun);
    doc.Field("settings", ScanSettings(options.twoSecondTolerance, options.ignoreHour, options.compareBy, options.links,
                                       options.excludeSubFolders, options.excludeSystemFolders, options.pathFilter));
    doc.Field("compared", report.compared);

    doc.BeginArray("actions");
    struct Direction {
        const char* name;
        const CopyList& planned;
        const OperationResult& done;
    };
    const Direction directions[] = {{"to-target", report.work.toTarget, done(Request::Copy, TreeSide::Target)},
                                    {"to-source", report.work.toSource, done(Request::Copy, TreeSide::Source)}};
    for (const Direction& direction : directions) {
        const bool ran = !direction.done.files.empty();
        for (size_t i = 0; i < direction.planned.pairs.size(); ++i) {
            const CopyPair& pair = direction.planned.pairs[i];
            Json action = Json::object();
            action["action"] = "copy";
            action["direction"] = direction.name;
            PutJsonText(action, "source", pair.from.path);
            PutJsonText(action, "destination", pair.to.path);
            if (!ran) {
                action["result"] = options.dryRun ? "planned" : "not-run";
            } else {
                const FileReport& file = direction.done.files[i];
                action["result"] = ResultOf(file.outcome);
                if (file.outcome == FileOutcome::Done) {
                    action["bytes"] = file.bytes;
                    action["replaced"] = file.replaced;
                    if (!file.trashedTo.empty()) PutJsonText(action, "trashed_to", file.trashedTo);
                }
                if (!file.reason.empty()) action["reason"] = file.reason;
            }
            doc.Element(action);
        }
    }
    // Renames and deletions (mirror, two-way), each with its side.
    const auto outcome = [&](Json& action, const OperationResult& done, size_t i) {
        if (done.files.size() <= i) {
            action["result"] = options.dryRun ? "planned" : "not-run";
            return;
        }
        const FileReport& file = done.files[i];
        action["result"] = ResultOf(file.outcome);
        if (!file.trashedTo.empty()) PutJsonText(action, "trashed_to", file.trashedTo);
        if (!file.reason.empty()) action["reason"] = file.reason;
    };
    const std::pair<const char*, std::pair<const std::vector<MovePair>*, const OperationResult*>> renames[] = {
        {"source", {&report.work.moveInSource, &done(Request::Move, TreeSide::Source)}},
        {"target", {&report.work.moveInTarget, &done(Request::Move, TreeSide::Target)}}};
    for (const auto& [side, planned] : renames) {
        for (size_t i = 0; i < planned.first->size(); ++i) {
            Json action = Json::object();
            action["action"] = "rename";
            action["side"] = side;
            PutJsonText(action, "source", (*planned.first)[i].from.path);
            PutJsonText(action, "destination", (*planned.first)[i].to.path);
            outcome(action, *planned.second, i);
            doc.Element(action);
        }
    }
    const std::pair<const char*, std::pair<const std::vector<ListedPath>*, const OperationResult*>> deletions[] = {
        {"source", {&report.work.deleteInSource, &done(Request::Delete, TreeSide::Source)}},
        {"target", {&report.work.deleteInTarget, &done(Request::Delete, TreeSide::Target)}}};
    for (const auto& [side, planned] : deletions) {
        for (size_t i = 0; i < planned.first->size(); ++i) {
            Json action = Json::object();
            action["action"] = "delete";
            action["side"] = side;
            PutJsonText(action, "path", (*planned.first)[i].path.path);
            outcome(action, *planned.second, i);
            doc.Element(action);
        }
    }
    doc.EndArray();
    Json conflicts = Json::array();
    for (const NamedFile& note : report.conflicts) {
        Json item = Json::object();
        PutJsonText(item, "path", note.path);
        item["reason"] = note.reason;
        conflicts.push_back(item);
    }
    doc.Field("conflicts", conflicts);
    doc.Field("unknown_places", UnknownPlacesJson(report.unknownPlaces));
    doc.Field("refused", report.refused());
    // Copies count whether or not they replaced a file ("replaced" says how
    // many did); the trash holds the deleted files and the replaced versions.
    const RunCounts counts = report.Counts();
    int32_t trashed = 0;
    for (const RunResult::Done& d : report.done) trashed += d.kind == Request::Copy || d.kind == Request::Delete ? d.result.trashedCount() : 0;
    doc.Field("counts", Json{{"planned", report.work.toTarget.count() + report.work.toSource.count() +
                                             static_cast<int32_t>(report.work.deleteInSource.size() +
                                                                  report.work.deleteInTarget.size() +
                                                                  report.work.moveInSource.size() +
                                                                  report.work.moveInTarget.size())},
                             {"deleted", counts.done(OperationLog::kTrashed) + counts.done(OperationLog::kDeleted)},
                             {"renamed", counts.done(OperationLog::kMoved)},
                             {"copied", counts.done(OperationLog::kCopied) + counts.done(OperationLog::kReplaced)},
                             {"replaced", counts.done(OperationLog::kReplaced)},
                             {"skipped", report.Count(FileOutcome::Skipped)},
                             {"failed", report.Count(FileOutcome::Failed)},
                             {"cancelled", report.Count(FileOutcome::Cancelled)},
                             {"trashed", trashed},
                             {"bytes", report.BytesCopied()},
                             {"conflicts", report.conflicts.size()}});
    if (report.comparedAfter) {
        doc.Field("afterwards", Json{{"source", Totals(report.sourceAfter)},
                                     {"target", Totals(report.targetAfter)},
                                     {"unequal", report.unequal.size()}});
    } else {
        doc.Field("afterwards", nullptr);
    }
    doc.Field("exit_status", status);
    doc.End();
}

int RunSyncAsJson(const SyncOptions& options, std::ostream& out, std::ostream& err, bool showProgress) {
    DiscardBuffer discard;
    std::ostream text(&discard);
    std::istringstream noAnswers;
    RunResult report;
    const int status = RunSync(options, noAnswers, text, err, false, showProgress && !options.quiet, &report);
    WriteSyncJson(out, report, status, options, "sync");
    out.flush();
    if (!out) {
        err << Tr("kirvo-cli sync: Die Ausgabe konnte nicht geschrieben werden.\n");
        return kExitUsage;
    }
    return status;
}

}  // namespace kirvo
