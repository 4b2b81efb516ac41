#pragma once
#include "app/run_result.h"
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/terminal_text.h"

namespace kirvo {

class ResultRows;
class SelectionStats;
class SyncSession;
class TreeMatcher;
struct UnknownPlace;

// One conflict of a comparison: its relative path and why it has no direction.
// "Quelle: nicht lesbar: Dokumente/ – Keine Berechtigung" (the root's path for the root).
void AppendUnknownPlaceNote(std::string& line, const UnknownPlace& place, const TreeMatcher& matcher);
// Names each place the last comparison could not read on err, one line each
// ("kirvo-cli COMMAND: ..."), and what that means; the number of places.
size_t ReportUnknownPlaces(std::string_view command, const TreeMatcher& matcher, std::ostream& err);

// "Konflikte (N) ...:" and one indented line per conflict; nothing for none.
void AppendConflicts(std::string& out, const std::vector<NamedFile>& conflicts);

// What the readable report says above the list.
struct TextReportHeader {
    std::string_view sourceRoot;
    std::string_view targetRoot;
    std::string_view filter;   // e.g. "unequal (nur ungleiche Dateien)"
    std::string_view options;  // e.g. "Toleranz +/- 2 Sekunden: an, ..."
    std::string_view patterns; // the include and exclude patterns; "" without a filter
};

// The list for a person: folder rows as headings, one aligned line per file
// (mark, size and date per side, arrow, name), the conflicts under a heading
// of their own, then the four summary texts. Fits 120 columns unless a name
// is long.
void WriteText(std::ostream& out, const ResultRows& rows, const SelectionStats& stats,
               const TextReportHeader& header, const std::vector<NamedFile>& conflicts = {});

}  // namespace kirvo
