#include "engine/tree_scanner.h"

#include <unordered_map>
#include <vector>

#include "engine/scan_filter.h"
#include "engine/tree_matcher.h"
#include "platform/directory_lister.h"

namespace kirvo {

void TreeScanner::Scan(const std::string& root) {
    into_.Clear();
    std::deque<std::string>& folders = into_.folders;
    folders.emplace_back();
    const ScanFilter* filter = options_.filter;
    // Per folder: its parent, the index of its last sub-folder (so it can be
    // opened relative to its open parent, and the parent closed once its last
    // child is open) and the filter's bit.
    std::vector<int32_t> parentOf{-1};
    std::vector<int32_t> lastChildOf{-1};
    std::vector<bool> includedOf{filter != nullptr && filter->RootIncluded()};
    std::unordered_map<int32_t, DirectoryLister> openParents;
    constexpr size_t kMaxOpenParents = 128;
    const DirectoryLister rootFolder = DirectoryLister::Open(root);
    if (!rootFolder.valid()) return;
    const DirectoryLister::Detail detail =
        options_.excludeSystemFolders ? DirectoryLister::Detail::FullWithSystemBit : DirectoryLister::Detail::Full;

    for (size_t current = 0; current < folders.size(); ++current) {
        const std::string* folder = &folders[current];
        const auto folderIndex = static_cast<int32_t>(current);
        const bool included = includedOf[current];
        DirectoryLister opened;
        const DirectoryLister* here = &rootFolder;
        if (current > 0) {
            const int32_t parent = parentOf[current];
            const auto it = openParents.find(parent);
            if (it != openParents.end()) {
                const std::string_view name = std::string_view(*folder).substr(
                    folders[parent].size(), folder->size() - folders[parent].size() - 1);
                opened = it->second.OpenChild(name);
                if (lastChildOf[parent] == folderIndex) openParents.erase(it);
            } else {
                opened = rootFolder.OpenChild(*folder);
            }
            if (!opened.valid()) continue;  // vanished, or no longer a real folder
            here = &opened;
        }
        const size_t firstChild = folders.size();
        here->List(detail, [&](const DirectoryRecord& record) {
            if (record.name == "." || record.name == "..") return;
            if (record.kind == RecordKind::File) {
                if (record.name.size() <= FileEntry::kMaxNameLength &&
                    (filter == nullptr || filter->File(*folder, record.name, included)))
                    MakeEntry(folderIndex, folder, record);
                return;
            }
            if (record.kind != RecordKind::Directory) return;
            if (options_.excludeSystemFolders && record.isSystem) return;
            if (side_ == kSourceSide && options_.excludeSubFolders && current == 0 &&
                !existsInTargetRoot_(record.name)) {
                return;
            }
            std::string sub;
            sub.reserve(folder->size() + record.name.size() + 1);
            sub.append(*folder).append(record.name).push_back(TreeMatcher::kSeparator);
            bool subIncluded = false;
            if (filter != nullptr) {
                const ScanFilter::FolderDecision decision = filter->Folder(sub, record.name, included);
                if (!decision.enter) return;
                subIncluded = decision.included;
            }
            folders.push_back(std::move(sub));
            parentOf.push_back(folderIndex);
            lastChildOf.push_back(-1);
            includedOf.push_back(subIncluded);
        });
        if (folders.size() > firstChild) {
            lastChildOf[current] = static_cast<int32_t>(folders.size() - 1);
            if (current > 0 && openParents.size() < kMaxOpenParents) openParents.emplace(folderIndex, std::move(opened));
        }
    }
}

void TreeScanner::MakeEntry(int32_t folderIndex, const std::string* folder, const DirectoryRecord& record) {
    into_.entries.emplace_back(folderIndex, side_, folder, into_.names.Add(record.name), record.size,
                               record.modifiedSeconds + utcOffset_,
                               static_cast<uint16_t>(record.modifiedNanoseconds / 1000000));
}

}  // namespace kirvo
