#include "engine/file_pair.h"
#include "fileops/operation_log.h"
#include "fileops/run_counts.h"
#include "platform/value_text.h"
#include "sync/sync_session.h"
#include "view/result_rows.h"
#include "view/selection_stats.h"
#include "view/value_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>

#include "support/english_texts.h"

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

// One form per language wherever numbers show: German as the list has always
// written them (and what is written for programs, in any language), English
// with grouped thousands and the dates of its region.
TEST(ValueFormat, NumbersSizesAndDatesFollowTheLanguage) {
    SystemTime t;
    t.year = 2009, t.month = 3, t.day = 6, t.hour = 7, t.minute = 5, t.second = 9;
    using Text = std::function<std::string()>;
    const Text cell = [] { return FormatCellSize(734003200); };
    const Text small = [] { return FormatCellSize(512); };
    const Text total = [] { return FormatTotalSize(737483445); };
    const Text bytes = [] { return FormatTotalSize(100); };
    const Text count = [] { return CountText(1234567); };
    const Text decimal = [] { return DecimalText(1234567.25, 1); };
    const Text date = [&t] { return FormatDate(t); };
    const Text dateInText = [&t] {
        std::string text;
        AppendDateText(text, t.year, t.month, t.day, t.hour, t.minute, t.second, false);
        return text;
    };
    const Text forPrograms = [&] {
        const SourceTexts german;
        return cell() + " | " + date();
    };
    // One and many: the words follow each number.
    const Text oneEach = [] { return ResultRows::SummaryText({1, 1, 1}); };
    const Text many = [] { return ResultRows::SummaryText({2, 4, 1536}); };
    const Text oneSelected = [] { return SelectionStats::Text(1, 9); };
    const Text oneCopied = [] { return SyncSession::CopyQuestion(true, 1); };
    const Text counts = [] {
        RunCounts counts;
        counts.add(OperationLog::kFolderMade, OperationLog::kOk);
        for (int i = 0; i < 3; ++i) counts.add(OperationLog::kCopied, OperationLog::kOk);
        return counts.text();
    };
    const std::optional<EnglishDates> german;
    const struct {
        std::optional<EnglishDates> english;  // none: German
        const Text& text;
        const char* expected;
    } cases[] = {
        {german, cell, "716800 KB"},
        {german, small, "512 Byte"},
        {german, total, "703.3 MB"},
        {german, bytes, "100 Bytes"},
        {german, count, "1234567"},
        {german, decimal, "1234567.2"},
        {german, date, " 6.03.2009 07:05:09"},
        {german, dateInText, "6.03.2009 07:05:09"},
        {german, oneEach, "1 Datei in 1 Ordner mit 1 Byte (1 Byte) "},
        {german, many, "2 Dateien in 4 Ordnern mit 2 KB (1536 Bytes) "},
        {german, oneSelected, "1 Datei mit 9 Bytes (9 Bytes) ausgewählt "},
        {german, oneCopied, "Es wird 1 Datei von Quelle nach Ziel kopiert !"},
        {german, counts, "3 kopiert, 1 Ordner angelegt"},
        {EnglishDates::MonthFirst, cell, "716,800 KB"},
        {EnglishDates::MonthFirst, small, "512 bytes"},
        {EnglishDates::MonthFirst, total, "703.3 MB"},
        {EnglishDates::MonthFirst, bytes, "100 bytes"},
        {EnglishDates::MonthFirst, count, "1,234,567"},
        {EnglishDates::MonthFirst, decimal, "1,234,567.2"},
        {EnglishDates::MonthFirst, date, "03/06/2009 07:05:09"},
        {EnglishDates::MonthFirst, forPrograms, "716800 KB |  6.03.2009 07:05:09"},
        {EnglishDates::MonthFirst, oneEach, "1 file in 1 folder with 1 byte (1 byte) "},
        {EnglishDates::MonthFirst, many, "2 files in 4 folders with 2 KB (1,536 bytes) "},
        {EnglishDates::MonthFirst, oneSelected, "1 file with 9 bytes (9 bytes) selected "},
        {EnglishDates::MonthFirst, oneCopied, "1 file will be copied from source to target!"},
        {EnglishDates::MonthFirst, counts, "3 copied, 1 folder created"},
        {EnglishDates::DayFirst, date, "06/03/2009 07:05:09"},
        {EnglishDates::DayFirst, dateInText, "06/03/2009 07:05:09"},
    };
    for (const auto& c : cases) {
        std::optional<test::EnglishTexts> english;
        if (c.english) {
            english.emplace(*c.english);
            ASSERT_TRUE(english->switched());
        }
        EXPECT_EQ(c.text(), c.expected) << (c.english ? "English" : "German");
    }
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
