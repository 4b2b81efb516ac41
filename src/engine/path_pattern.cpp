#include "engine/path_pattern.h"

#include "engine/text_compare.h"

namespace kirvo {
namespace {

constexpr char kSeparator = '/';

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The ASCII character classes of sets, as in the C locale.
bool InClass(std::string_view name, unsigned char c, bool& known) {
    known = true;
    const bool printable = c >= 0x20 && c < 0x7f;
    if (name == "alpha") return IsLetter(c);
    if (name == "digit") return IsDigit(c);
    if (name == "alnum") return IsLetter(c) || IsDigit(c);
    if (name == "upper") return c >= 'A' && c <= 'Z';
    if (name == "lower") return c >= 'a' && c <= 'z';
    if (name == "space") return c == ' ' || (c >= '\t' && c <= '\r');
    if (name == "blank") return c == ' ' || c == '\t';
    if (name == "punct") return printable && c != ' ' && !IsLetter(c) && !IsDigit(c);
    if (name == "print") return printable;
    if (name == "graph") return printable && c != ' ';
    if (name == "cntrl") return c < 0x20 || c == 0x7f;
    if (name == "xdigit") return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    known = false;
    return false;
}

}  // namespace

bool PathPattern::Compile(std::string_view text, PathPattern& pattern, std::string& reason) {
    pattern = PathPattern();
    pattern.text_ = std::string(text);
    // Split at every separator that is not escaped.
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            if (i + 1 == text.size()) {
                reason = "Ein \\ am Ende maskiert kein Zeichen.";
                return false;
            }
            if (text[i + 1] == kSeparator) {
                reason = "Ein Name enthält nie ein /; es lässt sich nicht mit \\ maskieren.";
                return false;
            }
            ++i;
        } else if (text[i] == kSeparator) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    if (parts.size() > 1 && parts.front().empty()) {
        pattern.anchored_ = true;
        parts.erase(parts.begin());
    }
    if (parts.size() > 1 && parts.back().empty()) {
        pattern.foldersOnly_ = true;
        parts.pop_back();
    }
    if (parts.size() == 1 && parts.front().empty()) {
        reason = "Das Muster ist leer.";
        return false;
    }
    for (std::string_view part : parts) {
        if (part.empty()) {
            reason = "Das Muster enthält einen leeren Abschnitt (//).";
            return false;
        }
    }
    if (parts.size() > 1) pattern.anchored_ = true;
    for (std::string_view part : parts) {
        if (pattern.anchored_ && part == "**") {
            pattern.components_.push_back({Shape::AnyDepth, 0, 0, 0});
            continue;
        }
        if (!pattern.ParseComponent(part, reason)) return false;
    }
    pattern.trailingAnyDepth_ = pattern.components_.back().shape == Shape::AnyDepth;
    return true;
}

bool PathPattern::ParseComponent(std::string_view text, std::string& reason) {
    Component component{Shape::Glob, static_cast<uint32_t>(tokens_.size()), 0, 0};
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '*') {
            if (tokens_.size() == component.first || tokens_.back().kind != TokenKind::Star)
                tokens_.push_back({TokenKind::Star, 0, 0});
            ++i;
        } else if (c == '?') {
            tokens_.push_back({TokenKind::AnyByte, 0, 0});
            ++i;
        } else if (c == '[') {
            ByteSet set{};
            if (!ParseSet(text, i, set, reason)) return false;
            if (sets_.size() == UINT16_MAX) {
                reason = "Das Muster enthält zu viele Klammern.";
                return false;
            }
            sets_.push_back(set);
            tokens_.push_back({TokenKind::Set, 0, static_cast<uint16_t>(sets_.size() - 1)});
        } else {
            const auto byte = c == '\\' ? static_cast<unsigned char>(text[i + 1]) : c;
            tokens_.push_back({TokenKind::Byte, FoldAscii(byte), 0});
            i += c == '\\' ? 2 : 1;
        }
    }
    component.count = static_cast<uint32_t>(tokens_.size()) - component.first;
    uint32_t stars = 0;
    for (uint32_t k = 0; k < component.count; ++k) {
        if (tokens_[component.first + k].kind != TokenKind::Star) continue;
        ++stars;
        component.star = k;
    }
    if (stars == 0) {
        component.shape = Shape::Fixed;
    } else if (component.count == 1) {
        component.shape = Shape::AnyName;
    } else if (stars == 1) {
        component.shape = Shape::OneStar;
    }
    components_.push_back(std::move(component));
    return true;
}

