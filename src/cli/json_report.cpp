#include "cli/json_report.h"

#include <cstdio>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <streambuf>
#include <string>

#include "cli/compare_command.h"
#include "cli/sync_command.h"
#include "cli/sync_report.h"
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

constexpr size_t kFlushSize = 256 * 1024;

// Length of the valid UTF-8 sequence at text[at], or 0 when there is none.
size_t Utf8SequenceAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned lead = byte(at);
    const auto continuation = [&](size_t i) { return (byte(i) & 0xC0u) == 0x80u; };
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned second = byte(at + 1);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F)) return 0;  // overlong, surrogate
        return continuation(at + 1) && continuation(at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned second = byte(at + 1);
        if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) return 0;
        return continuation(at + 1) && continuation(at + 2) && continuation(at + 3) ? 4 : 0;
    }
    return 0;
}

std::string Base64(std::string_view bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        text += kDigits[(group >> 18) & 63];
        text += kDigits[(group >> 12) & 63];
        text += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return text;
}

// The text of bytes with each byte that is not part of valid UTF-8 as U+FFFD.
std::string ValidText(std::string_view bytes, bool& valid) {
    std::string text;
    valid = true;
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = Utf8SequenceAt(bytes, i);
        if (n == 0) {
            text += "\xEF\xBF\xBD";
            valid = false;
            ++i;
        } else {
            text.append(bytes.substr(i, n));
            i += n;
        }
    }
    return text;
}

// object[key] = the text; with invalid UTF-8, key_base64 has the exact bytes.
void PutText(Json& object, const std::string& key, std::string_view bytes) {
    bool valid = true;
    object[key] = ValidText(bytes, valid);
    if (!valid) object[key + "_base64"] = Base64(bytes);
}

// "2011-03-13T08:53:20.000+01:00" from local seconds and the offset they carry.
std::string IsoTime(int64_t localSeconds, uint16_t milliseconds, int64_t utcOffset) {
    const SystemTime t = SystemTimeFromSeconds(localSeconds, milliseconds);
    const int64_t minutes = (utcOffset < 0 ? -utcOffset : utcOffset) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u%c%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.milliseconds, utcOffset < 0 ? '-' : '+', static_cast<int>(minutes / 60),
                  static_cast<int>(minutes % 60));
    return text;
}

// Nanoseconds since 1970 (UTC), or null where they do not fit 64 bits.
Json Nanoseconds(int64_t localSeconds, uint16_t milliseconds, int64_t utcOffset) {
    const int64_t seconds = localSeconds - utcOffset;
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 1'000'000'000 - 1;
    if (seconds > kLimit || seconds < -kLimit) return nullptr;
    return seconds * 1'000'000'000 + int64_t{milliseconds} * 1'000'000;
}

Json SideOf(const FileEntry* entry, int64_t utcOffset) {
    if (entry == nullptr) return nullptr;
    Json side = Json::object();
    PutText(side, "path", entry->relativePath());
    side["size"] = entry->size();
    side["modified"] = IsoTime(entry->modifiedSeconds(), entry->modifiedMilliseconds(), utcOffset);
    side["modified_ns"] = Nanoseconds(entry->modifiedSeconds(), entry->modifiedMilliseconds(), utcOffset);
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

// A document written as it is made: one field per line, and arrays with one
// element per line, so a large list never lies in memory as a whole.
class JsonStream {
public:
    explicit JsonStream(std::ostream& out) : out_(out) { buffer_ = "{"; }

    void Field(std::string_view key, const Json& value) {
        Key(key);
        Dump(value);
    }
    void BeginArray(std::string_view key) {
        Key(key);
        buffer_ += '[';
        firstElement_ = true;
    }
    void Element(const Json& value) {
        buffer_ += firstElement_ ? "\n    " : ",\n    ";
        firstElement_ = false;
        Dump(value);
        if (buffer_.size() >= kFlushSize) Flush();
    }
    void EndArray() { buffer_ += firstElement_ ? "]" : "\n  ]"; }
    void End() {
        buffer_ += "\n}\n";
        Flush();
    }

private:
    void Key(std::string_view key) {
        buffer_ += firstField_ ? "\n  \"" : ",\n  \"";
        firstField_ = false;
        buffer_.append(key).append("\": ");
    }
    void Dump(const Json& value) { buffer_ += value.dump(-1, ' ', false, Json::error_handler_t::replace); }
    void Flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }

    std::ostream& out_;
    std::string buffer_;
    bool firstField_ = true;
    bool firstElement_ = true;
};

Json ProgramField() { return "kirvo-cli " KIRVO_VERSION; }

