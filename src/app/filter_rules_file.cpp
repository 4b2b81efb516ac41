#include "app/filter_rules_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "engine/path_filter.h"
#include "engine/path_pattern.h"

namespace kirvo {
namespace {

// A rule longer than any pattern could sensibly be, and a file larger than any
// filter could sensibly be: read no further (a device like /dev/zero never ends).
constexpr size_t kMaxLine = 64 * 1024;
constexpr size_t kMaxFile = 16 * 1024 * 1024;

bool ReadBounded(const std::string& path, std::string& text, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    int failure = file ? 0 : errno;
    size_t lineStart = 0;
    bool tooLong = false;
    if (file) {
        char buffer[65536];
        size_t n = 0;
        while (!tooLong && text.size() <= kMaxFile && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            text.append(buffer, n);
            for (size_t end; !tooLong && (end = text.find('\n', lineStart)) != std::string::npos;) {
                tooLong = end - lineStart > kMaxLine;
                if (!tooLong) lineStart = end + 1;
            }
            tooLong = tooLong || text.size() - lineStart > kMaxLine;
        }
        if (!tooLong && std::ferror(file)) failure = errno != 0 ? errno : EIO;
        std::fclose(file);
    }
    const std::string quoted = "Die Filterdatei \"" + path + "\"";
    if (tooLong) {
        const auto line = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(lineStart), '\n') + 1;
        error = quoted + ", Zeile " + std::to_string(line) + ": länger als 64 KiB; so lang ist keine Regel.";
        return false;
    }
    if (failure == 0 && text.size() > kMaxFile) {
        error = quoted + " ist größer als 16 MiB; so groß ist kein Filter.";
        return false;
    }
    if (failure == 0) return true;
    const char* why = failure == ENOENT ? "es gibt sie nicht"
                      : failure == EACCES ? "keine Leserechte"
                      : failure == EISDIR ? "sie ist ein Ordner"
                                          : "Lesefehler";
    error = quoted + " lässt sich nicht lesen: " + why + ".";
    return false;
}

}  // namespace

bool CheckFilterPattern(const std::string& pattern, const std::string& where, std::string& error) {
    PathPattern compiled;
    std::string reason;
    if (PathPattern::Compile(pattern, compiled, reason)) return true;
    error = PathFilter::InvalidPatternMessage(pattern, where, reason);
    return false;
}

bool ReadFilterFile(const std::string& path, std::vector<std::string>& include, std::vector<std::string>& exclude,
                    std::string& error) {
    std::string text;
    if (!ReadBounded(path, text, error)) return false;
    std::string_view rest = text;
    for (int number = 1; !rest.empty(); ++number) {
        const size_t end = rest.find('\n');
        const std::string_view line = PathPattern::TrimLine(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        const std::string where = " in \"" + path + "\", Zeile " + std::to_string(number);
        const bool rule = (line.front() == '+' || line.front() == '-') &&
                          (line.size() == 1 || line[1] == ' ' || line[1] == '\t');
        if (!rule) {
            error = "Filterdatei \"" + path + "\", Zeile " + std::to_string(number) + ": \"" + std::string(line) +
                    "\" ist keine Regel; erwartet wird \"+ MUSTER\" oder \"- MUSTER\".";
            return false;
        }
        const std::string pattern(PathPattern::TrimLine(line.substr(1)));
        if (!CheckFilterPattern(pattern, where, error)) return false;
        (line.front() == '+' ? include : exclude).push_back(pattern);
    }
    return true;
}

}  // namespace kirvo
