#include "platform/content_hasher.h"

#include <xxhash.h>

#include <algorithm>
#include <cstdint>

#include "platform/content_reader.h"
#include "platform/file_node.h"

namespace kirvo {
namespace {

constexpr size_t kPieceSize = 1 << 20;
constexpr size_t kPageSize = 4096;  // the kernel copies into an aligned buffer fastest

}  // namespace

struct ContentHasher::State {
    XXH3_state_t* xxh = XXH3_createState();
    ~State() { XXH3_freeState(xxh); }
};

ContentHasher::ContentHasher() : state_(std::make_unique<State>()) { Reset(); }

ContentHasher::~ContentHasher() = default;

void ContentHasher::Reset() { XXH3_128bits_reset(state_->xxh); }

void ContentHasher::Add(const void* data, size_t size) { XXH3_128bits_update(state_->xxh, data, size); }

void ContentHasher::AddZeros(uint64_t count) {
    static const char zeros[64 * 1024] = {};
    while (count > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, sizeof zeros));
        Add(zeros, n);
        count -= n;
    }
}

ContentHash ContentHasher::Finish() const {
    const XXH128_hash_t hash = XXH3_128bits_digest(state_->xxh);
    return {.high = hash.high64, .low = hash.low64};
}

int ContentHasher::HashFile(OpenedContent& file, uint64_t listedSize, ContentHash& hash,
                            FunctionRef<bool(size_t)> read, bool& stopped) {
    stopped = false;
    if (!buffer_) buffer_ = std::make_unique<char[]>(kPieceSize + kPageSize);
    const auto start = reinterpret_cast<uintptr_t>(buffer_.get());
    char* const piece = buffer_.get() + ((kPageSize - start % kPageSize) % kPageSize);
    Reset();
    uint64_t done = 0;
    // One byte past the listed end is asked for too: a file that grew while
    // it was read is not the one listed.
    while (true) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kPieceSize, listedSize - done + 1));
        size_t got = 0;
        while (got < want) {
            size_t n = 0;
            if (const int error = file.read(piece + got, want - got, n)) return error;
            if (n == 0) break;
            got += n;
        }
        if (done + got > listedSize) return kSourceChanged;
        Add(piece, got);
        done += got;
        if (got > 0 && !read(got)) {
            stopped = true;
            return 0;
        }
        if (got < want) break;  // the end of the file
    }
    if (done != listedSize) return kSourceChanged;
    if (const int error = file.checkUnchanged()) return error;
    hash = Finish();
    return 0;
}

}  // namespace kirvo
