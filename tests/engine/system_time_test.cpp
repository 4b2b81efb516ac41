#include "engine/system_time.h"

#include <gtest/gtest.h>

namespace kirvo {
namespace {

TEST(SystemTime, RoundTripsCalendarFieldsAndWeekday) {
    struct Case {
        SystemTime time;
        uint16_t dayOfWeek;
    };
    const Case cases[] = {
        {{1970, 1, 0, 1, 0, 0, 0, 0}, 4},        // Thursday
        {{2009, 3, 0, 6, 7, 5, 9, 0}, 5},        // Friday
        {{2000, 2, 0, 29, 23, 59, 59, 0}, 2},    // leap day, Tuesday
        {{1969, 12, 0, 31, 23, 59, 59, 0}, 3},   // before the epoch
        {{1601, 1, 0, 1, 0, 0, 0, 0}, 1},        // first representable day, Monday
    };
    for (const Case& c : cases) {
        const SystemTime back = SystemTimeFromSeconds(SecondsFromSystemTime(c.time), 0);
        EXPECT_EQ(back.year, c.time.year);
        EXPECT_EQ(back.month, c.time.month);
        EXPECT_EQ(back.day, c.time.day);
        EXPECT_EQ(back.hour, c.time.hour);
        EXPECT_EQ(back.minute, c.time.minute);
        EXPECT_EQ(back.second, c.time.second);
        EXPECT_EQ(back.dayOfWeek, c.dayOfWeek) << c.time.year << "-" << c.time.month << "-" << c.time.day;
    }
}

TEST(SystemTime, ClampsTimesOutsideTheRepresentableRange) {
    const SystemTime early = SystemTimeFromSeconds(-20'000'000'000LL, 999);
    EXPECT_EQ(early.year, 1601);
    EXPECT_EQ(early.month, 1);
    EXPECT_EQ(early.day, 1);
    EXPECT_EQ(early.milliseconds, 0);
    const SystemTime late = SystemTimeFromSeconds(1'000'000'000'000'000LL, 5);
    EXPECT_EQ(late.year, 30827);
    EXPECT_EQ(late.month, 12);
    EXPECT_EQ(late.second, 59);
}

}  // namespace
}  // namespace kirvo
