#include "cli/text_writer.h"

#include "cli/terminal_scan.h"
#include "engine/file_pair.h"
#include "engine/tree_matcher.h"
#include "sync/sync_session.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"
#include "view/value_format.h"

namespace kirvo {
namespace {

// Column layout of a file line (bytes; all padded texts are ASCII):
// mark 0-2, source size 4-14, source date 17-35, arrow 38-41,
// target size 44-54, target date 57-75, name from 78.
constexpr size_t kSizeWidth = 11;
constexpr size_t kDateWidth = 19;
constexpr size_t kArrowWidth = 4;
constexpr const char* kGap = "  ";
constexpr size_t kGapWidth = 2;

void PadLeft(std::string& line, const std::string& text, size_t width) {
    if (text.size() < width) line.append(width - text.size(), ' ');
    line += text;
}

void PadRight(std::string& line, std::string_view text, size_t width) {
    line += text;
    if (text.size() < width) line.append(width - text.size(), ' ');
}

void Emit(std::ostream& out, const std::string& line) {
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

std::string ColumnHeader() {
    std::string spaces8(8, ' ');
    std::string head = std::string(4, ' ') + "Quelle" + std::string(34, ' ') + "Ziel\n";
    head += std::string(4 + kSizeWidth - 5, ' ') + "Größe" + kGap + "Geändert am" + spaces8 + kGap + "<-> " + kGap +
            std::string(kSizeWidth - 5, ' ') + "Größe" + kGap + "Geändert am" + spaces8 + kGap + "Name\n";
    head += std::string(82, '-') + '\n';
    return head;
}

void AppendFolderHeading(std::string& line, const ResultRows& rows, size_t row) {
    const std::string source = rows.CellText(row, 0);
    const std::string target = rows.CellText(row, 5);
    line += "\nOrdner  ";
    if (!source.empty()) {
        line += "Quelle: ";
        AppendDisplayEscaped(line, source);
        line += '\n';
        if (!target.empty()) line += "        ";
    }
    if (!target.empty()) {
        line += "Ziel:   ";
        AppendDisplayEscaped(line, target);
        line += '\n';
    }
    if (source.empty() && target.empty()) line += '\n';
}

// A place a side could not read: blank sizes and dates, "?", and in the name
// column what could not be read and why, with its side.
void AppendPlaceLine(std::string& line, const ResultRows& rows, size_t row, const UnknownPlace& place) {
    line += "    ";
    line.append(kSizeWidth + kGapWidth + kDateWidth + kGapWidth, ' ');
    PadRight(line, kUnknownArrow, kArrowWidth);
    line += kGap;
    line.append(kSizeWidth + kGapWidth + kDateWidth + kGapWidth, ' ');
    AppendDisplayEscaped(line, rows.CellText(row, place.side == kSourceSide ? 0 : 5));
    line += place.side == kSourceSide ? " (Quelle)\n" : " (Ziel)\n";
}

void AppendFileLine(std::string& line, const ResultRows& rows, size_t row) {
    if (const UnknownPlace* place = rows.Place(row)) {
        AppendPlaceLine(line, rows, row, *place);
        return;
    }
    const int state = rows.StateImage(row);
    line += state == ResultRows::kMarked ? "[x]" : state == ResultRows::kUnmarked ? "[ ]" : "   ";
    line += ' ';
    PadLeft(line, rows.CellText(row, 1), kSizeWidth);
    line += kGap;
    PadRight(line, rows.CellText(row, 2), kDateWidth);
    line += kGap;
    PadRight(line, rows.CellText(row, 4), kArrowWidth);
    line += kGap;
    PadLeft(line, rows.CellText(row, 6), kSizeWidth);
    line += kGap;
    PadRight(line, rows.CellText(row, 7), kDateWidth);
    line += kGap;
    const FilePair* pair = rows.Pair(row);
    if (pair->source) AppendDisplayEscaped(line, pair->source->name());
    const PathDecision* decision = rows.Decision(row);
    if (pair->target) {
        if (!pair->source) {
            AppendDisplayEscaped(line, pair->target->name());
        } else if (pair->target->name() != pair->source->name()) {
            line += "  (Ziel: ";
            AppendDisplayEscaped(line, pair->target->name());
            line += ')';
        }
    }
    // A deletion or a rename says why; a copy's arrow says it all.
    if (decision != nullptr && rows.plan()->mode() != SyncMode::Update) {
        const SyncAction action = decision->planned.action;
        if (action == SyncAction::DeleteInSource || action == SyncAction::DeleteInTarget ||
            action == SyncAction::MoveInSource || action == SyncAction::MoveInTarget ||
            (action == SyncAction::Nothing && decision->planned.partner != SyncDecision::kNoPartner)) {
            line += "  (";
            AppendDisplayEscaped(line, rows.plan()->Explain(static_cast<size_t>(rows.PairIndex(row))));
            line += ')';
        }
    }
    line += '\n';
}

}  // namespace

void AppendUnknownPlaceNote(std::string& line, const UnknownPlace& place, const TreeMatcher& matcher) {
    line += place.side == kSourceSide ? "Quelle: " : "Ziel: ";
    std::string text;
    AppendUnknownPlace(text, place, place.side == kSourceSide ? matcher.sourceRoot() : matcher.targetRoot());
    AppendDisplayEscaped(line, text);
}

size_t ReportUnknownPlaces(std::string_view command, const TreeMatcher& matcher, std::ostream& err) {
    const std::span<const UnknownPlace> places = matcher.unknownPlaces();
    for (const UnknownPlace& place : places) {
        std::string line = "kirvo-cli " + std::string(command) + ": ";
        AppendUnknownPlaceNote(line, place, matcher);
        err << line << '\n';
    }
    if (!places.empty())
        err << "kirvo-cli " << command << ": Nicht alles lesbar: was dort liegt, gilt als unbekannt, nicht als "
               "fehlend, und wird weder kopiert noch ersetzt.\n";
    return places.size();
}

std::vector<ConflictNote> ConflictNotes(const SyncSession& plan, const TreeMatcher& matcher) {
    if (plan.mode() == SyncMode::Update) return ConflictNotes(matcher);
    std::vector<ConflictNote> notes;
    const std::span<const FilePair> pairs = matcher.pairs();
    const std::span<const PathDecision> decisions = plan.decisions();
    for (size_t i = 0; i < pairs.size() && i < decisions.size(); ++i) {
        if (decisions[i].planned.action != SyncAction::Conflict) continue;
        const FileEntry* named = pairs[i].source ? pairs[i].source : pairs[i].target;
        notes.push_back({named->relativePath(), plan.Explain(i)});
    }
    return notes;
}

std::vector<ConflictNote> ConflictNotes(const TreeMatcher& matcher) {
    std::vector<ConflictNote> notes;
    const std::span<const FilePair> pairs = matcher.pairs();
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (IsConflict(pairs[i].verdict)) notes.push_back({pairs[i].source->relativePath(), std::string(matcher.conflictReason(i))});
    }
    return notes;
}

void AppendConflicts(std::string& out, const std::vector<ConflictNote>& conflicts) {
    if (conflicts.empty()) return;
    out += "\nKonflikte (" + std::to_string(conflicts.size()) +
           ", ohne Richtung, werden nicht abgeglichen; " + kConflictArrow + " in der Liste):\n";
    for (const ConflictNote& note : conflicts) {
        out += "  ";
        AppendDisplayEscaped(out, note.path);
        out += ": ";
        AppendDisplayEscaped(out, note.reason);  // may quote a server or the system
        out += '\n';
    }
}

void WriteText(std::ostream& out, const ResultRows& rows, const SelectionStats& stats,
               const TextReportHeader& header, const std::vector<ConflictNote>& conflicts) {
    std::string line = "Quelle:   ";
    AppendDisplayEscaped(line, header.sourceRoot);
    line += "\nZiel:     ";
    AppendDisplayEscaped(line, header.targetRoot);
    line += "\nFilter:   ";
    line += header.filter;
    line += "\nOptionen: ";
    line += header.options;
    if (!header.patterns.empty()) {
        line += "\nMuster:   ";
        AppendDisplayEscaped(line, header.patterns);
    }
    line += "\n\n";
    line += rows.empty() ? std::string("Keine Zeilen unter diesem Filter.\n") : ColumnHeader();
    Emit(out, line);

    for (size_t row = 0; row < rows.size(); ++row) {
        if (TerminalScan::Interrupted()) return;  // stop at a line's end
        line.clear();
        if (rows.IsFolderRow(row))
            AppendFolderHeading(line, rows, row);
        else
            AppendFileLine(line, rows, row);
        Emit(out, line);
    }

    line.clear();
    AppendConflicts(line, conflicts);
    line += "\nSumme Quelle:    " + rows.SourceSummaryText() + "\nSumme Ziel:      " + rows.TargetSummaryText() +
           "\nAuswahl Quelle:  " + stats.SourceText() + "\nAuswahl Ziel:    " + stats.TargetText() + '\n';
    Emit(out, line);
}

}  // namespace kirvo
