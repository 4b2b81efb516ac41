#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_node.h"

namespace kirvo {

// What a file (or folder) looked like at one moment, as the log keeps it so
// that undo can tell later whether it is still that one: device and inode (0
// where the file system tells none, as on another machine), size and
// modification time to the nanosecond.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;

    static FileStamp Of(const NodeInfo& info);

    // "device:inode:size:seconds.nanoseconds", as in the log.
    std::string text() const;
    // Nothing for anything but that form.
    static std::optional<FileStamp> Parse(std::string_view text);

    // Whether `now` is still this file: the same size and time, and the same
    // inode where it is known. On a file system mounted anew since (another
    // device number: a stick plugged in again) inode numbers may be made up
    // afresh, so there size and time decide alone.
    bool matches(const NodeInfo& now) const;
    // The same for a folder, whose size and time change with what it holds.
    bool matchesFolder(const NodeInfo& now) const;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

}  // namespace kirvo
