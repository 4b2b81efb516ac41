#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// How a run brings the two trees into line ("Abgleich"; stored values fixed).
enum class SyncMode : int32_t {
    Update = 0,  // "Neuere kopieren": the comparison's arrows, nothing deleted
    Mirror = 1,  // "Spiegeln": one side becomes an exact copy of the other
    TwoWay = 2,  // "In beide Richtungen mit Gedächtnis": against the last synchronised state
};

// The name of a mode in options and job files: "update", "mirror", "two-way".
std::string_view SyncModeName(SyncMode mode);
// The mode a name stands for. False with a German message for a name that is no mode.
bool ParseSyncMode(std::string_view name, SyncMode& mode, std::string& error);

// What the state of a pair was recorded under.
struct PairSettings {
    SyncMode mode = SyncMode::TwoWay;
    int32_t compareSetting = 0;  // the caller's compare setting ("Vergleich"), kept as given
    uint64_t filterHash = 0;     // FilterHash of the filter in use

    friend bool operator==(const PairSettings&, const PairSettings&) = default;
};

}  // namespace kirvo
