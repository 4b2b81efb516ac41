#pragma once
#include <cstdint>
#include <string>

namespace kirvo {

// Numbers, sizes and dates in the language of the texts (TextsLanguage()),
// one form per language wherever Kirvo shows them. German, the default (and
// what is written for programs and files), as the result list writes them:
// no separator between thousands, a point before decimals, "24.12.2010
// 18:30:00". English with "," between thousands and the dates of the
// regional settings (CurrentEnglishDates): "12/24/2010 18:30:00" or
// "24/12/2010 18:30:00".

// 1234567: "1234567" / "1,234,567".
std::string CountText(uint64_t count);
void AppendCount(std::string& out, uint64_t count);
// An exact number of bytes: "1 Byte", "1536 Bytes" / "1,536 bytes".
std::string ByteCountText(uint64_t bytes);
// "%.*f" of value, its whole part grouped in English.
std::string DecimalText(double value, int decimals);
// A size in the largest of Bytes, KB, MB, GB, TB, PB (at most PB) that keeps
// the value at or above 1: bytes and KB without decimals, the larger units
// with one ("0 Bytes", "1023 Bytes", "2 KB", "1.5 MB").
std::string SizeText(double bytes);
// A date with time to the second; padDay puts a blank before a German day
// below 10, so that a column of dates lines up (" 6.03.2009 07:05:09").
void AppendDateText(std::string& out, unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                    unsigned second, bool padDay);

}  // namespace kirvo
