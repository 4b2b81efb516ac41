#include "engine/path_filter.h"
#include "platform/translation.h"

namespace kirvo {

PathFilter::PathFilter() : includeTexts_{"*"} {}

std::string PathFilter::InvalidPatternMessage(std::string_view pattern, std::string_view where,
                                              std::string_view reason) {
    return Format(Tr("Ungültiges Muster \"%s\"%s: %s"), pattern, Tr(where), reason);
}

bool PathFilter::Create(std::span<const std::string> include, std::span<const std::string> exclude,
                        PathFilter& filter, std::string& error) {
    PathFilter made;
    made.includeTexts_.assign(include.begin(), include.end());
    if (made.includeTexts_.empty()) made.includeTexts_.push_back("*");
    made.excludeTexts_.assign(exclude.begin(), exclude.end());
    made.includeAll_ = false;
    struct List {
        const std::vector<std::string>& texts;
        std::vector<PathPattern>& files;
        std::vector<PathPattern>& folders;
        std::string_view where;
    };
    const List lists[] = {
        {made.includeTexts_, made.includeFiles_, made.includeFolders_, kInIncludeList},
        {made.excludeTexts_, made.excludeFiles_, made.excludeFolders_, kInExcludeList},
    };
    for (const List& list : lists) {
        for (const std::string& text : list.texts) {
            PathPattern pattern;
            std::string reason;
            if (!PathPattern::Compile(text, pattern, reason)) {
                error = InvalidPatternMessage(text, list.where, reason);
                return false;
            }
            if (&list == &lists[0] && pattern.matchesEverything()) made.includeAll_ = true;
            if (!pattern.foldersOnly()) list.files.push_back(pattern);
            list.folders.push_back(std::move(pattern));
        }
    }
    if (made.includeAll_) {
        made.includeFiles_.clear();
        made.includeFolders_.clear();
    }
    filter = std::move(made);
    return true;
}

bool PathFilter::AnyMatches(const std::vector<PathPattern>& patterns, std::string_view folder, std::string_view name,
                            bool isFolder) {
    for (const PathPattern& pattern : patterns)
        if (pattern.Matches(folder, name, isFolder)) return true;
    return false;
}

ScanFilter::FolderDecision PathFilter::Folder(std::string_view relativePath, std::string_view name,
                                              bool parentIncluded) const {
    const std::string_view parent = relativePath.substr(0, relativePath.size() - name.size() - 1);
    if (AnyMatches(excludeFolders_, parent, name, true)) return {false, false};
    return {true, parentIncluded || includeAll_ || AnyMatches(includeFolders_, parent, name, true)};
}

bool PathFilter::File(std::string_view folder, std::string_view name, bool folderIncluded) const {
    if (AnyMatches(excludeFiles_, folder, name, false)) return false;
    return folderIncluded || includeAll_ || AnyMatches(includeFiles_, folder, name, false);
}

}  // namespace kirvo
