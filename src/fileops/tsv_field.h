#pragma once
#include <string>
#include <string_view>

namespace kirvo {

// Appends text with '\\', tab, line feed and carriage return written as
// \\ \t \n \r; every other byte is copied as it is. The form of kirvo-cli's
// TSV output and of the log.
void AppendTsvEscaped(std::string& line, std::string_view text);

}  // namespace kirvo
