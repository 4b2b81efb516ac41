#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/sync_plan.h"

namespace kirvo {

// What Delete removes: every taking-part row's source file, then every taking-part
// row's target file, each pass in list order. Directions play no part.
struct DeletePlan {
    std::vector<RootedPath> sourceFiles;
    std::vector<RootedPath> targetFiles;

    int32_t sourceCount() const { return static_cast<int32_t>(sourceFiles.size()); }
    int32_t targetCount() const { return static_cast<int32_t>(targetFiles.size()); }
};

DeletePlan BuildDeletePlan(std::span<const PlanRow> rows, std::string_view sourceRoot,
                           std::string_view targetRoot);

}  // namespace kirvo
