#include "fileops/tsv_field.h"

namespace kirvo {

void AppendTsvEscaped(std::string& line, std::string_view text) {
    // Copies runs of plain bytes at once; names rarely hold anything to escape.
    while (!text.empty()) {
        const size_t special = text.find_first_of("\\\t\n\r");
        line.append(text.substr(0, special));
        if (special == std::string_view::npos) return;
        switch (text[special]) {
            case '\\': line += "\\\\"; break;
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            default: line += "\\r"; break;
        }
        text.remove_prefix(special + 1);
    }
}

}  // namespace kirvo
