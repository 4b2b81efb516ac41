#include "app/filter_settings.h"

#include "app/profile_store.h"
#include "platform/translation.h"

namespace kirvo {

PathFilter FilterSettings::Load(ProfileStore& store) {
    // A missing entry reads as empty: include "*", exclude nothing.
    std::vector<std::string> include = SplitLines(store.GetProfileString(profile::kFilter, profile::kFilterInclude));
    std::vector<std::string> exclude = SplitLines(store.GetProfileString(profile::kFilter, profile::kFilterExclude));
    PathFilter filter;
    std::string error;
    if (!PathFilter::Create(include, {}, filter, error)) include.clear();
    if (!PathFilter::Create({}, exclude, filter, error)) exclude.clear();
    PathFilter::Create(include, exclude, filter, error);
    return filter;
}

void FilterSettings::Save(ProfileStore& store, const PathFilter& filter) {
    store.WriteProfileString(profile::kFilter, profile::kFilterInclude, JoinLines(filter.includePatterns()));
    store.WriteProfileString(profile::kFilter, profile::kFilterExclude, JoinLines(filter.excludePatterns()));
}

std::vector<std::string> FilterSettings::SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = PathPattern::TrimLine(text.substr(0, end));
        if (!line.empty()) lines.emplace_back(line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return lines;
}

std::string FilterSettings::JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += '\n';
        text += line;
    }
    return text;
}

std::string FilterSettings::Description(const PathFilter& filter) {
    std::string text = Tr("Einschließen:");
    for (const std::string& pattern : filter.includePatterns()) text += "\n    " + pattern;
    text += Tr("\nAusschließen:");
    for (const std::string& pattern : filter.excludePatterns()) text += "\n    " + pattern;
    if (filter.excludePatterns().empty()) text += Tr("\n    (nichts)");
    return text;
}

}  // namespace kirvo
