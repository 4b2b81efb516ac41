#pragma once
#include <cstdint>

namespace kirvo {

// Calendar fields of a local time, laid out like the Win32 SYSTEMTIME the
// comparison rules are written against.
struct SystemTime {
    uint16_t year = 1601;
    uint16_t month = 1;
    uint16_t dayOfWeek = 1;  // 0 = Sunday
    uint16_t day = 1;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;

    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};

// Seconds since 1970-01-01 00:00:00 of the same clock (local here), with
// the representable range of SYSTEMTIME: earlier times read as 1601-01-01,
// later ones as the last second of 30827.
SystemTime SystemTimeFromSeconds(int64_t seconds, uint16_t milliseconds);
int64_t SecondsFromSystemTime(const SystemTime& time);

}  // namespace kirvo
