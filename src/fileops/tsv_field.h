#pragma once
#include <string>
#include <string_view>

namespace kirvo {

// Appends text with '\\', tab, line feed and carriage return written as
// \\ \t \n \r; every other byte is copied as it is. The form of kirvo-cli's
// TSV output and of the log.
void AppendTsvEscaped(std::string& line, std::string_view text);
// The first byte from `from` on that AppendTsvEscaped writes as an escape; npos for none.
size_t FindTsvSpecial(std::string_view text, size_t from = 0);
// The text a field written by AppendTsvEscaped stands for; false for a field
// that no such writing gives (an unknown escape, a backslash at the end).
bool TsvUnescaped(std::string_view field, std::string& text);

}  // namespace kirvo
