#pragma once
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/path_pattern.h"
#include "engine/scan_filter.h"
#include "platform/translation.h"

namespace kirvo {

// Include and exclude patterns (PathPattern) as a scan filter, the same for
// the window and the command line. A folder that matches an exclude pattern
// is not entered; a file that matches one is not listed. A file is listed
// only when it, or a folder above it, matches an include pattern; include
// patterns never keep a folder from being entered. Exclude wins. No include
// pattern at all counts as "*".
//
// All methods are const and keep no state: the scan may ask from several
// threads at once.
class PathFilter final : public ScanFilter {
public:
    // Include "*", no exclude: leaves out nothing.
    PathFilter();

    // False with a German message naming the first invalid pattern and its
    // list ("Einschließen", "Ausschließen"); filter is then unchanged.
    static bool Create(std::span<const std::string> include, std::span<const std::string> exclude,
                       PathFilter& filter, std::string& error);
    // Where a pattern of each list is, for the messages.
    static constexpr std::string_view kInIncludeList = TrNoop(" unter \"Einschließen\"");
    static constexpr std::string_view kInExcludeList = TrNoop(" unter \"Ausschließen\"");
    // The message for an invalid pattern: "Ungültiges Muster "…"<where>: <reason>".
    static std::string InvalidPatternMessage(std::string_view pattern, std::string_view where,
                                             std::string_view reason);

    const std::vector<std::string>& includePatterns() const { return includeTexts_; }
    const std::vector<std::string>& excludePatterns() const { return excludeTexts_; }
    // True when every file would be listed: no exclude pattern, and an include
    // pattern that matches everything. Then a scan needs no filter at all.
    bool LeavesOutNothing() const { return excludeFiles_.empty() && excludeFolders_.empty() && includeAll_; }

    FolderDecision Folder(std::string_view relativePath, std::string_view name, bool parentIncluded) const override;
    bool File(std::string_view folder, std::string_view name, bool folderIncluded) const override;
    bool RootIncluded() const override { return includeAll_; }

    friend bool operator==(const PathFilter& a, const PathFilter& b) {
        return a.includeTexts_ == b.includeTexts_ && a.excludeTexts_ == b.excludeTexts_;
    }

private:
    static bool AnyMatches(const std::vector<PathPattern>& patterns, std::string_view folder, std::string_view name,
                           bool isFolder);

    std::vector<std::string> includeTexts_;
    std::vector<std::string> excludeTexts_;
    // Split by what they can match, so a file is never tried against a
    // folders-only pattern.
    std::vector<PathPattern> includeFiles_;
    std::vector<PathPattern> includeFolders_;
    std::vector<PathPattern> excludeFiles_;
    std::vector<PathPattern> excludeFolders_;
    bool includeAll_ = true;
};

}  // namespace kirvo
