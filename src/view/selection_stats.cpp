#include "view/selection_stats.h"

#include <cstdio>
#include <span>

#include "view/result_rows.h"
#include "view/value_format.h"
#include "platform/translation.h"
#include "platform/value_text.h"

namespace kirvo {

void SelectionStats::Update(const ResultRows& rows) {
    const std::span<const FilePair> pairs = rows.pairs();
    const std::span<const ResultRows::RowRecord> records = rows.records();
    int32_t sourceFiles = 0, targetFiles = 0;
    uint64_t sourceBytes = 0, targetBytes = 0;
    for (int side = 0; side < 2; ++side) deletes_[side] = moves_[side] = 0, deleteBytes_[side] = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const ResultRows::RowRecord& row = records[i];
        if (row.state != ResultRows::kMarked) continue;
        const FilePair& pair = pairs[static_cast<size_t>(row.pair)];
        if (const PathDecision* decision = rows.Decision(i)) {
            const SyncAction action = decision->planned.action;
            const bool inSource = action == SyncAction::DeleteInSource || action == SyncAction::MoveInSource;
            const FileEntry* file = inSource ? pair.source : pair.target;
            const int side = inSource ? 0 : 1;
            if ((action == SyncAction::DeleteInSource || action == SyncAction::DeleteInTarget) && file) {
                ++deletes_[side];
                deleteBytes_[side] += file->size();
                continue;
            }
            if (action == SyncAction::MoveInSource || action == SyncAction::MoveInTarget) {
                ++moves_[side];
                continue;
            }
            if (action != SyncAction::CopyToTarget && action != SyncAction::CopyToSource) continue;
        } else if (!HasDirection(pair.verdict)) {
            continue;  // only rows with an arrow
        }
        if (pair.target) {
            ++targetFiles;
            targetBytes += pair.target->size();
        }
        if (pair.source) {
            ++sourceFiles;
            sourceBytes += pair.source->size();
        }
    }
    sourceFiles_ = sourceFiles;
    targetFiles_ = targetFiles;
    sourceBytes_ = sourceBytes;
    targetBytes_ = targetBytes;
}

std::string SelectionStats::Text(int32_t files, uint64_t bytes, int32_t deletes, uint64_t deleteBytes,
                                 int32_t moves) {
    const auto count = static_cast<uint64_t>(files);
    // TRANSLATORS: the files, the size, the exact bytes.
    std::string text = Format(Tr("%s mit %s (%s) ausgewählt"), Format(TrN("%s Datei", "%s Dateien", count), CountText(count)),
                              FormatTotalSize(static_cast<double>(bytes)), ByteCountText(bytes));
    if (deletes > 0) {
        text += Format(Tr(", %s zu löschen (%s)"), CountText(static_cast<uint64_t>(deletes)),
                       FormatTotalSize(static_cast<double>(deleteBytes)));
    }
    if (moves > 0) text += Format(Tr(", %s umzubenennen"), CountText(static_cast<uint64_t>(moves)));
    return text + " ";
}

}  // namespace kirvo
