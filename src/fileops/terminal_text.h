#pragma once
#include <string>
#include <string_view>

namespace kirvo {

// Everything kirvo-cli writes to a terminal that it did not write itself (names,
// paths, patterns, lines of a filter file, texts of a server or of the system)
// goes through here, so that it can neither steer the terminal nor hide or
// reorder what is shown. Escaped, each in a visible and unambiguous form:
//   \\ for the backslash; \t \n \r; \xNN for the other C0 controls and DEL;
//   \xNN for each byte that is not part of valid UTF-8 (so also a lone 0x80-0x9F);
//   \uNNNN for the C1 controls written as UTF-8 (U+0080-U+009F) and for the
//   bidirectional controls (U+061C, U+200E, U+200F, U+202A-U+202E, U+2066-U+2069).
// Every other byte, and every other valid UTF-8 character, is copied as it is.
// kirvo-cli's TSV output and the log have their own form (AppendTsvEscaped).
void AppendDisplayEscaped(std::string& line, std::string_view text);
std::string DisplayEscaped(std::string_view text);

// The same for a text of our own that spans lines: its line feeds stay line
// breaks, everything else is escaped as above.
std::string DisplayEscapedLines(std::string_view text);

}  // namespace kirvo
