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
    bool isSystem = false;  // no such bit on POSIX: always clear there
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;  // UTC, seconds since 1970-01-01
    uint32_t modifiedNanoseconds = 0;
};

// Lists one folder of the file system, one record per name, "." and ".."
// included, in the order the system yields them.
class DirectoryLister {
public:
    enum class Detail { NamesOnly, Full };
    using Visitor = FunctionRef<void(const DirectoryRecord&)>;

    // Returns false (and visits nothing) when the folder cannot be opened.
    // A record that vanishes between listing and inspection is left out.
    static bool List(const std::string& path, Detail detail, Visitor visit);
};

// The machine's current offset of local time from UTC in seconds, as the C
// library sees it (TZ honoured). Read once per comparison run.
int64_t CurrentUtcOffsetSeconds();

}  // namespace kirvo
