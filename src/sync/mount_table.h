#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kirvo {

// One mount of the system's table (/proc/self/mountinfo), texts unescaped.
struct MountEntry {
    uint64_t id = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
    std::string root;  // what of the file system is shown there ("/", or a folder for a bind mount)
    std::string mountPoint;
    std::string fsType;
    std::string source;  // "/dev/sdb1", "server:/export", "tmpfs", ...
};

// The mounts this process sees, in the order they were mounted.
class MountTable {
public:
    static MountTable Parse(std::string_view mountinfo);
    // This process's; empty where the system has no such table.
    static MountTable Read();

    const std::vector<MountEntry>& entries() const { return entries_; }
    const MountEntry* byId(uint64_t id) const;
    // The mount a canonical absolute path lies on: the longest mount point
    // above it, the last mounted where several share it.
    const MountEntry* containing(std::string_view canonicalPath) const;

private:
    std::vector<MountEntry> entries_;
};

}  // namespace kirvo
