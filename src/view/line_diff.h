#pragma once
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace kirvo {

// A run of lines of two texts: equal on both sides, or a change (lines of
// the left side replaced by lines of the right; either count may be 0).
struct DiffBlock {
    bool equal = false;
    size_t leftStart = 0;
    size_t leftCount = 0;
    size_t rightStart = 0;
    size_t rightCount = 0;

    friend bool operator==(const DiffBlock&, const DiffBlock&) = default;
};

struct LineDiff {
    // In order, covering both texts from their first line to their last.
    std::vector<DiffBlock> blocks;
    // More than maxEdits lines differ: what lies between the common start
    // and the common end is one change.
    bool gaveUp = false;
};

// The shortest edit between two texts as lines (Myers' algorithm, after the
// common first and last lines are set aside), looking for at most maxEdits
// inserted and removed lines, so the time stays bounded by about
// (lines) x maxEdits and the memory by maxEdits².
LineDiff DiffLines(std::span<const std::string_view> left, std::span<const std::string_view> right,
                   size_t maxEdits);

}  // namespace kirvo
