#include "fileops/delete_plan.h"

namespace kirvo {

DeletePlan BuildDeletePlan(std::span<const PlanRow> rows, const Root& source, const Root& target) {
    const std::string_view sourceRoot = source.location(), targetRoot = target.location();
    DeletePlan plan;
    for (const PlanRow& row : rows) {
        if (!row.takesPart || row.sourcePath.empty()) continue;
        if (row.sourceUnknown)
            plan.passedOver.push_back(row.sourcePath);
        else
            plan.sourceFiles.push_back({RootedPath::Join(sourceRoot, row.sourcePath, TreeSide::Source), row.source});
    }
    for (const PlanRow& row : rows) {
        if (!row.takesPart || row.targetPath.empty()) continue;
        if (row.targetUnknown)
            plan.passedOver.push_back(row.targetPath);
        else
            plan.targetFiles.push_back({RootedPath::Join(targetRoot, row.targetPath, TreeSide::Target), row.target});
    }
    return plan;
}

}  // namespace kirvo
