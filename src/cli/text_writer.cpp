#include "cli/text_writer.h"

#include "cli/terminal_scan.h"
#include "engine/file_pair.h"
#include "engine/tree_matcher.h"
#include "sync/sync_session.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"
#include "view/value_format.h"
#include "platform/translation.h"

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
    // TRANSLATORS: the heading over the columns of the list; keep every column where it is.
    std::string head = Tr("    Quelle                                  Ziel\n");
    // TRANSLATORS: keep every column where it is.
    head += Tr("          Größe  Geändert am          <->         Größe  Geändert am          Name\n");
    head += std::string(82, '-') + '\n';
    return head;
}

void AppendFolderHeading(std::string& line, const ResultRows& rows, size_t row) {
    const std::string source = rows.CellText(row, 0);
    const std::string target = rows.CellText(row, 5);
    line += Tr("\nOrdner  ");
    if (!source.empty()) {
        line += Tr("Quelle: ");
        AppendDisplayEscaped(line, source);
        line += '\n';
        if (!target.empty()) line += "        ";
    }
    if (!target.empty()) {
        line += Tr("Ziel:   ");
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
    line += place.side == kSourceSide ? Tr("Quelle: ") : Tr("Ziel: ");
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
        err << "kirvo-cli " << command << ": "
            << Tr("Nicht alles lesbar: was dort liegt, gilt als unbekannt, nicht als fehlend, und wird weder kopiert "
                  "noch ersetzt.\n");
    return places.size();
}

void AppendConflicts(std::string& out, const std::vector<NamedFile>& conflicts) {
    if (conflicts.empty()) return;
    out += Tr("\nKonflikte (") + std::to_string(conflicts.size()) +
           Tr(", ohne Richtung, werden nicht abgeglichen; ") + kConflictArrow + Tr(" in der Liste):\n");
    for (const NamedFile& note : conflicts) {
        out += "  ";
        AppendDisplayEscaped(out, note.path);
        out += ": ";
        AppendDisplayEscaped(out, note.reason);  // may quote a server or the system
        out += '\n';
    }
}

void WriteText(std::ostream& out, const ResultRows& rows, const SelectionStats& stats,
               const TextReportHeader& header, const std::vector<NamedFile>& conflicts) {
    std::string line = Tr("Quelle:   ");
    AppendDisplayEscaped(line, header.sourceRoot);
    line += Tr("\nZiel:     ");
    AppendDisplayEscaped(line, header.targetRoot);
    line += Tr("\nFilter:   ");
    line += header.filter;
    line += Tr("\nOptionen: ");
    line += header.options;
    if (!header.patterns.empty()) {
        line += Tr("\nMuster:   ");
        AppendDisplayEscaped(line, header.patterns);
    }
    line += "\n\n";
    line += rows.empty() ? std::string(Tr("Keine Zeilen unter diesem Filter.\n")) : ColumnHeader();
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
    line += Tr("\nSumme Quelle:    ") + rows.SourceSummaryText() + Tr("\nSumme Ziel:      ") + rows.TargetSummaryText() +
           Tr("\nAuswahl Quelle:  ") + stats.SourceText() + Tr("\nAuswahl Ziel:    ") + stats.TargetText() + '\n';
    Emit(out, line);
}

}  // namespace kirvo
