#include "platform/temporary_name.h"

#include <cstdio>

namespace kirvo {
namespace {

constexpr size_t kNameMax = 255;     // bytes per name on the usual file systems
constexpr size_t kRandomDigits = 16;
constexpr size_t kCheckDigits = 8;
constexpr size_t kTail = 1 + kRandomDigits + kCheckDigits + TemporaryName::kSuffix.size();

uint64_t Fnv1a(std::string_view a, std::string_view b) {
    uint64_t hash = 1469598103934665603ull;
    for (std::string_view part : {a, b})
        for (unsigned char c : part) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::string Hex(uint64_t value, size_t digits) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return std::string(text + 16 - digits, digits);
}

bool IsLowerHex(std::string_view text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

std::string TemporaryName::For(std::string_view name, uint64_t random) {
    std::string stem;
    if (1 + name.size() + kTail <= kNameMax) {
        stem.assign(name);
    } else {
        stem.assign(name.substr(0, kNameMax - 1 - kTail - 17));
        stem += "~" + Hex(Fnv1a(name, {}), 16);
    }
    const std::string randomPart = Hex(random, kRandomDigits);
    return "." + stem + "." + randomPart + Hex(Fnv1a(stem, randomPart), kCheckDigits) + std::string(kSuffix);
}

bool TemporaryName::HasOurForm(std::string_view name) {
    if (name.size() < 2 + kTail || name.substr(name.size() - kSuffix.size()) != kSuffix || name[0] != '.') return false;
    const std::string_view digits = name.substr(name.size() - kSuffix.size() - kRandomDigits - kCheckDigits,
                                                kRandomDigits + kCheckDigits);
    if (name[name.size() - kTail] != '.' || !IsLowerHex(digits)) return false;
    const std::string_view stem = name.substr(1, name.size() - 1 - kTail);
    return Hex(Fnv1a(stem, digits.substr(0, kRandomDigits)), kCheckDigits) == digits.substr(kRandomDigits);
}

}  // namespace kirvo
