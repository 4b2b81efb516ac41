#include "view/value_format.h"

#include <cstdio>

namespace kirvo {
namespace {

constexpr double kPerKilo = 1.0 / 1024.0;  // exact power of two

template <typename... Args>
std::string Printf(const char* format, Args... args) {
    char buffer[64];  // enough for every ordinary value; huge doubles take the second path
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<size_t>(n));
    return text;
}

}  // namespace

std::string FormatCellSize(double size) {
    if (size < 1024) return Printf("%.0f Byte", size);
    return Printf("%.0f KB", size * kPerKilo);
}

std::string FormatTotalSize(double total) {
    static const char* const kFormats[] = {"%.0f Bytes", "%.0f KB", "%.1f MB", "%.1f GB", "%.1f TB", "%.1f PB"};
    double x = total;
    int unit = 0;
    while (x >= 1024 && unit < 5) {
        x *= kPerKilo;
        ++unit;
    }
    return Printf(kFormats[unit], x);
}

std::string FormatDate(const SystemTime& t) {
    return Printf("%2i.%.2i.%.4i %.2i:%.2i:%.2i", int{t.day}, int{t.month}, int{t.year}, int{t.hour},
                  int{t.minute}, int{t.second});
}

std::string FormatArrow(int32_t verdict) {
    if (verdict == 1) return "--->";
    if (verdict == -1) return "<---";
    return "=";
}

}  // namespace kirvo
