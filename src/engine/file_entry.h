#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/system_time.h"

namespace kirvo {

enum Side : int32_t { kSourceSide = 1, kTargetSide = 2 };

// One file found in either tree. The folder text is shared with the
// engine's folder list and the name lives in the engine's name store, so an
// entry is small and valid as long as the engine's run that made it.
class FileEntry {
public:
    static constexpr size_t kMaxNameLength = 0xFFFF;
    FileEntry(int32_t folderIndex, int32_t side, const std::string* folder, std::string_view name,
              uint64_t size, int64_t modifiedSeconds, uint16_t modifiedMilliseconds, bool link = false)
        : folder_(folder),
          name_(name.data()),
          size_(size),
          modifiedSeconds_(modifiedSeconds),
          folderIndex_(folderIndex),
          nameLength_(static_cast<uint16_t>(name.size())),
          millisecondsAndSide_(static_cast<uint16_t>((modifiedMilliseconds & kMillisecondsMask) |
                                                     (link ? kLinkBit : 0u) |
                                                     (static_cast<unsigned>(side) << kSideShift))) {}

    int32_t folderIndex() const { return folderIndex_; }
    int32_t side() const { return millisecondsAndSide_ >> kSideShift; }
    // Relative folder: empty for the root, else names each followed by the native separator.
    std::string_view folder() const { return *folder_; }
    // The name exactly as the file system gave it.
    std::string_view name() const { return {name_, nameLength_}; }
    uint64_t size() const { return size_; }
    // Local last-write time (converted with the offset of the run).
    SystemTime modified() const { return SystemTimeFromSeconds(modifiedSeconds_, modifiedMilliseconds()); }
    int64_t modifiedSeconds() const { return modifiedSeconds_; }
    uint16_t modifiedMilliseconds() const { return millisecondsAndSide_ & kMillisecondsMask; }
    // A link listed as itself ("Verknüpfungen" copy): size and time are the
    // link's own, and its content is its text.
    bool isLink() const { return (millisecondsAndSide_ & kLinkBit) != 0; }

    // Points the name at bytes equal to it stored elsewhere (the engine keeps
    // a name that both sides have once); they must outlive the entry.
    void ShareName(const char* sameName) { name_ = sameName; }

    // folder() + name(): the path relative to the side's root.
    std::string relativePath() const {
        std::string path;
        path.reserve(folder_->size() + nameLength_);
        path.append(*folder_).append(name_, nameLength_);
        return path;
    }

private:
    const std::string* folder_;
    const char* name_;
    uint64_t size_;
    int64_t modifiedSeconds_;
    int32_t folderIndex_;
    uint16_t nameLength_;  // a file name is at most a few hundred bytes
    // Milliseconds (0..999) in the low ten bits, the link bit, the side on top:
    // keeps the record at 40 bytes.
    uint16_t millisecondsAndSide_;
    static constexpr unsigned kMillisecondsMask = 0x3FF;
    static constexpr unsigned kLinkBit = 0x400;
    static constexpr unsigned kSideShift = 14;
};

static_assert(sizeof(FileEntry) <= 40, "a million entries should stay small");

}  // namespace kirvo
