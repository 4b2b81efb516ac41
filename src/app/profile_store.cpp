#include "app/profile_store.h"

#include <charconv>
#include <limits>

namespace kirvo {

bool ParseProfileInt(std::string_view text, int32_t& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty()) return false;
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
        if (text.empty()) return false;
    }
    uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size()) return false;
    if (negative) {
        if (magnitude > uint64_t{1} << 31) return false;
        value = static_cast<int32_t>(-static_cast<int64_t>(magnitude));
        return true;
    }
    if (magnitude > std::numeric_limits<uint32_t>::max()) return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    return true;
}

}  // namespace kirvo
