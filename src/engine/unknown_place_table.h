#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "engine/file_pair.h"
#include "engine/unknown_place.h"

namespace kirvo {

// The places of one comparison that either side could not read, and what
// they mean for its pairs: a pair in or under a place of a side carries that
// side's bit (FilePair::unknownSides), and a file found on one side only,
// where the other side could not read, is Unknown instead of "only here".
class UnknownPlaceTable {
public:
    void Clear();
    // Takes a side's places; Sort() before Apply().
    void Add(std::vector<UnknownPlace>&& places);
    // In the order of the list: by path ignoring ASCII case, source first.
    void Sort();
    std::span<const UnknownPlace> all() const { return places_; }
    bool empty() const { return places_.empty(); }

    // Sets the bits and the Unknown verdicts of pairs.
    void Apply(std::vector<FilePair>& pairs);
    // The place that makes pairs[pairIndex] Unknown; null for any other pair.
    const UnknownPlace* PlaceOf(size_t pairIndex) const;

private:
    std::vector<UnknownPlace> places_;
    std::vector<std::pair<uint32_t, uint32_t>> unknownPairs_;  // pair index, place index; ascending
};

}  // namespace kirvo
