#include "engine/name_store.h"

#include <cstring>

namespace kirvo {

std::string_view NameStore::Add(std::string_view text) {
    if (text.size() > kBlockSize / 4) {
        oversized_.push_back(std::make_unique<char[]>(text.size()));
        std::memcpy(oversized_.back().get(), text.data(), text.size());
        return {oversized_.back().get(), text.size()};
    }
    if (used_ + text.size() > kBlockSize) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(kBlockSize));
        used_ = 0;
    }
    char* place = blocks_.back().get() + used_;
    if (!text.empty()) std::memcpy(place, text.data(), text.size());
    used_ += text.size();
    return {place, text.size()};
}

void NameStore::Clear() {
    blocks_.clear();
    oversized_.clear();
    used_ = kBlockSize;
}

}  // namespace kirvo
