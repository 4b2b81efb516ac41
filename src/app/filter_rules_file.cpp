#include "app/filter_rules_file.h"

#include <cerrno>
#include <cstdio>

#include "engine/path_filter.h"
#include "engine/path_pattern.h"

namespace kirvo {
namespace {

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    int failure = file ? 0 : errno;
    if (file) {
        char buffer[65536];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
        if (std::ferror(file)) failure = errno != 0 ? errno : EIO;
        std::fclose(file);
    }
    if (failure == 0) return true;
    const char* why = failure == ENOENT ? "es gibt sie nicht"
                      : failure == EACCES ? "keine Leserechte"
                      : failure == EISDIR ? "sie ist ein Ordner"
                                          : "Lesefehler";
    error = "Die Filterdatei \"" + path + "\" lässt sich nicht lesen: " + why + ".";
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
    if (!ReadWholeFile(path, text, error)) return false;
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
