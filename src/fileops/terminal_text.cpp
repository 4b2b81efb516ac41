#include "fileops/terminal_text.h"

namespace kirvo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& line, const char* prefix, uint32_t value, int digits) {
    line += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) line.push_back(kHex[(value >> shift) & 15]);
}

// The length of the well-formed UTF-8 sequence at text[at] (no overlong forms,
// no surrogates, nothing above U+10FFFF) and its code point; 0 where there is none.
size_t DecodeUtf8(std::string_view text, size_t at, uint32_t& codePoint) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = byte(k);
        if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return 0;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    return length;
}

// Characters a terminal acts on or that change the order of what is shown.
bool Steers(uint32_t codePoint) {
    return (codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0x061C || codePoint == 0x200E ||
           codePoint == 0x200F || (codePoint >= 0x202A && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069);
}

}  // namespace

void AppendDisplayEscaped(std::string& line, std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        // Printable ASCII goes in as one run; names are mostly that.
        size_t plain = at;
        while (plain < text.size()) {
            const auto c = static_cast<unsigned char>(text[plain]);
            if (c < 0x20 || c >= 0x7F || c == '\\') break;
            ++plain;
        }
        line.append(text.substr(at, plain - at));
        at = plain;
        if (at == text.size()) return;
        const auto c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) {
            switch (c) {
            case '\\': line += "\\\\"; break;
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            case '\r': line += "\\r"; break;
            default: AppendHex(line, "\\x", c, 2); break;
            }
            ++at;
            continue;
        }
        uint32_t codePoint = 0;
        const size_t length = DecodeUtf8(text, at, codePoint);
        if (length == 0) {
            AppendHex(line, "\\x", c, 2);
            ++at;
        } else {
            if (Steers(codePoint)) AppendHex(line, "\\u", codePoint, 4);
            else line.append(text.substr(at, length));
            at += length;
        }
    }
}

std::string DisplayEscaped(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    AppendDisplayEscaped(line, text);
    return line;
}

std::string DisplayEscapedLines(std::string_view text) {
    std::string lines;
    lines.reserve(text.size());
    while (true) {
        const size_t end = text.find('\n');
        AppendDisplayEscaped(lines, text.substr(0, end));
        if (end == std::string_view::npos) return lines;
        lines += '\n';
        text.remove_prefix(end + 1);
    }
}

}  // namespace kirvo
