#pragma once
#include <optional>
#include <string>

namespace kirvo {

// What the file system on a block device says of itself in its superblock:
// its UUID and its label (either may be empty).
struct BlockDeviceLabel {
    std::string uuid;
    std::string label;

    // Read from the device itself, never from a cache that may describe
    // another disk once at the same device name. None where the device cannot
    // be read (an ordinary user may not) or holds no known file system.
    static std::optional<BlockDeviceLabel> Read(const std::string& device);
};

}  // namespace kirvo
