#include "platform/content_hash.h"

#include <xxhash.h>

#include <algorithm>
#include <cstdio>

namespace kirvo {

struct ContentHasher::State {
    XXH3_state_t* xxh = XXH3_createState();
    ~State() { XXH3_freeState(xxh); }
};

ContentHasher::ContentHasher() : state_(std::make_unique<State>()) { XXH3_128bits_reset(state_->xxh); }

ContentHasher::~ContentHasher() = default;

void ContentHasher::add(const void* data, size_t size) { XXH3_128bits_update(state_->xxh, data, size); }

void ContentHasher::addZeros(uint64_t count) {
    static const char zeros[64 * 1024] = {};
    while (count > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(count, sizeof zeros));
        add(zeros, n);
        count -= n;
    }
}

ContentHash ContentHasher::result() const {
    const XXH128_hash_t h = XXH3_128bits_digest(state_->xxh);
    return {h.high64, h.low64};
}

std::string ContentHash::text() const {
    char buffer[33];
    std::snprintf(buffer, sizeof buffer, "%016llx%016llx", static_cast<unsigned long long>(high),
                  static_cast<unsigned long long>(low));
    return buffer;
}

}  // namespace kirvo
