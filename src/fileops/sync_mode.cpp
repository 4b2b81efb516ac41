#include "fileops/sync_mode.h"

namespace kirvo {
namespace {

struct ModeName {
    std::string_view name;
    SyncMode mode;
    bool available;  // false: a mode that is known but cannot run yet
};

// The one place that says which modes exist.
constexpr ModeName kModes[] = {
    {"update", SyncMode::Update, true},
    {"mirror", SyncMode::Update, false},
    {"two-way", SyncMode::Update, false},
};

}  // namespace

std::string_view SyncModeName(SyncMode mode) {
    for (const ModeName& m : kModes)
        if (m.available && m.mode == mode) return m.name;
    return "update";
}

bool ParseSyncMode(std::string_view name, SyncMode& mode, std::string& error) {
    std::string allowed;
    int count = 0;
    for (const ModeName& m : kModes) {
        if (m.name == name && m.available) {
            mode = m.mode;
            return true;
        }
        if (m.name == name) {
            error = "Die Art \"" + std::string(name) + "\" gibt es in dieser Version noch nicht; erlaubt ist " +
                    std::string(SyncModeName(SyncMode::Update)) + ".";
            return false;
        }
        if (m.available) allowed += (count++ == 0 ? "" : ", ") + std::string(m.name);
    }
    error = "Unbekannte Art \"" + std::string(name) + "\"; erlaubt " + (count == 1 ? "ist " : "sind ") + allowed + ".";
    return false;
}

}  // namespace kirvo
