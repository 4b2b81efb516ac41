#include "fileops/sync_plan.h"

#include "platform/file_transfer.h"

namespace kirvo {
namespace {

RootedPath Join(std::string_view root, std::string_view relative) { return RootedPath::Join(root, relative); }

// The half-written temporary file of a killed copy is never spread to the other
// side; the next copy of its file removes it.
bool IsLeftover(std::string_view relative) {
    const size_t slash = relative.rfind('/');
    return FileTransfer::IsTemporaryName(slash == std::string_view::npos ? relative : relative.substr(slash + 1));
}

}  // namespace

bool PlanCopyOfRow(const PlanRow& row, std::string_view sourceRoot, std::string_view targetRoot,
                   CopyPair& pair) {
    if (row.direction > 0) {
        if (row.sourcePath.empty() || IsLeftover(row.sourcePath)) return false;  // nothing to copy from
        pair.from = Join(sourceRoot, row.sourcePath);
        pair.to = Join(targetRoot, row.targetPath.empty() ? row.sourcePath : row.targetPath);
        return true;
    }
    if (row.direction < 0) {
        if (row.targetPath.empty() || IsLeftover(row.targetPath)) return false;
        pair.from = Join(targetRoot, row.targetPath);
        pair.to = Join(sourceRoot, row.sourcePath.empty() ? row.targetPath : row.sourcePath);
        return true;
    }
    return false;
}

SyncPlan BuildSyncPlan(std::span<const PlanRow> rows, std::string_view sourceRoot,
                       std::string_view targetRoot) {
    SyncPlan plan;
    CopyPair pair;
    for (const PlanRow& row : rows) {
        if (!row.takesPart || !PlanCopyOfRow(row, sourceRoot, targetRoot, pair)) continue;
        (row.direction > 0 ? plan.sourceToTarget : plan.targetToSource).pairs.push_back(std::move(pair));
    }
    return plan;
}

CopyList BuildCopyPlan(std::span<const PlanRow> rows, std::string_view sourceRoot,
                       std::string_view targetRoot) {
    CopyList list;
    CopyPair pair;
    for (const PlanRow& row : rows) {
        if (row.takesPart && PlanCopyOfRow(row, sourceRoot, targetRoot, pair))
            list.pairs.push_back(std::move(pair));
    }
    return list;
}

}  // namespace kirvo
