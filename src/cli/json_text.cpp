#include "cli/json_text.h"

#include <cstdio>
#include <limits>

#include "engine/system_time.h"

namespace kirvo {
namespace {

// Length of the valid UTF-8 sequence at text[at], or 0 when there is none.
size_t Utf8SequenceAt(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u; };
    const unsigned lead = byte(at);
    const auto continuation = [&](size_t i) { return (byte(i) & 0xC0u) == 0x80u; };
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return continuation(at + 1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned second = byte(at + 1);
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F)) return 0;  // overlong, surrogate
        return continuation(at + 1) && continuation(at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned second = byte(at + 1);
        if ((lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) return 0;
        return continuation(at + 1) && continuation(at + 2) && continuation(at + 3) ? 4 : 0;
    }
    return 0;
}

std::string Base64(std::string_view bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size()) group |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[i + 2]);
        text += kDigits[(group >> 18) & 63];
        text += kDigits[(group >> 12) & 63];
        text += i + 1 < bytes.size() ? kDigits[(group >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? kDigits[group & 63] : '=';
    }
    return text;
}

}  // namespace

// The text of bytes with each byte that is not part of valid UTF-8 as U+FFFD.
std::string JsonValidText(std::string_view bytes, bool& valid) {
    std::string text;
    valid = true;
    for (size_t i = 0; i < bytes.size();) {
        const size_t n = Utf8SequenceAt(bytes, i);
        if (n == 0) {
            text += "\xEF\xBF\xBD";
            valid = false;
            ++i;
        } else {
            text.append(bytes.substr(i, n));
            i += n;
        }
    }
    return text;
}

// object[key] = the text; with invalid UTF-8, key_base64 has the exact bytes.
void PutJsonText(nlohmann::ordered_json& object, const std::string& key, std::string_view bytes) {
    bool valid = true;
    object[key] = JsonValidText(bytes, valid);
    if (!valid) object[key + "_base64"] = Base64(bytes);
}

// "2011-03-13T08:53:20.000+01:00" from local seconds and the offset they carry.
std::string JsonIsoTime(int64_t localSeconds, uint16_t milliseconds, int64_t utcOffset) {
    const SystemTime t = SystemTimeFromSeconds(localSeconds, milliseconds);
    const int64_t minutes = (utcOffset < 0 ? -utcOffset : utcOffset) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03u%c%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.milliseconds, utcOffset < 0 ? '-' : '+', static_cast<int>(minutes / 60),
                  static_cast<int>(minutes % 60));
    return text;
}

// Nanoseconds since 1970 (UTC), or null where they do not fit 64 bits.
nlohmann::ordered_json JsonNanoseconds(int64_t localSeconds, uint16_t milliseconds, int64_t utcOffset) {
    const int64_t seconds = localSeconds - utcOffset;
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 1'000'000'000 - 1;
    if (seconds > kLimit || seconds < -kLimit) return nullptr;
    return seconds * 1'000'000'000 + int64_t{milliseconds} * 1'000'000;
}

}  // namespace kirvo
