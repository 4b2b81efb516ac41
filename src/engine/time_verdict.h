#pragma once
#include <cstdint>

#include "engine/file_entry.h"
#include "engine/system_time.h"

namespace kirvo {

// The verdict of a pair with both entries, from their local last-write times.
class TimeVerdict {
public:
    static constexpr int32_t kEarlierMonth = static_cast<int32_t>(0x80000001);
    static constexpr int32_t kLaterMonth = 0x7FFFFFFE;

    // Seconds, source minus target, or kEarlierMonth / kLaterMonth when the
    // two times lie in different months or years.
    static int32_t Difference(const SystemTime& source, const SystemTime& target);

    // +1 source newer, -1 target newer, 0 equal; with the tolerance, up to two
    // seconds apart within one month count as equal. With ignoreHour, times
    // exactly one hour apart (give or take the tolerance) count as equal too,
    // across a month boundary as well: what FAT drives show after a change of
    // daylight-saving time.
    static int32_t Of(const FileEntry& source, const FileEntry& target, bool twoSecondTolerance,
                      bool ignoreHour = false);
};

}  // namespace kirvo
