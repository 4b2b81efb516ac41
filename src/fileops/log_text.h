#pragma once
#include <string>
#include <string_view>

namespace kirvo {

// The log as a person reads it in the window's language. The file itself
// stays German (OperationLog); shown in another language, the header, the
// actions, the results' prefixes, the commands and the counts of each line
// are translated, paths and reasons stay as written.
class LogText {
public:
    // `text`: whole lines of the log file.
    static std::string Shown(std::string_view text);
    static std::string ShownLine(std::string_view line);
};

}  // namespace kirvo
