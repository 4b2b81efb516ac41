#include "sync/unknown_places.h"

#include <algorithm>

namespace kirvo {

void UnknownPlaces::add(SyncSide side, std::string_view place, std::string reason) {
    while (!place.empty() && place.back() == '/') place.remove_suffix(1);
    auto& places = of(side);
    const auto at = std::lower_bound(places.begin(), places.end(), place,
                                     [](const auto& p, std::string_view key) { return p.first < key; });
    if (at != places.end() && at->first == place) return;
    places.emplace(at, std::string(place), std::move(reason));
}

const std::string* UnknownPlaces::find(SyncSide side, std::string_view folder, std::string_view name) const {
    const auto& places = of(side);
    if (places.empty()) return nullptr;
    const std::string path = std::string(folder).append(name);
    const auto lookUp = [&](std::string_view place) -> const std::string* {
        const auto at = std::lower_bound(places.begin(), places.end(), place,
                                         [](const auto& p, std::string_view key) { return p.first < key; });
        return at != places.end() && at->first == place ? &at->second : nullptr;
    };
    // The path itself and each folder above it, up to the root ("").
    if (const std::string* reason = lookUp(path)) return reason;
    for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (const std::string* reason = lookUp(std::string_view(path).substr(0, slash))) return reason;
    return lookUp("");
}

}  // namespace kirvo
