#pragma once
#include <ostream>
#include <string>
#include <string_view>

namespace kirvo {

class ResultRows;
class SelectionStats;

// Appends text with '\\', tab, line feed and carriage return written as
// \\ \t \n \r; every other byte is copied as it is.
void AppendTsvEscaped(std::string& line, std::string_view text);

// One line per row: state image index and the nine cell texts, tab-separated;
// then the lines "1009", "1010", "1011", "1012", each a tab and the field's text.
void WriteTsv(std::ostream& out, const ResultRows& rows, const SelectionStats& stats);

}  // namespace kirvo