// text[at] is the '['; on success at is just past the closing ']'.
bool PathPattern::ParseSet(std::string_view text, size_t& at, ByteSet& set, std::string& reason) const {
    auto add = [&set](unsigned char c) { set[c >> 6] |= uint64_t{1} << (c & 63); };
    size_t i = at + 1;
    bool negate = false;
    if (i < text.size() && (text[i] == '!' || text[i] == '^')) {
        negate = true;
        ++i;
    }
    auto unclosed = [&] {
        reason = "Die eckige Klammer [ wird nicht mit ] geschlossen.";
        return false;
    };
    bool first = true;
    while (true) {
        if (i >= text.size()) return unclosed();
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ']' && !first) {
            ++i;
            break;
        }
        first = false;
        if (c == '[' && i + 1 < text.size() && text[i + 1] == ':') {
            const size_t end = text.find(":]", i + 2);
            if (end != std::string_view::npos) {
                const std::string_view name = text.substr(i + 2, end - i - 2);
                bool known = false;
                InClass(name, 'a', known);
                if (!known) {
                    reason = "Die Zeichenklasse [:" + std::string(name) + ":] gibt es nicht.";
                    return false;
                }
                for (int b = 0; b < 256; ++b)
                    if (InClass(name, static_cast<unsigned char>(b), known)) add(static_cast<unsigned char>(b));
                i = end + 2;
                continue;
            }
        }
        auto takeByte = [&](size_t& k, unsigned char& out) {
            if (text[k] == '\\') {
                if (k + 1 >= text.size()) return false;
                out = static_cast<unsigned char>(text[k + 1]);
                k += 2;
            } else {
                out = static_cast<unsigned char>(text[k]);
                k += 1;
            }
            return true;
        };
        unsigned char low = 0;
        if (!takeByte(i, low)) return unclosed();
        if (i + 1 < text.size() && text[i] == '-' && text[i + 1] != ']') {
            size_t k = i + 1;
            unsigned char high = 0;
            if (!takeByte(k, high)) return unclosed();
            if (high < low) {
                reason = "Der Bereich " + std::string(1, static_cast<char>(low)) + "-" +
                         std::string(1, static_cast<char>(high)) + " ist leer.";
                return false;
            }
            for (unsigned b = low; b <= high; ++b) add(static_cast<unsigned char>(b));
            i = k;
        } else {
            add(low);
        }
    }
    // Letters match either case: the set holds both or neither.
    for (unsigned char c = 'a'; c <= 'z'; ++c) {
        const auto upper = static_cast<unsigned char>(c - 0x20);
        const bool in = (set[c >> 6] >> (c & 63) & 1) || (set[upper >> 6] >> (upper & 63) & 1);
        if (in) {
            add(c);
            add(upper);
        }
    }
    if (negate)
        for (uint64_t& word : set) word = ~word;
    at = i;
    return true;
}

bool PathPattern::matchesEverything() const {
    if (foldersOnly_) return false;
    if (!anchored_) return components_.front().shape == Shape::AnyName;
    // "**/*" and "/**": any number of folders, then any name or nothing.
    const size_t n = components_.size();
    for (size_t k = 0; k + 1 < n; ++k)
        if (components_[k].shape != Shape::AnyDepth) return false;
    return components_.back().shape == Shape::AnyDepth || (n >= 2 && components_.back().shape == Shape::AnyName);
}

bool PathPattern::Matches(std::string_view folder, std::string_view name, bool isFolder) const {
    if (foldersOnly_ && !isFolder) return false;
    if (!anchored_) return ComponentMatches(components_.front(), name);
    if (!trailingAnyDepth_) return PathMatches(components_.size(), folder, name);
    // "x/**": the folder x itself, or anything that has such a folder above it.
    if (isFolder && PathMatches(components_.size() - 1, folder, name)) return true;
    return PathMatches(components_.size(), folder, {});
}

