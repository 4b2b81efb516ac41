// Fuzzes the filter patterns: any text compiles or is refused with a reason,
// never crashes; a compiled pattern decides every entry as a plain,
// backtracking model of the rules does, read straight from the pattern text.
// Input: a flag byte (bit 0: the entry is a folder), the pattern, a line
// feed, the entry's path from the root ("a/b/name").
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "engine/path_pattern.h"

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "model mismatch: %s\n", what.c_str());
    std::abort();
}

unsigned char Fold(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; }
unsigned char Other(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c + 0x20;
    if (c >= 'a' && c <= 'z') return c - 0x20;
    return c;
}

bool ModelClass(std::string_view name, unsigned char c) {
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'), digit = c >= '0' && c <= '9';
    if (name == "alpha") return alpha;
    if (name == "digit") return digit;
    if (name == "alnum") return alpha || digit;
    if (name == "upper") return c >= 'A' && c <= 'Z';
    if (name == "lower") return c >= 'a' && c <= 'z';
    if (name == "space") return c == ' ' || (c >= 9 && c <= 13);
    if (name == "blank") return c == ' ' || c == '\t';
    if (name == "punct") return c > ' ' && c < 0x7f && !alpha && !digit;
    if (name == "print") return c >= ' ' && c < 0x7f;
    if (name == "graph") return c > ' ' && c < 0x7f;
    if (name == "cntrl") return c < ' ' || c == 0x7f;
    if (name == "xdigit") return digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    return false;
}

// Whether the set at p[0] == '[' holds c or its other case; len is its length.
bool ModelSet(std::string_view p, unsigned char c, size_t& len) {
    size_t i = 1;
    const bool negate = p[i] == '!' || p[i] == '^';
    if (negate) ++i;
    bool in = false;
    for (bool first = true;; first = false) {
        if (p[i] == ']' && !first) break;
        if (p.substr(i, 2) == "[:" && p.find(":]", i + 2) != std::string_view::npos) {
            const size_t end = p.find(":]", i + 2);
            in = in || ModelClass(p.substr(i + 2, end - i - 2), c) || ModelClass(p.substr(i + 2, end - i - 2), Other(c));
            i = end + 2;
            continue;
        }
        auto take = [&] { return static_cast<unsigned char>(p[i] == '\\' ? p[(i += 2) - 1] : p[i++]); };
        const unsigned char low = take();
        unsigned char high = low;
        if (p[i] == '-' && p[i + 1] != ']') {
            ++i;
            high = take();
        }
        in = in || (c >= low && c <= high) || (Other(c) >= low && Other(c) <= high);
    }
    len = i + 1;
    return in != negate;
}

// One component: the pattern against one name, by plain backtracking.
bool ModelGlob(std::string_view p, std::string_view s) {
    if (p.empty()) return s.empty();
    if (p[0] == '*') {
        for (size_t i = 0; i <= s.size(); ++i)
            if (ModelGlob(p.substr(1), s.substr(i))) return true;
        return false;
    }
    if (s.empty()) return false;
    const auto c = static_cast<unsigned char>(s[0]);
    if (p[0] == '?') return ModelGlob(p.substr(1), s.substr(1));
    if (p[0] == '[') {
        size_t len = 0;
        return ModelSet(p, c, len) && ModelGlob(p.substr(len), s.substr(1));
    }
    const size_t width = p[0] == '\\' ? 2 : 1;
    return Fold(static_cast<unsigned char>(p[width - 1])) == Fold(c) && ModelGlob(p.substr(width), s.substr(1));
}

bool ModelPath(const std::vector<std::string_view>& p, size_t i, const std::vector<std::string_view>& s, size_t j) {
    if (i == p.size()) return j == s.size();
    if (p[i] == "**") {
        for (size_t k = j; k <= s.size(); ++k)
            if (ModelPath(p, i + 1, s, k)) return true;
        return false;
    }
    return j < s.size() && ModelGlob(p[i], s[j]) && ModelPath(p, i + 1, s, j + 1);
}

std::vector<std::string_view> SplitPattern(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '/') {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

bool Model(std::string_view text, const std::vector<std::string_view>& path, bool isFolder) {
    std::vector<std::string_view> parts = SplitPattern(text);
    bool anchored = false;
    if (parts.size() > 1 && parts.front().empty()) {
        anchored = true;
        parts.erase(parts.begin());
    }
    const bool foldersOnly = parts.size() > 1 && parts.back().empty();
    if (foldersOnly) parts.pop_back();
    if (foldersOnly && !isFolder) return false;
    if (!anchored && parts.size() == 1) return ModelGlob(parts[0], path.back());
    if (parts.back() != "**") return ModelPath(parts, 0, path, 0);
    // "x/**": the folder x itself, or anything below a folder x.
    parts.pop_back();
    if (isFolder && ModelPath(parts, 0, path, 0)) return true;
    for (size_t depth = 0; depth < path.size(); ++depth) {  // the root (depth 0) is above everything
        const std::vector<std::string_view> ancestor(path.begin(), path.begin() + static_cast<long>(depth));
        if (ModelPath(parts, 0, ancestor, 0)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const bool isFolder = (data[0] & 1) != 0;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    const size_t cut = input.find('\n');
    const std::string_view text = input.substr(0, cut);
    kirvo::PathPattern pattern;
    std::string reason;
    if (!kirvo::PathPattern::Compile(text, pattern, reason)) {
        if (reason.empty()) Fail("refused without a reason: " + std::string(text));
        return 0;
    }
    if (cut == std::string_view::npos) return 0;
    // The entry: components without separators, none empty.
    const std::string_view rest = input.substr(cut + 1);
    std::vector<std::string_view> path = SplitPattern(rest);
    for (std::string_view component : path)
        if (component.empty() || component.find('\\') != std::string_view::npos) return 0;
    const size_t stars = std::count(text.begin(), text.end(), '*');
    if (stars > 4 || rest.size() > 64) return 0;  // keeps the model's backtracking short
    const std::string_view folder = rest.substr(0, rest.size() - path.back().size());
    const bool got = pattern.Matches(folder, path.back(), isFolder);
    if (got != Model(text, path, isFolder))
        Fail("\"" + std::string(text) + "\" against \"" + std::string(rest) + (isFolder ? "/\"" : "\"") +
             (got ? " matched" : " did not match"));
    return 0;
}
