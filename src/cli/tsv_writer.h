#pragma once
#include <ostream>
#include <string>
#include <string_view>

#include "fileops/tsv_field.h"

namespace kirvo {

class ResultRows;
class SelectionStats;

// One line per row: state image index and the nine cell texts, tab-separated;
// then the lines "1009", "1010", "1011", "1012", each a tab and the field's text.
void WriteTsv(std::ostream& out, const ResultRows& rows, const SelectionStats& stats);

}  // namespace kirvo
