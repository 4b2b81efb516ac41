#include "engine/tree_matcher.h"

#include <algorithm>
#include <thread>
#include <unordered_map>

#include "engine/text_compare.h"
#include "platform/directory_lister.h"

namespace kirvo {
namespace {

std::string FoldedCopy(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    return folded;
}

bool SameIgnoringCase(const FileEntry& a, const FileEntry& b) {
    return EqualIgnoreCase(a.folder(), b.folder()) && EqualIgnoreCase(a.name(), b.name());
}

bool SameBytes(const FileEntry& a, const FileEntry& b) {
    return a.folder() == b.folder() && a.name() == b.name();
}

}  // namespace

TreeMatcher::TreeMatcher() {
    entries_.push_back(nullptr);
}

TreeMatcher::~TreeMatcher() {
    Clear();
}

void TreeMatcher::Clear() {
    entries_.assign(1, nullptr);
    lastEntry_ = -1;
    pairs_.clear();
    pairCount_ = 0;
    for (int side = 0; side < 2; ++side) {
        store_[side].clear();
        folders_[side].clear();
        names_[side].Clear();
    }
    targetRootNamesRead_ = false;
    targetRootNames_.clear();
}

int32_t TreeMatcher::Run(std::string& sourcePath, std::string& targetPath, bool excludeSubFolders,
                         bool excludeSystemFolders, bool twoSecondTolerance) {
    excludeSubFolders_ = excludeSubFolders;
    excludeSystemFolders_ = excludeSystemFolders;
    twoSecondTolerance_ = twoSecondTolerance;
    Clear();
    NormaliseRoot(sourceRoot_, sourcePath);
    NormaliseRoot(targetRoot_, targetPath);
    const int32_t last = ScanTrees(sourceRoot_, targetRoot_);
    OrderTable(last);
    pairCount_ = PairEntries(last);
    return pairCount_;
}

void TreeMatcher::NormaliseRoot(std::string& destination, std::string& path) {
    if (path.empty() || path.back() != kSeparator) path.push_back(kSeparator);
    destination = path;
}

int32_t TreeMatcher::ScanTrees(const std::string& sourceRoot, const std::string& targetRoot) {
    utcOffset_ = CurrentUtcOffsetSeconds();
    // The two sides share nothing while they are scanned, so they are listed
    // at the same time; the table holds the source entries first either way.
    std::thread target([&] { ScanSide(kTargetSide, targetRoot, targetRoot); });
    ScanSide(kSourceSide, sourceRoot, targetRoot);
    target.join();
    entries_.clear();
    entries_.reserve(store_[0].size() + store_[1].size() + 1);
    for (const auto& side : store_) side.forEach([this](const FileEntry& entry) { entries_.push_back(&entry); });
    entries_.push_back(nullptr);
    lastEntry_ = static_cast<int32_t>(entries_.size()) - 2;
    return lastEntry_;
}

void TreeMatcher::ScanSide(int32_t side, const std::string& root, const std::string& targetRoot) {
    std::deque<std::string>& folders = folders_[side - 1];
    store_[side - 1].clear();
    names_[side - 1].Clear();
    folders.clear();
    folders.emplace_back();
    // Per folder: its parent and the index of its last sub-folder, so a folder
    // can be opened relative to its open parent (no path length limit, one
    // name to resolve) and the parent closed once its last child is open.
    std::vector<int32_t> parentOf{-1};
    std::vector<int32_t> lastChildOf{-1};
    std::unordered_map<int32_t, DirectoryLister> openParents;
    constexpr size_t kMaxOpenParents = 128;
    const DirectoryLister rootFolder = DirectoryLister::Open(root);
    if (!rootFolder.valid()) return;

    // Breadth-first: folders found are appended while the list is walked.
    for (size_t current = 0; current < folders.size(); ++current) {
        const std::string* folder = &folders[current];
        const int32_t folderIndex = static_cast<int32_t>(current);
        DirectoryLister opened;
        const DirectoryLister* here = &rootFolder;
        if (current > 0) {
            const int32_t parent = parentOf[current];
            const auto it = openParents.find(parent);
            if (it != openParents.end()) {
                const std::string_view name =
                    std::string_view(*folder).substr(folders[parent].size(), folder->size() - folders[parent].size() - 1);
                opened = it->second.OpenChild(name);
                if (lastChildOf[parent] == folderIndex) openParents.erase(it);
            } else {
                opened = rootFolder.OpenChild(*folder);
            }
            if (!opened.valid()) continue;  // vanished, or no longer a real folder
            here = &opened;
        }
        const size_t firstChild = folders.size();
        here->List(DirectoryLister::Detail::Full, [&](const DirectoryRecord& record) {
            if (record.name == "." || record.name == "..") return;
            if (record.kind == RecordKind::File) {
                if (record.name.size() <= FileEntry::kMaxNameLength) MakeEntry(folderIndex, side, folder, record);
                return;
            }
            if (record.kind != RecordKind::Directory) return;
            if (excludeSystemFolders_ && record.isSystem) return;
            if (side == kSourceSide && excludeSubFolders_ && current == 0 &&
                !ExistsInTargetRoot(record.name, targetRoot)) {
                return;
            }
            std::string sub;
            sub.reserve(folder->size() + record.name.size() + 1);
            sub.append(*folder).append(record.name).push_back(kSeparator);
            folders.push_back(std::move(sub));
            parentOf.push_back(folderIndex);
            lastChildOf.push_back(-1);
        });
        if (folders.size() > firstChild) {
            lastChildOf[current] = static_cast<int32_t>(folders.size() - 1);
            if (current > 0 && openParents.size() < kMaxOpenParents) openParents.emplace(folderIndex, std::move(opened));
        }
    }
}

void TreeMatcher::MakeEntry(int32_t folderIndex, int32_t side, const std::string* folder,
                            const DirectoryRecord& record) {
    store_[side - 1].emplace_back(folderIndex, side, folder, names_[side - 1].Add(record.name), record.size,
                        record.modifiedSeconds + utcOffset_,
                        static_cast<uint16_t>(record.modifiedNanoseconds / 1000000));
}

bool TreeMatcher::ExistsInTargetRoot(std::string_view name, const std::string& targetRoot) {
    // The target root is listed once per run; every kind of record counts.
    if (!targetRootNamesRead_ || targetRootNamesOf_ != targetRoot) {
        targetRootNames_.clear();
        DirectoryLister::List(targetRoot, DirectoryLister::Detail::NamesOnly,
                              [&](const DirectoryRecord& record) { targetRootNames_.push_back(FoldedCopy(record.name)); });
        std::sort(targetRootNames_.begin(), targetRootNames_.end());
        targetRootNamesRead_ = true;
        targetRootNamesOf_ = targetRoot;
    }
    return std::binary_search(targetRootNames_.begin(), targetRootNames_.end(), FoldedCopy(name));
}

int TreeMatcher::OrderEntries(const FileEntry& a, const FileEntry& b) {
    if (int r = CompareIgnoreCase(a.folder(), b.folder())) return r;
    if (int r = CompareIgnoreCase(a.name(), b.name())) return r;
    if (int r = CompareBytes(a.folder(), b.folder())) return r;
    if (int r = CompareBytes(a.name(), b.name())) return r;
    return a.side() < b.side() ? -1 : (a.side() > b.side() ? 1 : 0);
}

// The folder text decides first, so each folder's text is compared once
// per folder, not once per entry: folders of both sides are ordered, folders
// equal ignoring case form a group, and only the entries of one group are
// sorted against each other.
void TreeMatcher::OrderTable(int32_t lastEntry) {
    const auto begin = entries_.begin();
    const auto end = begin + (lastEntry + 1);
    if (end - begin < 2) return;
    struct Folder {
        const std::string* text;
        uint32_t count = 0;
        uint32_t start = 0;
    };
    std::vector<Folder> folders[2];
    for (int side = 0; side < 2; ++side) {
        folders[side].resize(folders_[side].size());
        for (size_t i = 0; i < folders_[side].size(); ++i) folders[side][i].text = &folders_[side][i];
    }
    for (auto it = begin; it != end; ++it) {
        const FileEntry* e = *it;
        auto& list = folders[e->side() - 1];
        if (static_cast<size_t>(e->folderIndex()) >= list.size()) {  // not from this engine's scan
            std::sort(begin, end, [](const FileEntry* a, const FileEntry* b) { return OrderEntries(*a, *b) < 0; });
            return;
        }
        ++list[e->folderIndex()].count;
    }
    std::vector<Folder*> order;
    for (auto& list : folders)
        for (Folder& f : list)
            if (f.count > 0) order.push_back(&f);
    std::sort(order.begin(), order.end(),
              [](const Folder* a, const Folder* b) { return CompareIgnoreCase(*a->text, *b->text) < 0; });
    uint32_t next = 0;
    for (Folder* f : order) {
        f->start = next;
        next += f->count;
    }
    std::vector<const FileEntry*> sorted(end - begin);
    for (auto it = begin; it != end; ++it) {
        Folder& f = folders[(*it)->side() - 1][(*it)->folderIndex()];
        sorted[f.start++] = *it;
    }
    std::copy(sorted.begin(), sorted.end(), begin);
    // Each run of folders equal ignoring case is one group.
    auto groupBegin = begin;
    for (size_t i = 0; i < order.size();) {
        size_t j = i + 1;
        uint32_t count = order[i]->count;
        while (j < order.size() && EqualIgnoreCase(*order[j]->text, *order[i]->text)) count += order[j++]->count;
        SortFolderGroup(groupBegin, groupBegin + count);
        groupBegin += count;
        i = j;
    }
}

void TreeMatcher::SortFolderGroup(std::vector<const FileEntry*>::iterator begin,
                                  std::vector<const FileEntry*>::iterator end) {
    std::sort(begin, end, [](const FileEntry* a, const FileEntry* b) {
        if (int r = CompareIgnoreCase(a->name(), b->name())) return r < 0;
        return OrderEntries(*a, *b) < 0;
    });
}

int32_t TreeMatcher::TimeDifference(const SystemTime& s, const SystemTime& t) {
    if (s.year < t.year) return kEarlierMonth;
    if (s.year > t.year) return kLaterMonth;
    if (s.month < t.month) return kEarlierMonth;
    if (s.month > t.month) return kLaterMonth;
    int32_t r = (static_cast<int32_t>(s.day) - t.day) * 86400;
    r += (static_cast<int32_t>(s.hour) - t.hour) * 3600;
    r += (static_cast<int32_t>(s.minute) - t.minute) * 60;
    r += static_cast<int32_t>(s.second) - t.second;
    return r;
}

int32_t TreeMatcher::Verdict(const FileEntry& source, const FileEntry& target) const {
    const int32_t d = TimeDifference(source.modified(), target.modified());
    if (d > 0) return (twoSecondTolerance_ && d <= 2) ? 0 : 1;
    if (d < 0) return (twoSecondTolerance_ && d >= -2) ? 0 : -1;
    return 0;
}

int32_t TreeMatcher::PairEntries(int32_t lastEntry) {
    pairs_.clear();
    // Two entries per pair where most files exist on both sides; room for a
    // quarter of them standing alone before the table has to grow.
    const size_t entryCount = static_cast<size_t>(lastEntry + 1);
    pairs_.reserve(entryCount / 2 + entryCount / 8 + 1);
    size_t i = 0;
    const size_t end = static_cast<size_t>(lastEntry + 1);
    while (i < end) {
        // A group: neighbours equal in folder and name ignoring case.
        size_t j = i + 1;
        while (j < end && SameIgnoringCase(*entries_[i], *entries_[j])) ++j;
        PairGroup(i, j);
        i = j;
    }
    pairCount_ = static_cast<int32_t>(pairs_.size());
    return pairCount_;
}

// Byte-identical source/target entries pair first; one remaining source and
// one remaining target pair ignoring case; anything else stands alone. Each
// pair takes the place of its first entry.
void TreeMatcher::PairGroup(size_t begin, size_t end) {
    auto alone = [this](const FileEntry* e) {
        if (e->side() == kSourceSide)
            pairs_.push_back({1, e, nullptr});
        else
            pairs_.push_back({-1, nullptr, e});
    };
    auto pair = [this](const FileEntry* a, const FileEntry* b) {
        const FileEntry* source = a->side() == kSourceSide ? a : b;
        const FileEntry* target = a->side() == kSourceSide ? b : a;
        pairs_.push_back({Verdict(*source, *target), source, target});
    };
    const size_t count = end - begin;
    if (count == 1) {
        alone(entries_[begin]);
        return;
    }
    if (count == 2 && entries_[begin]->side() != entries_[begin + 1]->side()) {
        pair(entries_[begin], entries_[begin + 1]);
        return;
    }
    std::vector<size_t> partner(count, SIZE_MAX);
    for (size_t k = 0; k + 1 < count; ++k) {
        const FileEntry* a = entries_[begin + k];
        const FileEntry* b = entries_[begin + k + 1];
        if (partner[k] == SIZE_MAX && a->side() != b->side() && SameBytes(*a, *b)) {
            partner[k] = k + 1;
            partner[k + 1] = k;
        }
    }
    size_t loneSource = SIZE_MAX, loneTarget = SIZE_MAX, sources = 0, targets = 0;
    for (size_t k = 0; k < count; ++k) {
        if (partner[k] != SIZE_MAX) continue;
        if (entries_[begin + k]->side() == kSourceSide) {
            ++sources;
            loneSource = k;
        } else {
            ++targets;
            loneTarget = k;
        }
    }
    if (sources == 1 && targets == 1) {
        partner[loneSource] = loneTarget;
        partner[loneTarget] = loneSource;
    }
    for (size_t k = 0; k < count; ++k) {
        if (partner[k] == SIZE_MAX)
            alone(entries_[begin + k]);
        else if (partner[k] > k)
            pair(entries_[begin + k], entries_[begin + partner[k]]);
    }
}

}  // namespace kirvo
