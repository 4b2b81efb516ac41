#include "sync/sync_mode.h"

#include <utility>

namespace kirvo {
namespace {

// The one place that says which modes there are, and their names.
constexpr std::pair<std::string_view, SyncMode> kModes[] = {
    {"update", SyncMode::Update},
    {"mirror", SyncMode::Mirror},
    {"two-way", SyncMode::TwoWay},
};

}  // namespace

std::string_view SyncModeName(SyncMode mode) {
    for (const auto& [name, value] : kModes)
        if (value == mode) return name;
    return "update";
}

bool ParseSyncMode(std::string_view name, SyncMode& mode, std::string& error) {
    for (const auto& [known, value] : kModes) {
        if (known != name) continue;
        mode = value;
        return true;
    }
    error = "Unbekannte Art \"" + std::string(name) + "\"; erlaubt sind update, mirror, two-way.";
    return false;
}

}  // namespace kirvo
