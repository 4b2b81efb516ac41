#include "engine/in_flight_control.h"

#include <algorithm>

namespace kirvo {

InFlightControl::InFlightControl(int start, int limit)
    : start_(std::max(1, start)), limit_(std::max(start_, limit)), count_(start_) {}

int InFlightControl::Update(const DirectoryLister::Waits& seen) {
    const int64_t listings = seen.listings - since_.listings;
    if (listings < std::max(kLeastWindow, count_)) return count_;
    const int64_t waited = seen.waited - since_.waited;
    since_ = seen;
    if (2 * waited >= listings)
        count_ = std::min(limit_, 2 * count_);
    else if (8 * waited < listings)
        count_ = std::max(start_, count_ / 2);
    return count_;
}

}  // namespace kirvo