bool PathPattern::ComponentMatches(const Component& component, std::string_view name) const {
    const Token* tokens = tokens_.data() + component.first;
    switch (component.shape) {
    case Shape::AnyDepth:
    case Shape::AnyName:
        return true;
    case Shape::Fixed:
        return name.size() == component.count && TokensMatch(tokens, component.count, name.data());
    case Shape::OneStar: {
        // The end first: most such patterns name an extension.
        const size_t head = component.star, tail = component.count - component.star - 1;
        return name.size() >= head + tail && TokensMatch(tokens + head + 1, tail, name.data() + name.size() - tail) &&
               TokensMatch(tokens, head, name.data());
    }
    case Shape::Glob:
        break;
    }
    return GlobMatches(component, name);
}

bool PathPattern::SetHas(const Token& token, unsigned char byte) const {
    return (sets_[token.set][byte >> 6] >> (byte & 63) & 1) != 0;
}

// Tokens without a star against as many bytes, from the last one back.
bool PathPattern::TokensMatch(const Token* tokens, size_t count, const char* bytes) const {
    for (size_t k = count; k-- > 0;) {
        const Token& token = tokens[k];
        const auto byte = static_cast<unsigned char>(bytes[k]);
        if (token.kind == TokenKind::Byte) {
            if (FoldAscii(byte) != token.byte) return false;
        } else if (token.kind == TokenKind::Set && !SetHas(token, byte)) {
            return false;
        }
    }
    return true;
}

// The usual wildcard walk: on a mismatch the last star takes one more byte.
bool PathPattern::GlobMatches(const Component& component, std::string_view name) const {
    const Token* tokens = tokens_.data() + component.first;
    const size_t count = component.count;
    size_t t = 0, n = 0;
    size_t starT = SIZE_MAX, starN = 0;
    while (n < name.size()) {
        if (t < count) {
            if (tokens[t].kind == TokenKind::Star) {
                starT = ++t;
                starN = n;
                continue;
            }
            if (TokensMatch(tokens + t, 1, name.data() + n)) {
                ++t;
                ++n;
                continue;
            }
        }
        if (starT == SIZE_MAX) return false;
        t = starT;
        n = ++starN;
    }
    while (t < count && tokens[t].kind == TokenKind::Star) ++t;
    return t == count;
}

// The same walk one level up: path components for bytes, "**" for the star.
bool PathPattern::PathMatches(size_t count, std::string_view folder, std::string_view name) const {
    const size_t end = folder.size() + (name.empty() ? 0 : 1);
    // The component at pos and the position after it.
    auto at = [&](size_t pos, size_t& next) {
        if (pos == folder.size()) {
            next = end;
            return name;
        }
        const size_t slash = folder.find(kSeparator, pos);
        next = slash + 1;
        return folder.substr(pos, slash - pos);
    };
    size_t p = 0, pos = 0;
    size_t starP = SIZE_MAX, starPos = 0;
    while (pos < end) {
        if (p < count) {
            const Component& component = components_[p];
            if (component.shape == Shape::AnyDepth) {
                starP = ++p;
                starPos = pos;
                continue;
            }
            size_t next = 0;
            if (ComponentMatches(component, at(pos, next))) {
                ++p;
                pos = next;
                continue;
            }
        }
        if (starP == SIZE_MAX) return false;
        at(starPos, pos);  // the last "**" takes one more component
        starPos = pos;
        p = starP;
    }
    while (p < count && components_[p].shape == Shape::AnyDepth) ++p;
    return p == count;
}

std::string_view PathPattern::TrimLine(std::string_view line) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && blank(line.back())) {
        size_t backslashes = 0;
        while (backslashes + 1 < line.size() && line[line.size() - 2 - backslashes] == '\\') ++backslashes;
        if (backslashes % 2 == 1 && line.back() != '\r') break;  // "\ " keeps its blank
        line.remove_suffix(1);
    }
    return line;
}

std::string PathPattern::Exactly(std::string_view relative) {
    std::string pattern = "/";
    // Blanks at the end would be trimmed from a pattern list.
    size_t end = relative.size();
    while (end > 0 && (relative[end - 1] == ' ' || relative[end - 1] == '\t' || relative[end - 1] == '/')) --end;
    for (size_t i = 0; i < relative.size(); ++i) {
        const char c = relative[i];
        if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\' || (i >= end && c != '/')) pattern += '\\';
        pattern += c;
    }
    return pattern;
}

}  // namespace kirvo
