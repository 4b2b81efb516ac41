#include "platform/value_text.h"

#include <cstdio>

#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr double kPerKilo = 1.0 / 1024.0;  // exact power of two

bool English() { return TextsLanguage() != UiLanguage::German; }

// Inserts "," between the thousands of the digits from `from` on (up to a
// '.' or the end).
void GroupThousands(std::string& text, size_t from) {
    size_t end = text.find('.', from);
    if (end == std::string::npos) end = text.size();
    for (size_t at = end; at > from + 3; at -= 3) text.insert(at - 3, 1, ',');
}

void AppendTwoDigits(std::string& out, unsigned value, char lead) {
    out.push_back(value >= 10 ? static_cast<char>('0' + value / 10 % 10) : lead);
    out.push_back(static_cast<char>('0' + value % 10));
}

}  // namespace

void AppendCount(std::string& out, uint64_t count) {
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + count % 10);
        count /= 10;
    } while (count != 0);
    const size_t at = out.size();
    out.append(p, static_cast<size_t>(end - p));
    if (English()) GroupThousands(out, at);
}

std::string CountText(uint64_t count) {
    std::string text;
    AppendCount(text, count);
    return text;
}

std::string DecimalText(double value, int decimals) {
    char buffer[64];  // enough for every ordinary value; huge doubles take the second path
    int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (n < 0) return {};
    std::string text;
    if (static_cast<size_t>(n) < sizeof buffer) {
        text.assign(buffer, static_cast<size_t>(n));
    } else {
        text.resize(static_cast<size_t>(n) + 1);
        std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
        text.resize(static_cast<size_t>(n));
    }
    if (English()) GroupThousands(text, !text.empty() && text[0] == '-' ? 1 : 0);
    return text;
}

std::string ByteCountText(uint64_t bytes) { return Format(TrN("%s Byte", "%s Bytes", bytes), CountText(bytes)); }

std::string SizeText(double bytes) {
    static const char* const kUnits[] = {"", " KB", " MB", " GB", " TB", " PB"};
    double x = bytes;
    int unit = 0;
    while (x >= 1024 && unit < 5) {
        x *= kPerKilo;
        ++unit;
    }
    const std::string number = DecimalText(x, unit < 2 ? 0 : 1);
    // TRANSLATORS: a size below 1024 bytes; %s is the number.
    return unit == 0 ? Format(TrN("%s Byte", "%s Bytes", static_cast<uint64_t>(x)), number) : number + kUnits[unit];
}

void AppendDateText(std::string& out, unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                    unsigned second, bool padDay) {
    const bool english = English();
    const bool monthFirst = english && CurrentEnglishDates() == EnglishDates::MonthFirst;
    if (day > 99 || month > 99 || year > 9999 || hour > 99 || minute > 99 || second > 99) {
        const char* format = english  ? "%.2u/%.2u/%.4u %.2u:%.2u:%.2u"
                             : padDay ? "%2u.%.2u.%.4u %.2u:%.2u:%.2u"
                                      : "%u.%.2u.%.4u %.2u:%.2u:%.2u";
        char buffer[96];  // six fields of at most 5 digits each
        const int n = std::snprintf(buffer, sizeof buffer, format, monthFirst ? month : day, monthFirst ? day : month,
                                    year, hour, minute, second);
        if (n > 0 && static_cast<size_t>(n) < sizeof buffer) out.append(buffer, static_cast<size_t>(n));
        return;
    }
    // Without the printf machinery: a million dates per list.
    if (english) {
        AppendTwoDigits(out, monthFirst ? month : day, '0');
        out.push_back('/');
        AppendTwoDigits(out, monthFirst ? day : month, '0');
        out.push_back('/');
    } else {
        if (padDay || day >= 10) {
            AppendTwoDigits(out, day, ' ');
        } else {
            out.push_back(static_cast<char>('0' + day));
        }
        out.push_back('.');
        AppendTwoDigits(out, month, '0');
        out.push_back('.');
    }
    AppendTwoDigits(out, year / 100u, '0');
    AppendTwoDigits(out, year % 100u, '0');
    out.push_back(' ');
    AppendTwoDigits(out, hour, '0');
    out.push_back(':');
    AppendTwoDigits(out, minute, '0');
    out.push_back(':');
    AppendTwoDigits(out, second, '0');
}

}  // namespace kirvo
