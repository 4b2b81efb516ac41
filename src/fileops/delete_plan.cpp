#include "fileops/delete_plan.h"

namespace kirvo {

DeletePlan BuildDeletePlan(std::span<const PlanRow> rows, std::string_view sourceRoot,
                           std::string_view targetRoot) {
    DeletePlan plan;
    for (const PlanRow& row : rows) {
        if (row.takesPart && !row.sourcePath.empty())
            plan.sourceFiles.push_back({RootedPath::Join(sourceRoot, row.sourcePath, TreeSide::Source), row.source});
    }
    for (const PlanRow& row : rows) {
        if (row.takesPart && !row.targetPath.empty())
            plan.targetFiles.push_back({RootedPath::Join(targetRoot, row.targetPath, TreeSide::Target), row.target});
    }
    return plan;
}

}  // namespace kirvo