Json Patterns(const std::vector<std::string>& patterns) {
    Json list = Json::array();
    bool valid = true;
    for (const std::string& pattern : patterns) list.push_back(ValidText(pattern, valid));
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
        PutText(item, "path", place.path);
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
    PutText(roots, "source_root", matcher.sourceRoot());
    PutText(roots, "target_root", matcher.targetRoot());
    for (const auto& [key, value] : roots.items()) doc.Field(key, value);
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

void WriteSyncJson(std::ostream& out, const SyncReport& report, const SyncOptions& options, std::string_view command,
                   std::string_view job) {
    const SourceTexts german;  // the same in every language
    JsonStream doc(out);
    doc.Field("program", ProgramField());
    doc.Field("command", std::string(command));
    if (!job.empty()) doc.Field("job", std::string(job));
    Json roots = Json::object();
    PutText(roots, "source_root", options.source);
    PutText(roots, "target_root", options.target);
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
    const Direction directions[] = {{"to-target", report.plan.sourceToTarget, report.toTarget},
                                    {"to-source", report.plan.targetToSource, report.toSource}};
    for (const Direction& direction : directions) {
        const bool ran = !direction.done.files.empty();
        for (size_t i = 0; i < direction.planned.pairs.size(); ++i) {
            const CopyPair& pair = direction.planned.pairs[i];
            Json action = Json::object();
            action["action"] = "copy";
            action["direction"] = direction.name;
            PutText(action, "source", pair.from.path);
            PutText(action, "destination", pair.to.path);
            if (!ran) {
                action["result"] = options.dryRun ? "planned" : "not-run";
            } else {
                const FileReport& file = direction.done.files[i];
                action["result"] = ResultOf(file.outcome);
                if (file.outcome == FileOutcome::Done) {
                    action["bytes"] = file.bytes;
                    action["replaced"] = file.replaced;
                    if (!file.trashedTo.empty()) PutText(action, "trashed_to", file.trashedTo);
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
        if (!file.trashedTo.empty()) PutText(action, "trashed_to", file.trashedTo);
        if (!file.reason.empty()) action["reason"] = file.reason;
    };
    const std::pair<const char*, std::pair<const std::vector<MovePair>*, const OperationResult*>> renames[] = {
        {"source", {&report.work.moveInSource, &report.movedInSource}},
        {"target", {&report.work.moveInTarget, &report.movedInTarget}}};
    for (const auto& [side, planned] : renames) {
        for (size_t i = 0; i < planned.first->size(); ++i) {
            Json action = Json::object();
            action["action"] = "rename";
            action["side"] = side;
            PutText(action, "source", (*planned.first)[i].from.path);
            PutText(action, "destination", (*planned.first)[i].to.path);
            outcome(action, *planned.second, i);
            doc.Element(action);
        }
    }
    const std::pair<const char*, std::pair<const std::vector<ListedPath>*, const OperationResult*>> deletions[] = {
        {"source", {&report.work.deleteInSource, &report.deletedInSource}},
        {"target", {&report.work.deleteInTarget, &report.deletedInTarget}}};
    for (const auto& [side, planned] : deletions) {
        for (size_t i = 0; i < planned.first->size(); ++i) {
            Json action = Json::object();
            action["action"] = "delete";
            action["side"] = side;
            PutText(action, "path", (*planned.first)[i].path.path);
            outcome(action, *planned.second, i);
            doc.Element(action);
        }
    }
    doc.EndArray();
    Json conflicts = Json::array();
    for (const ConflictNote& note : report.conflicts) {
        Json item = Json::object();
        PutText(item, "path", note.path);
        item["reason"] = note.reason;
        conflicts.push_back(item);
    }
    doc.Field("conflicts", conflicts);
    doc.Field("unknown_places", UnknownPlacesJson(report.unknownPlaces));
    doc.Field("refused", report.refused);
    doc.Field("counts", Json{{"planned", report.plan.sourceToTarget.count() + report.plan.targetToSource.count() +
                                             static_cast<int32_t>(report.work.deleteInSource.size() +
                                                                  report.work.deleteInTarget.size() +
                                                                  report.work.moveInSource.size() +
                                                                  report.work.moveInTarget.size())},
                             {"deleted", report.deletedCount()},
                             {"renamed", report.movedCount()},
                             {"copied", report.toTarget.count(FileOutcome::Done) + report.toSource.count(FileOutcome::Done)},
                             {"replaced", report.replacedCount()},
                             {"skipped", report.count(FileOutcome::Skipped)},
                             {"failed", report.count(FileOutcome::Failed)},
                             {"cancelled", report.count(FileOutcome::Cancelled)},
                             {"trashed", report.trashedCount()},
                             {"bytes", report.bytesCopied()},
                             {"conflicts", report.conflicts.size()}});
    if (report.comparedAfter) {
        doc.Field("afterwards", Json{{"source", Totals(report.sourceAfter)},
                                     {"target", Totals(report.targetAfter)},
                                     {"unequal", report.unequalAfter}});
    } else {
        doc.Field("afterwards", nullptr);
    }
    doc.Field("exit_status", report.status);
    doc.End();
}

int RunSyncAsJson(const SyncOptions& options, std::ostream& out, std::ostream& err, bool showProgress) {
    DiscardBuffer discard;
    std::ostream text(&discard);
    std::istringstream noAnswers;
    SyncReport report;
    report.status = RunSync(options, noAnswers, text, err, false, showProgress && !options.quiet, &report);
    WriteSyncJson(out, report, options, "sync");
    out.flush();
    if (!out) {
        err << Tr("kirvo-cli sync: Die Ausgabe konnte nicht geschrieben werden.\n");
        return kExitUsage;
    }
    return report.status;
}

}  // namespace kirvo
