#include "engine/twin_names.h"

#include <utility>

namespace kirvo {
namespace {

bool SourceWithName(const FileEntry* entry, std::string_view name) {
    return entry->side() == kSourceSide && entry->name() == name;
}

}  // namespace

void TwinNames::Share(std::span<const FileEntry* const> sorted, NameStore& targetNames) {
    NameStore kept;
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (sorted[i]->side() != kTargetSide) continue;
        // The engine owns its entries; the table only shows them as const.
        auto& entry = const_cast<FileEntry&>(*sorted[i]);
        const std::string_view name = entry.name();
        // Byte-identical twins sort next to each other (EntryOrder's last keys).
        if (i > 0 && SourceWithName(sorted[i - 1], name)) {
            entry.ShareName(sorted[i - 1]->name().data());
        } else if (i + 1 < sorted.size() && SourceWithName(sorted[i + 1], name)) {
            entry.ShareName(sorted[i + 1]->name().data());
        } else {
            entry.ShareName(kept.Add(name).data());
        }
    }
    targetNames = std::move(kept);
}

}  // namespace kirvo
