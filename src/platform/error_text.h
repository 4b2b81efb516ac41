#pragma once
#include <string>

namespace kirvo {

// The text for a system error number (errno), in the language of the texts
// (Tr): Kirvo's own wording, so that a German window never shows the C
// library's English where the machine lacks its German messages. A number
// without a text of ours gives "Systemfehler N" with the C library's text.
std::string ErrorText(int code);

}  // namespace kirvo
