#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_node.h"

namespace kirvo {

// A file's content as XXH3-128 of its bytes (holes read as zeros).
struct ContentHash {
    uint64_t high = 0;
    uint64_t low = 0;

    // 32 hexadecimal digits, high half first.
    std::string text() const;
    // The 16 bytes as they are kept (high half first, big-endian: the
    // canonical form of the hash).
    std::string Bytes() const;
    // From Bytes(); false for anything else.
    static bool FromBytes(std::string_view bytes, ContentHash& hash);

    friend bool operator==(const ContentHash&, const ContentHash&) = default;
};

// The content hash of a file that Kirvo read in full, with the file as it
// stood right after (size, modification time, device, inode, status change
// time): while the file still shows that identity, the hash holds.
struct ContentRecord {
    ContentHash hash;
    NodeInfo identity;
};

}  // namespace kirvo
