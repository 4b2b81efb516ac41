#include "cli/tsv_writer.h"

#include "view/result_rows.h"
#include "view/selection_stats.h"

namespace kirvo {

void WriteTsv(std::ostream& out, const ResultRows& rows, const SelectionStats& stats) {
    std::string line;
    for (size_t row = 0; row < rows.size(); ++row) {
        line.assign(1, static_cast<char>('0' + rows.StateImage(row)));
        for (int column = 0; column < ResultRows::kColumnCount; ++column) {
            line += '\t';
            AppendTsvEscaped(line, rows.CellText(row, column));
        }
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    const std::pair<const char*, std::string> fields[] = {
        {"1009", rows.SourceSummaryText()},
        {"1010", rows.TargetSummaryText()},
        {"1011", stats.SourceText()},
        {"1012", stats.TargetText()},
    };
    for (const auto& [id, text] : fields) {
        line.assign(id);
        line += '\t';
        AppendTsvEscaped(line, text);
        line += '\n';
        out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
}

}  // namespace kirvo
