#include "app/profile_store.h"

#include <gtest/gtest.h>

#include "app/in_memory_profile_store.h"

namespace kirvo {
namespace {

TEST(ParseProfileInt, AcceptsWholeNumbersOnly) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"1000", true, 1000},
        {"-7", true, -7},
        {"+3", true, 3},
        {" 12\t", true, 12},
        {"2147483647", true, 2147483647},
        {"4294967295", true, -1},  // a DWORD read back into an int
        {"-2147483648", true, INT32_MIN},
        {"4294967296", false, 0},
        {"-2147483649", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"abc", false, 0},
        {"12abc", false, 0},
        {"1.5", false, 0},
        {"0x10", false, 0},
    };
    for (const Case& c : cases) {
        int32_t value = 99;
        EXPECT_EQ(ParseProfileInt(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(InMemoryProfileStore, MissingValuesGiveTheDefaults) {
    InMemoryProfileStore store;
    EXPECT_EQ(store.GetProfileInt("Main", "cx", 1), 1);
    EXPECT_EQ(store.GetProfileString("Quelle", "Quelle0"), "");
    EXPECT_EQ(store.GetProfileString("Quelle", "Quelle0", "x"), "x");
    store.WriteProfileString("Main", "cx", "breit");
    EXPECT_EQ(store.GetProfileInt("Main", "cx", 1), 1);
    store.WriteProfileInt("Main", "cx", 900);
    EXPECT_EQ(store.GetProfileInt("Main", "cx", 1), 900);
    EXPECT_EQ(store.GetProfileInt("main", "cx", 1), 1);  // names are exact
}

}  // namespace
}  // namespace kirvo
