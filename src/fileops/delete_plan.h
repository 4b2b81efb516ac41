#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fileops/sync_plan.h"

namespace kirvo {

// A file to delete, with what the comparison saw of it: a file changed since
// is not deleted without asking.
struct ListedPath {
    // Nothing listed: deleted without that check.
    ListedPath(RootedPath p, ListedFile l = {}) : path(std::move(p)), listed(l) {}  // NOLINT(google-explicit-constructor)

    RootedPath path;
    ListedFile listed;

    friend bool operator==(const ListedPath&, const ListedPath&) = default;
};

// What Delete removes: every taking-part row's source file, then every taking-part
// row's target file, each pass in list order. Directions play no part. A file
// where its side could not be read completely is left alone (passedOver).
struct DeletePlan {
    std::vector<ListedPath> sourceFiles;
    std::vector<ListedPath> targetFiles;
    std::vector<std::string> passedOver;  // relative paths, in list order

    int32_t sourceCount() const { return static_cast<int32_t>(sourceFiles.size()); }
    int32_t targetCount() const { return static_cast<int32_t>(targetFiles.size()); }
};

DeletePlan BuildDeletePlan(std::span<const PlanRow> rows, const Root& source, const Root& target);

}  // namespace kirvo
