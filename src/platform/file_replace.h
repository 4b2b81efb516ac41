#pragma once
#include <string>
#include <string_view>

namespace kirvo {

// Writes a small file in one step: the text goes into a new file beside it,
// which is flushed and then renamed over it, so a reader sees the old or the
// new text and never a part. The new file has the permission bits `mode`.
// 0, or the error number.
int ReplaceFile(const std::string& path, std::string_view text, unsigned mode);

}  // namespace kirvo
