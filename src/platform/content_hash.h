#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// What a file's content hashes to (XXH3, 128 bits): equal hashes are taken
// for equal contents.
struct ContentHash {
    uint64_t low = 0;
    uint64_t high = 0;

    bool operator==(const ContentHash&) const = default;
    // The 16 bytes as they are kept (high half first, big-endian: the
    // canonical form of the hash).
    std::string Bytes() const;
    // From Bytes(); false for anything else.
    static bool FromBytes(std::string_view bytes, ContentHash& hash);
};

}  // namespace kirvo
