#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/file_node.h"

namespace kirvo {

// A file's content as XXH3-128 of its bytes (holes read as zeros).
struct ContentHash {
    uint64_t high = 0;
    uint64_t low = 0;

    // 32 hexadecimal digits, high half first.
    std::string text() const;

    friend bool operator==(const ContentHash&, const ContentHash&) = default;
};

// The content hash of a file that Kirvo read in full, with the file as it
// stood right after (size, modification time, device, inode, status change
// time): while the file still shows that identity, the hash holds.
struct ContentRecord {
    ContentHash hash;
    NodeInfo identity;
};

// Hashes bytes as they pass, in order.
class ContentHasher {
public:
    ContentHasher();
    ~ContentHasher();
    ContentHasher(const ContentHasher&) = delete;
    ContentHasher& operator=(const ContentHasher&) = delete;

    void add(const void* data, size_t size);
    // A hole: `count` zero bytes.
    void addZeros(uint64_t count);
    ContentHash result() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kirvo
