#include "fileops/sync_plan.h"

namespace kirvo {
namespace {

ListedFile Listed(const FileEntry* entry, int64_t utcOffset) {
    if (entry == nullptr) return ListedFile::Absent();
    return ListedFile::Present(entry->size(), entry->modifiedSeconds() - utcOffset, entry->modifiedMilliseconds());
}

}  // namespace

PlanRow PlanRowOf(const FilePair& pair, int64_t utcOffset, bool takesPart) {
    PlanRow row;
    row.takesPart = takesPart;
    row.direction = DirectionOf(pair.verdict);
    row.conflict = IsConflict(pair.verdict);
    row.sourceUnknown = (pair.unknownSides & FilePair::kSourceUnknown) != 0;
    row.targetUnknown = (pair.unknownSides & FilePair::kTargetUnknown) != 0;
    if (pair.source) row.sourcePath = pair.source->relativePath();
    if (pair.target) row.targetPath = pair.target->relativePath();
    row.source = Listed(pair.source, utcOffset);
    row.target = Listed(pair.target, utcOffset);
    return row;
}

bool PlanCopyOfRow(const PlanRow& row, std::string_view sourceRoot, std::string_view targetRoot,
                   CopyPair& pair) {
    if (row.direction > 0) {
        if (row.sourcePath.empty() || row.targetUnknown) return false;  // nothing to copy from, or unread there
        pair.from = RootedPath::Join(sourceRoot, row.sourcePath, TreeSide::Source);
        pair.to = RootedPath::Join(targetRoot, row.targetPath.empty() ? row.sourcePath : row.targetPath,
                                   TreeSide::Target);
        pair.listedTo = row.target;
        pair.listedFrom = row.source;
        return true;
    }
    if (row.direction < 0) {
        if (row.targetPath.empty() || row.sourceUnknown) return false;
        pair.from = RootedPath::Join(targetRoot, row.targetPath, TreeSide::Target);
        pair.to = RootedPath::Join(sourceRoot, row.sourcePath.empty() ? row.targetPath : row.sourcePath,
                                   TreeSide::Source);
        pair.listedTo = row.source;
        pair.listedFrom = row.target;
        return true;
    }
    return false;
}

SyncPlan BuildSyncPlan(std::span<const PlanRow> rows, const Root& source, const Root& target) {
    const std::string_view sourceRoot = source.location(), targetRoot = target.location();
    SyncPlan plan;
    CopyPair pair;
    for (const PlanRow& row : rows) {
        if (!row.takesPart || !PlanCopyOfRow(row, sourceRoot, targetRoot, pair)) continue;
        (row.direction > 0 ? plan.sourceToTarget : plan.targetToSource).pairs.push_back(std::move(pair));
    }
    return plan;
}

CopyList BuildCopyPlan(std::span<const PlanRow> rows, const Root& source, const Root& target, int32_t conflictDirection) {
    const std::string_view sourceRoot = source.location(), targetRoot = target.location();
    CopyList list;
    CopyPair pair;
    for (const PlanRow& row : rows) {
        if (!row.takesPart) continue;
        if (row.conflict) {
            if (conflictDirection == 0) continue;
            PlanRow directed = row;
            directed.direction = conflictDirection;
            if (PlanCopyOfRow(directed, sourceRoot, targetRoot, pair)) list.pairs.push_back(std::move(pair));
        } else if (PlanCopyOfRow(row, sourceRoot, targetRoot, pair)) {
            list.pairs.push_back(std::move(pair));
        }
    }
    return list;
}

CopyList BuildDirectedCopyPlan(std::span<const PlanRow> rows, const Root& source, const Root& target, int32_t direction,
                               std::vector<std::string>* passedOver, std::vector<std::string>* unread) {
    const std::string_view sourceRoot = source.location(), targetRoot = target.location();
    CopyList list;
    CopyPair pair;
    for (const PlanRow& row : rows) {
        if (!row.takesPart || (row.sourcePath.empty() && row.targetPath.empty())) continue;  // folder rows
        PlanRow directed = row;
        directed.direction = direction;
        if (PlanCopyOfRow(directed, sourceRoot, targetRoot, pair)) {
            list.pairs.push_back(std::move(pair));
            continue;
        }
        const std::string& from = direction > 0 ? row.sourcePath : row.targetPath;
        std::vector<std::string>* into = from.empty() ? passedOver : unread;
        if (into) into->push_back(from.empty() ? (row.sourcePath.empty() ? row.targetPath : row.sourcePath) : from);
    }
    return list;
}

}  // namespace kirvo
