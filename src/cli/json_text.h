#pragma once
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace kirvo {

// Texts and times of the reports for scripts.

// The text of bytes with each byte that is not part of valid UTF-8 as U+FFFD;
// valid tells whether there was none.
std::string JsonValidText(std::string_view bytes, bool& valid);
// object[key] = the text; with invalid UTF-8, key_base64 has the exact bytes (RFC 4648).
void PutJsonText(nlohmann::ordered_json& object, const std::string& key, std::string_view bytes);
// "2011-03-13T08:53:20.000+01:00" from local seconds and the offset they carry.
std::string JsonIsoTime(int64_t localSeconds, uint16_t milliseconds, int64_t utcOffset);
// Nanoseconds since 1970 (UTC), or null where they do not fit 64 bits.
nlohmann::ordered_json JsonNanoseconds(int64_t localSeconds, uint16_t milliseconds, int64_t utcOffset);

}  // namespace kirvo
