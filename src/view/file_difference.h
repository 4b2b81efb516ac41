#pragma once
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "view/line_diff.h"

namespace kirvo {

// What differs between two local files, as the built-in view shows it.
// Text files (no NUL byte in their first 8 KiB) are compared line by line
// over their first kMaxTextBytes; binary files byte by byte for the offset
// of the first difference, over their first kMaxBinaryBytes. What was cut
// says so; nothing reads more than these bounds.
struct FileDifference {
    static constexpr uint64_t kMaxTextBytes = uint64_t{4} << 20;
    static constexpr uint64_t kMaxBinaryBytes = uint64_t{256} << 20;
    static constexpr size_t kMaxEdits = 4000;

    struct Side {
        std::string path;
        uint64_t size = 0;
        std::vector<std::string> lines;  // text files: the lines read, without their line ends
        bool cut = false;                // text files: only the first kMaxTextBytes were read
        std::string error;               // "" or why the file could not be read
    };

    Side left;
    Side right;
    bool binary = false;
    // Text: the lines' differences. Binary: the offset of the first byte
    // that differs (where the shorter file ends, when one is the other's
    // beginning); none when none was found within the bytes read.
    LineDiff lines;
    std::optional<uint64_t> firstDifference;
    // Binary: the first kMaxBinaryBytes were equal and the rest was not read.
    bool binaryCut = false;
    // Stopped from outside before the end.
    bool stopped = false;

    bool readable() const { return left.error.empty() && right.error.empty(); }
    // Equal as far as was read.
    bool equal() const;

    // Reads and compares; stop (when given) ends the reading early.
    static FileDifference Compare(const std::string& leftPath, const std::string& rightPath,
                                  const std::atomic<bool>* stop = nullptr);
};

}  // namespace kirvo
