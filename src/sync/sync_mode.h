#pragma once
#include <cstdint>

namespace kirvo {

// How a run brings the two trees into line ("Abgleich"; stored values fixed).
enum class SyncMode : int32_t {
    Update = 0,  // "Neuere kopieren": the comparison's arrows, nothing deleted
    Mirror = 1,  // "Spiegeln": one side becomes an exact copy of the other
    TwoWay = 2,  // "In beide Richtungen mit Gedächtnis": against the last synchronised state
};

// What the state of a pair was recorded under.
struct PairSettings {
    SyncMode mode = SyncMode::TwoWay;
    int32_t compareSetting = 0;  // the caller's compare setting ("Vergleich"), kept as given
    uint64_t filterHash = 0;     // FilterHash of the filter in use

    friend bool operator==(const PairSettings&, const PairSettings&) = default;
};

}  // namespace kirvo
