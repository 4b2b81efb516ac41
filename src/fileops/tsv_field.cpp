#include "fileops/tsv_field.h"

namespace kirvo {

size_t FindTsvSpecial(std::string_view text, size_t from) {
    // A loop over the bytes: find_first_of would search the set once per byte.
    for (size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == '\t' || c == '\n' || c == '\r') return i;
    }
    return std::string_view::npos;
}

void AppendTsvEscaped(std::string& line, std::string_view text) {
    // Copies runs of plain bytes at once; names rarely hold anything to escape.
    while (!text.empty()) {
        const size_t special = FindTsvSpecial(text);
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

bool TsvUnescaped(std::string_view field, std::string& text) {
    text.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            text += field[i];
            continue;
        }
        if (++i == field.size()) return false;
        switch (field[i]) {
            case '\\': text += '\\'; break;
            case 't': text += '\t'; break;
            case 'n': text += '\n'; break;
            case 'r': text += '\r'; break;
            default: return false;
        }
    }
    return true;
}

}  // namespace kirvo
