#pragma once
#include <cstddef>
#include <span>
#include <vector>

#include "engine/file_pair.h"

namespace kirvo {

// Joins the entries of the sorted table into pairs, one per relative path,
// each at the place of its first entry. Neighbours equal in folder and name
// ignoring case form a group; within it byte-identical source and target
// entries pair first, a single remaining source and a single remaining target
// pair ignoring case, and anything else stands alone. Classifying the pairs
// (their verdicts) is not done here.
class EntryPairing {
public:
    // entries: sorted by EntryOrder. Pairs with both entries get verdict 0 for
    // now; a source-only pair +1, a target-only pair -1.
    static void Pair(std::span<const FileEntry* const> entries, std::vector<FilePair>& pairs);

    // Where one side holds folders that differ only in case ("Docs/", "docs/"),
    // each keeps its files together: within such a group of folders the pairs
    // are ordered by the bytes of their folder (the source's where a pair has
    // one), stably, so a folder's pairs keep their order. Groups in which each
    // side has a single variant keep the order of the table untouched.
    static void KeepCaseVariantFoldersApart(std::vector<FilePair>& pairs);

private:
    static void PairGroup(std::span<const FileEntry* const> group, std::vector<FilePair>& pairs);
};

}  // namespace kirvo
