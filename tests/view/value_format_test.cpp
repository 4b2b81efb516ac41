#include "engine/file_pair.h"
#include "view/value_format.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kirvo {
namespace {

TEST(ValueFormat, CellSizeSwitchesToKilobytesAt1024AndNeverGoesHigher) {
    const struct {
        double size;
        const char* text;
    } cases[] = {
        {0, "0 Byte"},           {1, "1 Byte"},           {1023, "1023 Byte"},
        {1024, "1 KB"},          {1535, "1 KB"},          {1536, "2 KB"},
        {10485760, "10240 KB"},  {1099511627776.0, "1073741824 KB"},
        {2560, "2 KB"},          {3584, "4 KB"},          {2561, "3 KB"},          {1023.5, "1024 Byte"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatCellSize(c.size), c.text) << c.size;
}

TEST(ValueFormat, TotalSizeClimbsUnitsUpToPetabytes) {
    const double kilo = 1024, mega = kilo * kilo, giga = mega * kilo, tera = giga * kilo, peta = tera * kilo;
    const struct {
        double total;
        const char* text;
    } cases[] = {
        {0, "0 Bytes"},          {1023, "1023 Bytes"},     {1024, "1 KB"},
        {1536, "2 KB"},          {mega - 1, "1024 KB"},    {mega, "1.0 MB"},
        {1572864, "1.5 MB"},     {giga, "1.0 GB"},         {tera * 2.3, "2.3 TB"},
        {peta, "1.0 PB"},        {peta * 1024, "1024.0 PB"}, {peta * 4096, "4096.0 PB"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatTotalSize(c.total), c.text) << c.total;
}

TEST(ValueFormat, HugeValuesDoNotTruncate) {
    const std::string text = FormatCellSize(1e300);
    EXPECT_GT(text.size(), 290u);
    EXPECT_EQ(text.substr(text.size() - 3), " KB");
}

TEST(ValueFormat, DatePadsDayWithBlankAndOtherFieldsWithZeros) {
    SystemTime t;
    t.year = 2009, t.month = 3, t.day = 6, t.hour = 7, t.minute = 5, t.second = 9, t.milliseconds = 999;
    EXPECT_EQ(FormatDate(t), " 6.03.2009 07:05:09");
    t = {};
    t.year = 2010, t.month = 12, t.day = 24, t.hour = 18, t.minute = 30, t.second = 0;
    EXPECT_EQ(FormatDate(t), "24.12.2010 18:30:00");
    t.year = 999;
    EXPECT_EQ(FormatDate(t), "24.12.0999 18:30:00");
    t.year = 30827;
    EXPECT_EQ(FormatDate(t), "24.12.30827 18:30:00");
}

TEST(ValueFormat, ArrowShowsDirectionAndEqualForEverythingElse) {
    EXPECT_EQ(FormatArrow(Verdict::SourceToTarget), "--->");
    EXPECT_EQ(FormatArrow(Verdict::TargetToSource), "<---");
    EXPECT_EQ(FormatArrow(Verdict::Equal), "=");
    EXPECT_EQ(FormatArrow(static_cast<Verdict>(2)), "=");
    EXPECT_EQ(FormatArrow(static_cast<Verdict>(-2)), "=");
    EXPECT_EQ(FormatArrow(Verdict::Conflict), "<?>");
    EXPECT_EQ(FormatArrow(Verdict::Unknown), "?");
}

}  // namespace
}  // namespace kirvo
