#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sync/observed_file.h"

namespace kirvo {

// The places of each side that could not be read (a folder whose listing
// failed or was cut short, a file that could not be looked at), with the
// reason. Everything at or below such a place is unknown on that side: not
// there, not missing.
class UnknownPlaces {
public:
    // A relative path, "" for the whole root; a trailing '/' is ignored.
    void add(SyncSide side, std::string_view place, std::string reason);

    bool empty() const { return places_[0].empty() && places_[1].empty(); }
    // The reason for the place a path lies at or below, or none.
    const std::string* find(SyncSide side, std::string_view folder, std::string_view name) const;
    bool contains(SyncSide side, std::string_view folder, std::string_view name) const {
        return find(side, folder, name) != nullptr;
    }

private:
    std::vector<std::pair<std::string, std::string>>& of(SyncSide side) {
        return places_[side == SyncSide::Source ? 0 : 1];
    }
    const std::vector<std::pair<std::string, std::string>>& of(SyncSide side) const {
        return places_[side == SyncSide::Source ? 0 : 1];
    }
    std::vector<std::pair<std::string, std::string>> places_[2];  // sorted by place
};

}  // namespace kirvo
