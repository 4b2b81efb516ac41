#include "view/list_columns.h"

#include <algorithm>

namespace kirvo {

const std::array<ListColumn, ListColumns::kCount>& ListColumns::Table() {
    static constexpr std::array<ListColumn, kCount> table{{
        {"Name", 200, ColumnAlignment::Left},
        {"Größe", 70, ColumnAlignment::Right},
        {"Geändert am", 115, ColumnAlignment::Right},
        {"Pfad", 34, ColumnAlignment::Left},
        {"<->", 50, ColumnAlignment::Center},
        {"Name", 200, ColumnAlignment::Left},
        {"Größe", 70, ColumnAlignment::Right},
        {"Geändert am", 115, ColumnAlignment::Right},
        {"Pfad", 34, ColumnAlignment::Left},
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

std::string_view ListColumns::SampleText(int column) {
    switch (column) {
    case 1:
    case 6:
        return "9999999 KB";
    case 2:
    case 7:
        return "31.12.2099 23:59:59";
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
    const std::string_view sample = SampleText(column);
    return sample.empty() ? width : std::max(width, textWidth(sample) + insets);
}

}  // namespace kirvo
