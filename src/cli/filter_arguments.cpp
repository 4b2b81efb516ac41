#include "cli/filter_arguments.h"

#include "app/filter_rules_file.h"
#include "cli/cli_arguments.h"
#include "engine/path_filter.h"

namespace kirvo {

bool ReadFilterArguments(const CliArguments& parsed, PathFilter& filter, std::string& error) {
    std::vector<std::string> include = parsed.Values("include");
    std::vector<std::string> exclude = parsed.Values("exclude");
    for (const std::string& pattern : include)
        if (!CheckFilterPattern(pattern, " bei --include", error)) return false;
    for (const std::string& pattern : exclude)
        if (!CheckFilterPattern(pattern, " bei --exclude", error)) return false;
    for (const std::string& path : parsed.Values("filter-from"))
        if (!ReadFilterFile(path, include, exclude, error)) return false;
    return PathFilter::Create(include, exclude, filter, error);
}

}  // namespace kirvo
