#include "view/display_filter.h"

#include <gtest/gtest.h>

namespace kirvo {
namespace {

constexpr DisplayFilterValue kValues[] = {DisplayFilterValue::All, DisplayFilterValue::Unequal,
                                          DisplayFilterValue::SourceToTarget,
                                          DisplayFilterValue::TargetToSource, DisplayFilterValue::Equal};

TEST(DisplayFilter, StartsAtUnequal) {
    DisplayFilter filter;
    EXPECT_TRUE(filter.IsActive(DisplayFilterValue::Unequal));
    EXPECT_EQ(filter.value(), DisplayFilterValue::Unequal);
    EXPECT_TRUE(filter.PassesDisplayFilter(Verdict::SourceToTarget));
    EXPECT_TRUE(filter.PassesDisplayFilter(Verdict::TargetToSource));
    EXPECT_FALSE(filter.PassesDisplayFilter(Verdict::Equal));
}

TEST(DisplayFilter, EachValueAdmitsItsVerdictsOnly) {
    const struct {
        DisplayFilterValue value;
        bool plus, zero, minus, withoutDirection;  // the last: conflicts and unknown pairs
    } cases[] = {
        {DisplayFilterValue::All, true, true, true, true},
        {DisplayFilterValue::Unequal, true, false, true, true},
        {DisplayFilterValue::SourceToTarget, true, false, false, false},
        {DisplayFilterValue::TargetToSource, false, false, true, false},
        {DisplayFilterValue::Equal, false, true, false, false},
    };
    for (const auto& c : cases) {
        DisplayFilter filter(c.value);
        EXPECT_EQ(filter.PassesDisplayFilter(Verdict::SourceToTarget), c.plus) << static_cast<int>(c.value);
        EXPECT_EQ(filter.PassesDisplayFilter(Verdict::Equal), c.zero) << static_cast<int>(c.value);
        EXPECT_EQ(filter.PassesDisplayFilter(Verdict::TargetToSource), c.minus) << static_cast<int>(c.value);
        EXPECT_EQ(filter.PassesDisplayFilter(Verdict::Conflict), c.withoutDirection) << static_cast<int>(c.value);
        EXPECT_EQ(filter.PassesDisplayFilter(Verdict::Unknown), c.withoutDirection) << static_cast<int>(c.value);
    }
}

TEST(DisplayFilter, ExactlyOneFlagAfterEverySwitch) {
    DisplayFilter filter;
    for (DisplayFilterValue from : kValues) {
        for (DisplayFilterValue to : kValues) {
            filter.SetDisplayFilter(from);
            filter.SetDisplayFilter(to);
            int active = 0;
            for (DisplayFilterValue v : kValues) active += filter.IsActive(v) ? 1 : 0;
            EXPECT_EQ(active, 1);
            EXPECT_TRUE(filter.IsActive(to));
            EXPECT_EQ(filter.value(), to);
        }
    }
}

}  // namespace
}  // namespace kirvo
