#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "engine/path_filter.h"

namespace kirvo {

class ProfileStore;

// The window's filter across runs: section "Filter", entries "Einschliessen"
// and "Ausschliessen", one pattern per line, the lines joined by line feeds.
// Loaded and saved together with the options.
class FilterSettings {
public:
    // A missing entry, or one holding an invalid pattern (only a hand-edited
    // file can), keeps the default of its list: include "*", exclude nothing.
    static PathFilter Load(ProfileStore& store);
    static void Save(ProfileStore& store, const PathFilter& filter);

    // The patterns of a text with one per line: each line without the blanks
    // around it, blank lines left out.
    static std::vector<std::string> SplitLines(std::string_view text);
    static std::string JoinLines(const std::vector<std::string>& lines);

    // Both lists for a person, one pattern per line under its heading.
    static std::string Description(const PathFilter& filter);
};

}  // namespace kirvo
