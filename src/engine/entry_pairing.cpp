#include "engine/entry_pairing.h"

#include <algorithm>
#include <cstdint>

#include "engine/text_compare.h"

namespace kirvo {
namespace {

// Names first: they tell most neighbours apart, and an entry's folder text is
// shared with the other entries of its folder on its side.
bool SameIgnoringCase(const FileEntry& a, const FileEntry& b) {
    return EqualIgnoreCase(a.name(), b.name()) &&
           (a.folder().data() == b.folder().data() || EqualIgnoreCase(a.folder(), b.folder()));
}

bool SameBytes(const FileEntry& a, const FileEntry& b) { return a.folder() == b.folder() && a.name() == b.name(); }

const FileEntry& Home(const FilePair& p) { return p.source ? *p.source : *p.target; }

// Entries of one folder share its text, so its address tells folders apart.
const char* FolderId(const FileEntry& e) { return e.folder().data(); }

// Calls visit with each run of entries equal ignoring case.
template <class Visit>
void ForEachGroup(std::span<const FileEntry* const> entries, Visit visit) {
    for (size_t i = 0; i < entries.size();) {
        size_t j = i + 1;
        while (j < entries.size() && SameIgnoringCase(*entries[i], *entries[j])) ++j;
        visit(entries.subspan(i, j - i));
        i = j;
    }
}

}  // namespace

void EntryPairing::Pair(std::span<const FileEntry* const> entries, std::vector<FilePair>& pairs) {
    pairs.clear();
    // The table is made as large as it can get and no larger: a group of one
    // entry, or of a source and a target, is one pair; a larger group at most
    // one pair per entry.
    size_t most = 0;
    ForEachGroup(entries, [&most](std::span<const FileEntry* const> group) {
        most += group.size() == 1 || (group.size() == 2 && group[0]->side() != group[1]->side()) ? 1 : group.size();
    });
    pairs.reserve(most);
    ForEachGroup(entries, [&pairs](std::span<const FileEntry* const> group) { PairGroup(group, pairs); });
}

void EntryPairing::PairGroup(std::span<const FileEntry* const> group, std::vector<FilePair>& pairs) {
    auto alone = [&pairs](const FileEntry* e) {
        if (e->side() == kSourceSide)
            pairs.push_back({.verdict = Verdict::SourceToTarget, .source = e});
        else
            pairs.push_back({.verdict = Verdict::TargetToSource, .target = e});
    };
    auto pair = [&pairs](const FileEntry* a, const FileEntry* b) {
        if (a->side() == kSourceSide)
            pairs.push_back({.verdict = Verdict::Equal, .source = a, .target = b});
        else
            pairs.push_back({.verdict = Verdict::Equal, .source = b, .target = a});
    };
    const size_t count = group.size();
    if (count == 1) {
        alone(group[0]);
        return;
    }
    if (count == 2 && group[0]->side() != group[1]->side()) {
        pair(group[0], group[1]);
        return;
    }
    std::vector<size_t> partner(count, SIZE_MAX);
    for (size_t k = 0; k + 1 < count; ++k) {
        if (partner[k] == SIZE_MAX && group[k]->side() != group[k + 1]->side() && SameBytes(*group[k], *group[k + 1])) {
            partner[k] = k + 1;
            partner[k + 1] = k;
        }
    }
    size_t loneSource = SIZE_MAX, loneTarget = SIZE_MAX, sources = 0, targets = 0;
    for (size_t k = 0; k < count; ++k) {
        if (partner[k] != SIZE_MAX) continue;
        if (group[k]->side() == kSourceSide) {
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
            alone(group[k]);
        else if (partner[k] > k)
            pair(group[k], group[partner[k]]);
    }
}

void EntryPairing::KeepCaseVariantFoldersApart(std::vector<FilePair>& pairs) {
    std::vector<const char*> variants[2];  // the distinct folders of each side in one group
    for (size_t begin = 0; begin < pairs.size();) {
        const FileEntry& first = Home(pairs[begin]);
        size_t end = begin + 1;
        bool several = false;
        variants[0].clear();
        variants[1].clear();
        auto note = [&](const FileEntry* e) {
            if (!e) return;
            auto& list = variants[e->side() - 1];
            if (std::find(list.begin(), list.end(), FolderId(*e)) == list.end()) {
                list.push_back(FolderId(*e));
                several = several || list.size() > 1;
            }
        };
        note(pairs[begin].source);
        note(pairs[begin].target);
        for (; end < pairs.size(); ++end) {
            const FileEntry& home = Home(pairs[end]);
            if (FolderId(home) != FolderId(first) && !EqualIgnoreCase(home.folder(), first.folder())) break;
            note(pairs[end].source);
            note(pairs[end].target);
        }
        if (several) {
            // Rank of each folder text, by bytes, among the folders of both
            // sides: a side's single variant goes with the byte-identical one.
            std::vector<std::string_view> ranked;
            for (const auto& list : variants)
                for (const char* id : list) ranked.emplace_back(id);
            std::sort(ranked.begin(), ranked.end());
            ranked.erase(std::unique(ranked.begin(), ranked.end()), ranked.end());
            auto rank = [&](const FilePair& p) {
                return std::lower_bound(ranked.begin(), ranked.end(), Home(p).folder()) - ranked.begin();
            };
            std::stable_sort(pairs.begin() + static_cast<std::ptrdiff_t>(begin),
                             pairs.begin() + static_cast<std::ptrdiff_t>(end),
                             [&](const FilePair& a, const FilePair& b) { return rank(a) < rank(b); });
        }
        begin = end;
    }
}

}  // namespace kirvo
