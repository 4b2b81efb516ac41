#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/function_ref.h"

namespace kirvo {

enum class RecordKind : uint8_t {
    File,       // a regular file, or a link to one (described as the file it points to)
    Directory,  // a real folder; links to folders are never reported as folders
    Other,      // link to a folder, dangling link, fifo, socket, device: never listed as a file
};

// One record of a folder listing. The name view is valid during the visit only.
struct DirectoryRecord {
    std::string_view name;
    RecordKind kind = RecordKind::Other;
    // The system attribute, read for folders only with Detail::FullWithSystemBit,
    // where the file system keeps one (FAT, NTFS); clear everywhere else.
    bool isSystem = false;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;  // UTC, seconds since 1970-01-01
    uint32_t modifiedNanoseconds = 0;
};

// An open folder of the file system. Children are opened relative to it, so
// the depth of a tree is not limited by the length of its paths, and a child
// that is not a real folder (say, swapped for a link) is not opened at all.
class DirectoryLister {
public:
    // NamesOnly: the kind is only told apart for folders; Full: kind, size and
    // time; FullWithSystemBit: also the folders' system attribute.
    enum class Detail { NamesOnly, Full, FullWithSystemBit };
    using Visitor = FunctionRef<void(const DirectoryRecord&)>;

    DirectoryLister() = default;
    ~DirectoryLister();
    DirectoryLister(DirectoryLister&& other) noexcept;
    DirectoryLister& operator=(DirectoryLister&& other) noexcept;
    DirectoryLister(const DirectoryLister&) = delete;
    DirectoryLister& operator=(const DirectoryLister&) = delete;

    // Opens a folder by path; paths longer than the system's limit are opened
    // step by step. Check valid() afterwards.
    static DirectoryLister Open(const std::string& path);
    // Opens the sub-folder `relative` (one or more names joined by the
    // separator) of this folder without following links.
    DirectoryLister OpenChild(std::string_view relative) const;
    bool valid() const { return handle_ >= 0; }

    // One record per name, "." and ".." included, in the order the system
    // yields them. A record that vanishes between listing and inspection is
    // left out. Returns false when the folder could not be read at all.
    bool List(Detail detail, Visitor visit) const;

    // Opens and lists in one step; false (nothing visited) when the folder cannot be opened.
    static bool List(const std::string& path, Detail detail, Visitor visit);

private:
    explicit DirectoryLister(int handle) : handle_(handle) {}
    int handle_ = -1;
};

// The machine's current offset of local time from UTC in seconds, as the C
// library sees it (TZ honoured). Read once per comparison run.
int64_t CurrentUtcOffsetSeconds();

}  // namespace kirvo
