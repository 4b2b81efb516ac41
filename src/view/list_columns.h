#pragma once
#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace kirvo {

enum class ColumnAlignment { Left, Right, Center };

struct ListColumn {
    std::string_view title;
    int width;  // initial width in pixels
    ColumnAlignment alignment;
};

// The nine columns of the result list: 0-3 the source file, 4 the direction,
// 5-8 the target file.
class ListColumns {
public:
    static constexpr int kCount = 9;
    static constexpr int kDirection = 4;

    static const std::array<ListColumn, kCount>& Table();
    // Sum of the table widths (888).
    static int TotalWidth();
    // Extra width of each "Name" column for a stored window width cx: when cx
    // exceeds the table's sum, half the surplus less 8 (may be negative),
    // else 0.
    static int ExtraNameWidth(int storedWindowWidth);
    // Initial width of a column; the columns as wide as column 0 (the two
    // "Name" columns) get the extra width.
    static int InitialWidth(int column, int storedWindowWidth);

    // The text a column is meant to show in full, whatever the font: the
    // latest date, a size of a few gigabytes, a short relative path, in the
    // language of the texts. Empty for the columns that keep their table width.
    static std::string SampleText(int column);
    // The initial width for the list's font: InitialWidth, widened where the
    // sample text plus the cell insets (both sides) would not fit. textWidth
    // gives the width of a UTF-8 text in pixels.
    static int InitialWidth(int column, int storedWindowWidth, int insets,
                            const std::function<int(std::string_view)>& textWidth);

    // The narrowest a "Name" and a "Pfad" column become when the window is
    // too narrow for all nine.
    static constexpr int kMinNameWidth = 90;
    static constexpr int kMinPathWidth = 34;
    using Widths = std::array<int, kCount>;
    // The widths for a list `grown` pixels wider than when it had `base`
    // (negative: narrower). More room goes to the names first: two thirds to
    // the two "Name" columns, a third to the two "Pfad" columns. Less room
    // comes off the paths first, then off the names, each down to its
    // narrowest; sizes, dates and the arrow keep their widths, so both sides'
    // name, size and date stay in view as long as there is room for them.
    static Widths Fit(const Widths& base, int grown);
};

}  // namespace kirvo
