#pragma once
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace kirvo {

// Append-only storage for the names of one run: names are copied once into
// large blocks and stay at their address until Clear.
class NameStore {
public:
    std::string_view Add(std::string_view text);
    void Clear();
    size_t bytesReserved() const { return blocks_.size() * kBlockSize; }

private:
    static constexpr size_t kBlockSize = 256 * 1024;
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::unique_ptr<char[]>> oversized_;
    size_t used_ = kBlockSize;
};

}  // namespace kirvo
