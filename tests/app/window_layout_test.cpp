#include <gtest/gtest.h>

#include "app/in_memory_profile_store.h"
#include "view/list_columns.h"
#include "app/window_size.h"

namespace kirvo {
namespace {

TEST(ListColumns, NameColumnsGrowWithTheStoredWindowWidth) {
    EXPECT_EQ(ListColumns::TotalWidth(), 888);
    struct Case {
        int cx;
        int nameWidth;
    };
    for (Case c : {Case{1, 200}, Case{0, 200}, Case{888, 200}, Case{889, 192}, Case{890, 193},
                   Case{1000, 248}, Case{-5, 200}}) {
        for (int column = 0; column < ListColumns::kCount; ++column) {
            const int expected = (column == 0 || column == 5) ? c.nameWidth
                                                              : ListColumns::Table()[column].width;
            EXPECT_EQ(ListColumns::InitialWidth(column, c.cx), expected)
                << "cx " << c.cx << " column " << column;
        }
    }
}

TEST(ListColumns, DatesSizesAndPathsWidenForTheFontNameAndArrowDoNot) {
    // Every byte 7 pixels wide: the table's widths are too small, except for
    // "Name" (200, or wider from cx) and "<->".
    const auto sevenPixels = [](std::string_view text) { return 7 * static_cast<int>(text.size()); };
    const int wide[] = {248, 82, 145, 124, 50, 248, 82, 145, 124};
    const auto onePixel = [](std::string_view text) { return static_cast<int>(text.size()); };
    for (int column = 0; column < ListColumns::kCount; ++column) {
        EXPECT_EQ(ListColumns::InitialWidth(column, 1000, 12, sevenPixels), wide[column]) << column;
        EXPECT_EQ(ListColumns::InitialWidth(column, 1, 12, onePixel), ListColumns::Table()[column].width) << column;
    }
}

TEST(ListColumns, FitGivesNamesFirstAndTakesFromPathsFirst) {
    using W = ListColumns::Widths;
    const W table{200, 70, 115, 34, 50, 200, 70, 115, 34};
    const W wide{200, 85, 137, 112, 50, 200, 85, 137, 112};
    const struct {
        W base;
        int grown;
        W fitted;
    } cases[] = {
        {table, 0, table},
        {table, 91, {230, 70, 115, 49, 50, 230, 70, 115, 50}},       // names 60, paths 31
        {table, -60, {170, 70, 115, 34, 50, 170, 70, 115, 34}},      // paths at their least already
        {wide, -200, {178, 85, 137, 34, 50, 178, 85, 137, 34}},      // paths first, then names
        {wide, -10000, {90, 85, 137, 34, 50, 90, 85, 137, 34}},      // sizes, dates, arrow never
        {{250, 70, 115, 90, 50, 200, 70, 115, 34}, -60, {246, 70, 115, 34, 50, 200, 70, 115, 34}},  // the wider first
    };
    for (const auto& c : cases) EXPECT_EQ(ListColumns::Fit(c.base, c.grown), c.fitted) << c.grown;
}

TEST(WindowSize, TracksOnlyQualifyingSizes) {
    struct Step {
        int width;
        int height;
        bool maximizedOrMinimized;
        int rememberedWidth;
        int rememberedHeight;
    };
    const Step steps[] = {
        {800, 600, false, 800, 600},
        {300, 500, false, 800, 600},   // width must exceed 300
        {500, 200, false, 800, 600},   // height must exceed 200
        {0, 0, true, 800, 600},        // minimised
        {1920, 1080, true, 800, 600},  // maximised
        {301, 201, false, 301, 201},
    };
    WindowSize size;
    size.SetInitial(640, 480);
    for (const Step& s : steps) {
        size.Track(s.width, s.height, s.maximizedOrMinimized);
        EXPECT_EQ(size.width(), s.rememberedWidth) << s.width << "x" << s.height;
        EXPECT_EQ(size.height(), s.rememberedHeight) << s.width << "x" << s.height;
    }
}

TEST(WindowSize, StoreAndRestoreRoundTrip) {
    InMemoryProfileStore store;
    EXPECT_EQ(WindowSize::Restore(store).width, 0);
    EXPECT_EQ(WindowSize::Restore(store).height, 0);

    WindowSize size;
    size.Track(1012, 700, false);
    size.Store(store);
    EXPECT_EQ(store.GetProfileInt("Main", "cx", 0), 1020);
    EXPECT_EQ(store.GetProfileInt("Main", "cy", 0), 746);
    const WindowSize::Size restored = WindowSize::Restore(store);
    EXPECT_EQ(restored.width, 1012);
    EXPECT_EQ(restored.height, 700);
}

// A window that had to open smaller than stored (a smaller or scaled screen)
// writes the stored size back, unless it was sized meanwhile.
TEST(WindowSize, AStoredSizeTheScreenCannotShowStaysStored) {
    const struct {
        int resizedWidth;  // 0: not resized
        int cx;
        int cy;
    } cases[] = {{0, 2008, 1546}, {500, 508, 1546}, {800, 808, 1546}};
    for (const auto& c : cases) {
        InMemoryProfileStore store;
        WindowSize size;
        size.SetInitial(792, 554, WindowSize::Size{2000, 1500});
        size.Track(792, 554, false);
        if (c.resizedWidth > 0) size.Track(c.resizedWidth, 554, false);
        size.Store(store);
        EXPECT_EQ(store.GetProfileInt("Main", "cx", 0), c.cx) << c.resizedWidth;
        EXPECT_EQ(store.GetProfileInt("Main", "cy", 0), c.cy) << c.resizedWidth;
    }
}

TEST(WindowSize, UnusableStoredValuesKeepTheDefault) {
    InMemoryProfileStore store;
    store.WriteProfileInt("Main", "cx", -300);
    store.WriteProfileString("Main", "cy", "hoch");
    WindowSize::Size restored = WindowSize::Restore(store);
    EXPECT_EQ(restored.width, 0);
    EXPECT_EQ(restored.height, 0);
    store.WriteProfileInt("Main", "cx", 8);  // no room for a client area
    store.WriteProfileInt("Main", "cy", 400);
    restored = WindowSize::Restore(store);
    EXPECT_EQ(restored.width, 0);
    EXPECT_EQ(restored.height, 354);
}

}  // namespace
}  // namespace kirvo
