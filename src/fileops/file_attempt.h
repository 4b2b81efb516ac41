#pragma once
#include <string>
#include <string_view>
#include <utility>

#include "platform/translation.h"

namespace kirvo {

// How one attempt at one file of a copy or delete request ended.
struct FileAttempt {
    enum Kind { Done, Skipped, Cancelled, Error, Pending } kind = Done;
    std::string path;    // Error: the file or folder concerned
    std::string reason;  // Error, Skipped
    int code = 0;        // Error: the system's code, 0 when none applies

    // `reason`: a marked text (FileOperationTexts), translated here.
    static FileAttempt Skip(std::string_view reason) { return {Skipped, {}, Tr(reason), 0}; }
    static FileAttempt Cancel() { return {Cancelled, {}, {}, 0}; }
    // "<what>: <system text>" about path; a link or a dot name on the way has its own text.
    static FileAttempt Fail(std::string path, std::string_view what, int code);
};

}  // namespace kirvo
