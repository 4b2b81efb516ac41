#include "cli/tsv_writer.h"

#include "cli/terminal_scan.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"
#include "platform/translation.h"

namespace kirvo {

namespace {

// Whole lines collect here and go out in large pieces.
constexpr size_t kFlushSize = 256 * 1024;

void Flush(std::ostream& out, std::string& buffer) {
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    buffer.clear();
}

// Escapes what was appended to buffer from `start` on, if anything needs it.
void EscapeTail(std::string& buffer, size_t start) {
    if (FindTsvSpecial(buffer, start) == std::string_view::npos) return;
    const std::string cell = buffer.substr(start);
    buffer.resize(start);
    AppendTsvEscaped(buffer, cell);
}

}  // namespace

void WriteTsv(std::ostream& out, const ResultRows& rows, const SelectionStats& stats) {
    const SourceTexts german;  // the same in every language
    std::string buffer;
    buffer.reserve(kFlushSize + 4096);
    for (size_t row = 0; row < rows.size(); ++row) {
        if (TerminalScan::Interrupted()) break;  // stop at a line's end
        buffer.append(std::to_string(rows.ActionCode(row)));
        for (int column = 0; column < ResultRows::kColumnCount; ++column) {
            buffer.push_back('\t');
            const size_t start = buffer.size();
            rows.AppendCellText(buffer, row, column);
            EscapeTail(buffer, start);
        }
        buffer.push_back('\n');
        if (buffer.size() >= kFlushSize) Flush(out, buffer);
    }
    if (!TerminalScan::Interrupted()) {
        const std::pair<const char*, std::string> fields[] = {
            {"1009", rows.SourceSummaryText()},
            {"1010", rows.TargetSummaryText()},
            {"1011", stats.SourceText()},
            {"1012", stats.TargetText()},
        };
        for (const auto& [id, text] : fields) {
            buffer.append(id);
            buffer.push_back('\t');
            AppendTsvEscaped(buffer, text);
            buffer.push_back('\n');
        }
    }
    Flush(out, buffer);
}

}  // namespace kirvo
