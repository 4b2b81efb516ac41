#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kirvo {

// Folds only 'A'..'Z'; every other byte (umlauts, UTF-8 sequences) stays as it is.
inline unsigned char FoldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
}

// A copy of text with 'A'..'Z' folded (FoldAscii): names as case-insensitive pairing sees them.
inline std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return folded;
}

// How many leading bytes a and b have in common as stored, counted a word at
// a time (bytes equal as stored are equal however they are weighed), rounded
// down to a multiple of 8 at most n.
inline size_t CommonWords(const char* a, const char* b, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) break;
    }
    return i;
}

// Byte-wise comparison ignoring ASCII case; bytes compare as unsigned and a
// text that ends first sorts first. Returns <0, 0 or >0.
inline int CompareIgnoreCase(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = CommonWords(a.data(), b.data(), n); i < n; ++i) {
        const unsigned char x = FoldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = FoldAscii(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

inline bool EqualIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && (a == b || CompareIgnoreCase(a, b) == 0);
}

// Plain unsigned byte order, the tie-breaker among texts equal ignoring case.
inline int CompareBytes(std::string_view a, std::string_view b) {
    const int r = a.compare(b);  // char_traits<char>::compare compares as unsigned char
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace kirvo
