#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace kirvo {

// Append-only storage in fixed blocks: elements never move once added, and
// growing never copies or doubles the memory in use.
template <class T, size_t BlockSize = 4096>
class ChunkedStore {
public:
    ChunkedStore() = default;
    ~ChunkedStore() { clear(); }
    ChunkedStore(const ChunkedStore&) = delete;
    ChunkedStore& operator=(const ChunkedStore&) = delete;

    template <class... Args>
    T& emplace_back(Args&&... args) {
        if (size_ % BlockSize == 0 && size_ / BlockSize == blocks_.size())
            blocks_.emplace_back(static_cast<T*>(::operator new(sizeof(T) * BlockSize, std::align_val_t(alignof(T)))));
        T* place = blocks_[size_ / BlockSize].get() + size_ % BlockSize;
        new (place) T(std::forward<Args>(args)...);
        ++size_;
        return *place;
    }

    void clear() {
        for (size_t i = 0; i < size_; ++i) (*this)[i].~T();
        size_ = 0;
        blocks_.clear();
        sortedBlocks_.clear();
    }

    size_t size() const { return size_; }
    const T& operator[](size_t i) const { return blocks_[i / BlockSize].get()[i % BlockSize]; }
    T& operator[](size_t i) { return blocks_[i / BlockSize].get()[i % BlockSize]; }

    // The index of an element of this store, found by its address; SIZE_MAX
    // for anything else. Logarithmic in the number of blocks.
    size_t indexOf(const T* element) const {
        if (sortedBlocks_.size() != blocks_.size()) {
            sortedBlocks_.clear();
            for (size_t b = 0; b < blocks_.size(); ++b) sortedBlocks_.emplace_back(blocks_[b].get(), b);
            std::sort(sortedBlocks_.begin(), sortedBlocks_.end());
        }
        auto it = std::upper_bound(sortedBlocks_.begin(), sortedBlocks_.end(),
                                   std::pair<const T*, size_t>(element, SIZE_MAX));
        if (it == sortedBlocks_.begin()) return SIZE_MAX;
        --it;
        if (std::less<const T*>()(element, it->first) || !std::less<const T*>()(element, it->first + BlockSize))
            return SIZE_MAX;
        const size_t index = it->second * BlockSize + static_cast<size_t>(element - it->first);
        return index < size_ ? index : SIZE_MAX;
    }

    template <class F>
    void forEach(F&& f) const {
        for (size_t i = 0; i < size_; ++i) f((*this)[i]);
    }

private:
    struct Release {
        void operator()(T* p) const { ::operator delete(p, std::align_val_t(alignof(T))); }
    };
    std::vector<std::unique_ptr<T, Release>> blocks_;
    size_t size_ = 0;
    mutable std::vector<std::pair<const T*, size_t>> sortedBlocks_;  // for indexOf
};

}  // namespace kirvo
