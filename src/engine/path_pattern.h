#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kirvo {

// One include or exclude pattern of a filter, compiled once and then matched
// against files and folders without allocating.
//
// Syntax: `*` any run of bytes but the separator, `?` one such byte, `[...]`
// a set (ranges, `!` or `^` negates, [:alpha:] and the other ASCII classes),
// `\` takes the next byte as it is, `**` as a whole component any number of
// folders (also none). ASCII letters match either case; every other byte only
// itself. A pattern without a separator, or with one only at its end, is
// matched against the name at any depth; any other is matched against the
// whole path from the root (a leading separator changes nothing). A trailing
// separator makes it match folders only; `x/**` matches the folder x and
// everything in it.
class PathPattern {
public:
    // False, with the reason in German, when text is no valid pattern: empty,
    // an unclosed `[`, a `\` at the end, an empty component ("a//b"), an
    // escaped separator, an empty range ("[z-a]") or an unknown class.
    static bool Compile(std::string_view text, PathPattern& pattern, std::string& reason);

    // Whether the entry `name` in `folder` matches. folder is the entry's
    // folder from the root: "" for the root, else names each followed by the
    // separator ("a/b/").
    bool Matches(std::string_view folder, std::string_view name, bool isFolder) const;

    const std::string& text() const { return text_; }
    bool foldersOnly() const { return foldersOnly_; }
    // Matches every file and folder ("*", "**").
    bool matchesEverything() const;

    // The pattern that matches exactly the entry at `relative` from the root
    // (a folder's ends in the separator, and so matches that folder only):
    // "/" and the path with every character a pattern reads as a wildcard
    // escaped.
    static std::string Exactly(std::string_view relative);

    // A line of a pattern list without the blanks and tabs around it; a blank
    // or tab escaped with `\` at its end stays.
    static std::string_view TrimLine(std::string_view line);

private:
    enum class TokenKind : uint8_t { Byte, AnyByte, Star, Set };
    struct Token {
        TokenKind kind;
        uint8_t byte;      // Byte: folded
        uint16_t set;      // Set: index into sets_
    };
    // How a component is matched. Most patterns have at most one star; they
    // are matched at both ends of the name without a search.
    enum class Shape : uint8_t {
        AnyDepth,  // "**" as a whole component of a path pattern
        AnyName,   // "*"
        Fixed,     // no star: one token per byte
        OneStar,   // tokens before the star at the start, those after it at the end
        Glob,      // several stars
    };
    struct Component {
        Shape shape;
        uint32_t first;  // tokens_[first .. first + count)
        uint32_t count;
        uint32_t star;   // OneStar: the index of the star within the component's tokens
    };
    using ByteSet = std::array<uint64_t, 4>;

    bool ParseComponent(std::string_view text, std::string& reason);
    bool ParseSet(std::string_view text, size_t& at, ByteSet& set, std::string& reason) const;
    bool ComponentMatches(const Component& component, std::string_view name) const;
    bool GlobMatches(const Component& component, std::string_view name) const;
    bool TokensMatch(const Token* tokens, size_t count, const char* bytes) const;
    bool SetHas(const Token& token, unsigned char byte) const;
    // The components [0, count) against the path's components: those of
    // folder, then name when it is not empty. Components of kind AnyDepth
    // match any number of path components.
    bool PathMatches(size_t count, std::string_view folder, std::string_view name) const;

    std::string text_;
    std::vector<Component> components_;
    std::vector<Token> tokens_;
    std::vector<ByteSet> sets_;
    bool anchored_ = false;
    bool foldersOnly_ = false;
    bool trailingAnyDepth_ = false;  // "x/**": kept apart from components_
};

}  // namespace kirvo
