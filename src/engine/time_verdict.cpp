#include "engine/time_verdict.h"

namespace kirvo {

int32_t TimeVerdict::Difference(const SystemTime& s, const SystemTime& t) {
    if (s.year < t.year) return kEarlierMonth;
    if (s.year > t.year) return kLaterMonth;
    if (s.month < t.month) return kEarlierMonth;
    if (s.month > t.month) return kLaterMonth;
    int32_t r = (static_cast<int32_t>(s.day) - t.day) * 86400;
    r += (static_cast<int32_t>(s.hour) - t.hour) * 3600;
    r += (static_cast<int32_t>(s.minute) - t.minute) * 60;
    r += static_cast<int32_t>(s.second) - t.second;
    return r;
}

int32_t TimeVerdict::Of(const FileEntry& source, const FileEntry& target, bool twoSecondTolerance, bool ignoreHour) {
    if (ignoreHour) {
        // Both times carry the run's one offset, so their distance is the real one.
        const int64_t apart = source.modifiedSeconds() - target.modifiedSeconds();
        const int64_t fromHour = (apart < 0 ? -apart : apart) - 3600;
        const int64_t tolerance = twoSecondTolerance ? 2 : 0;
        if (fromHour >= -tolerance && fromHour <= tolerance) return 0;
    }
    const int32_t d = Difference(source.modified(), target.modified());
    if (d > 0) return (twoSecondTolerance && d <= 2) ? 0 : 1;
    if (d < 0) return (twoSecondTolerance && d >= -2) ? 0 : -1;
    return 0;
}

}  // namespace kirvo
