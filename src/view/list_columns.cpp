#include "view/list_columns.h"

#include "platform/translation.h"
#include "platform/value_text.h"

#include <algorithm>

namespace kirvo {

const std::array<ListColumn, ListColumns::kCount>& ListColumns::Table() {
    static constexpr std::array<ListColumn, kCount> table{{
        {TrNoop("Name"), 200, ColumnAlignment::Left},
        {TrNoop("Größe"), 70, ColumnAlignment::Right},
        {TrNoop("Geändert am"), 115, ColumnAlignment::Right},
        {TrNoop("Pfad"), 34, ColumnAlignment::Left},
        {"<->", 50, ColumnAlignment::Center},
        {TrNoop("Name"), 200, ColumnAlignment::Left},
        {TrNoop("Größe"), 70, ColumnAlignment::Right},
        {TrNoop("Geändert am"), 115, ColumnAlignment::Right},
        {TrNoop("Pfad"), 34, ColumnAlignment::Left},
    }};
    return table;
}

int ListColumns::TotalWidth() {
    int sum = 0;
    for (const ListColumn& column : Table()) sum += column.width;
    return sum;
}

int ListColumns::ExtraNameWidth(int storedWindowWidth) {
    const int total = TotalWidth();
    return storedWindowWidth > total ? (storedWindowWidth - total) / 2 - 8 : 0;
}

int ListColumns::InitialWidth(int column, int storedWindowWidth) {
    const auto& table = Table();
    int width = table[column].width;
    if (width == table[0].width) width += ExtraNameWidth(storedWindowWidth);
    return width;
}

std::string ListColumns::SampleText(int column) {
    switch (column) {
    case 1:
    case 6:
        return CountText(9999999) + " KB";
    case 2:
    case 7: {
        std::string date;
        AppendDateText(date, 2099, 12, 31, 23, 59, 59, true);
        return date;
    }
    case 3:
    case 8:
        return "Ordner/Datei.txt";
    default:
        return {};
    }
}

int ListColumns::InitialWidth(int column, int storedWindowWidth, int insets,
                              const std::function<int(std::string_view)>& textWidth) {
    const int width = InitialWidth(column, storedWindowWidth);
    const std::string sample = SampleText(column);
    return sample.empty() ? width : std::max(width, textWidth(sample) + insets);
}

ListColumns::Widths ListColumns::Fit(const Widths& base, int grown) {
    Widths widths = base;
    const int sides[2][2] = {{0, 5}, {3, 8}};  // names, paths
    if (grown > 0) {
        const int names = grown * 2 / 3;
        const int paths = grown - names;
        widths[0] += names / 2;
        widths[5] += names - names / 2;
        widths[3] += paths / 2;
        widths[8] += paths - paths / 2;
        return widths;
    }
    // Less room: off both columns of a kind alike, the wider first.
    int missing = -grown;
    for (int kind = 0; kind < 2 && missing > 0; ++kind) {
        const int least = kind == 0 ? kMinPathWidth : kMinNameWidth;
        const int* columns = sides[kind == 0 ? 1 : 0];
        while (missing > 0) {
            int& a = widths[columns[0]];
            int& b = widths[columns[1]];
            int& wider = a >= b ? a : b;
            int& other = a >= b ? b : a;
            if (wider <= least) break;
            // Down to the other's width (or the least) at most, one pixel at a time when they are level.
            const int floor = std::max(least, other < wider ? other : wider - 1);
            const int step = std::min(missing, wider - floor);
            wider -= step;
            missing -= step;
        }
    }
    return widths;
}

}  // namespace kirvo
