#include "sync/pair_key.h"

#include <cstdio>
#include <utility>

namespace kirvo {

uint64_t StableHash(std::string_view bytes) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

PairKey::PairKey(const RootIdentity& source, const RootIdentity& target)
    : first_(source), second_(target), swapped_(target.text() < source.text()) {
    if (swapped_) std::swap(first_, second_);
}

std::optional<PairKey> PairKey::Earlier() const {
    if (first_.earlierText() == first_.text() && second_.earlierText() == second_.text()) return std::nullopt;
    const RootIdentity& source = swapped_ ? second_ : first_;
    const RootIdentity& target = swapped_ ? first_ : second_;
    return PairKey(source.AsEarlier(), target.AsEarlier());
}

std::string PairKey::fileName() const {
    // Length-prefixed, so that no two pairs of texts join to the same bytes.
    const std::string joined = std::to_string(first().size()) + ":" + first() + second();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(StableHash(joined)));
    return hex;
}

}  // namespace kirvo
