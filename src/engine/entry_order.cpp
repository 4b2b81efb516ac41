#include "engine/entry_order.h"

#include <algorithm>
#include <vector>

#include "engine/text_compare.h"
#include "engine/tree_matcher.h"

namespace kirvo {
namespace {

// The sort weight of a byte: ASCII letters folded, the separator as 0x5C.
unsigned char SortWeight(unsigned char c) {
    if (c == static_cast<unsigned char>(TreeMatcher::kSeparator)) return 0x5C;
    return FoldAscii(c);
}

int CompareWeighted(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = CommonWords(a.data(), b.data(), n); i < n; ++i) {
        const unsigned char x = SortWeight(static_cast<unsigned char>(a[i]));
        const unsigned char y = SortWeight(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool NameThenRestBefore(const FileEntry* a, const FileEntry* b) {
    if (int r = CompareIgnoreCase(a->name(), b->name())) return r < 0;
    return EntryOrder::Compare(*a, *b) < 0;
}

}  // namespace

int EntryOrder::CompareFolders(std::string_view a, std::string_view b) {
    if (int r = CompareWeighted(a, b)) return r;
    // Only a backslash inside a name weighs like the separator; as stored it still differs.
    return CompareIgnoreCase(a, b);
}

int EntryOrder::Compare(const FileEntry& a, const FileEntry& b) {
    if (int r = CompareFolders(a.folder(), b.folder())) return r;
    if (int r = CompareIgnoreCase(a.name(), b.name())) return r;
    if (int r = CompareBytes(a.folder(), b.folder())) return r;
    if (int r = CompareBytes(a.name(), b.name())) return r;
    return a.side() < b.side() ? -1 : (a.side() > b.side() ? 1 : 0);
}

// The folders of both sides are ordered, folders equal ignoring case form a
// group, and only the entries of one group are sorted against each other.
void EntryOrder::Sort(std::span<const FileEntry*> entries, const ScannedSide (&sides)[2]) {
    if (entries.size() < 2) return;
    struct Folder {
        const std::string* text;
        uint32_t count = 0;
        uint32_t next = 0;  // where its next entry goes
        uint32_t end = 0;
    };
    std::vector<Folder> folders[2];
    for (int side = 0; side < 2; ++side) {
        folders[side].resize(sides[side].folders.size());
        for (size_t i = 0; i < sides[side].folders.size(); ++i) folders[side][i].text = &sides[side].folders[i];
    }
    for (const FileEntry* e : entries) {
        auto& list = folders[e->side() - 1];
        if (static_cast<size_t>(e->folderIndex()) >= list.size()) {  // not from these folder lists
            std::sort(entries.begin(), entries.end(),
                      [](const FileEntry* a, const FileEntry* b) { return Compare(*a, *b) < 0; });
            return;
        }
        ++list[e->folderIndex()].count;
    }
    std::vector<Folder*> order;
    for (auto& list : folders)
        for (Folder& f : list)
            if (f.count > 0) order.push_back(&f);
    std::sort(order.begin(), order.end(),
              [](const Folder* a, const Folder* b) { return CompareFolders(*a->text, *b->text) < 0; });
    uint32_t next = 0;
    for (Folder* f : order) {
        f->next = next;
        next += f->count;
        f->end = next;
    }
    // In place, each entry swapped straight to its folder's next place: no
    // second table of a pointer per entry.
    const auto home = [&folders](const FileEntry* e) -> Folder& { return folders[e->side() - 1][e->folderIndex()]; };
    for (Folder* f : order) {
        while (f->next < f->end) {
            const FileEntry*& slot = entries[f->next];
            Folder& belongs = home(slot);
            if (&belongs == f)
                ++f->next;
            else
                std::swap(slot, entries[belongs.next++]);
        }
    }
    // Each run of folders equal ignoring case is one group.
    auto groupBegin = entries.begin();
    for (size_t i = 0; i < order.size();) {
        size_t j = i + 1;
        uint32_t count = order[i]->count;
        while (j < order.size() && EqualIgnoreCase(*order[j]->text, *order[i]->text)) count += order[j++]->count;
        std::sort(groupBegin, groupBegin + count, NameThenRestBefore);
        groupBegin += count;
        i = j;
    }
}

}  // namespace kirvo
