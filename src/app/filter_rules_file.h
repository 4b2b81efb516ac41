#pragma once
#include <string>
#include <vector>

namespace kirvo {

// The rules of one filter file (--filter-from, a job's filter-from)
// appended to include and exclude: one rule per line, "+ PATTERN" to
// include, "- PATTERN" to exclude; blank lines and lines starting with # are
// skipped. False with a German message naming the bad line or the
// unreadable file.
bool ReadFilterFile(const std::string& path, std::vector<std::string>& include, std::vector<std::string>& exclude,
                    std::string& error);

// Whether a pattern is valid; false with the message naming it and `where`
// it was given (" bei --include", say).
bool CheckFilterPattern(const std::string& pattern, const std::string& where, std::string& error);

}  // namespace kirvo
