#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/content_hash.h"
#include "platform/function_ref.h"

namespace kirvo {

class OpenedContent;

// Hashes contents piece by piece (XXH3-128, libxxhash).
class ContentHasher {
public:
    ContentHasher();
    ~ContentHasher();
    ContentHasher(const ContentHasher&) = delete;
    ContentHasher& operator=(const ContentHasher&) = delete;

    // Starts a new content.
    void Reset();
    void Add(const void* data, size_t size);
    // A hole: `count` zero bytes.
    void AddZeros(uint64_t count);
    ContentHash Finish() const;

    // Hashes an opened file of `listedSize` bytes from its start to its end,
    // in large page-aligned pieces. `read` learns each piece's size and
    // returns false to stop (stopped then, and no hash). Returns 0, the
    // file's error, or kSourceChanged when it is shorter or longer than
    // listed or was written to while it was read.
    int HashFile(OpenedContent& file, uint64_t listedSize, ContentHash& hash, FunctionRef<bool(size_t)> read,
                 bool& stopped);

private:
    struct State;
    std::unique_ptr<State> state_;
    std::unique_ptr<char[]> buffer_;  // one aligned piece, allocated at the first file
};

}  // namespace kirvo
