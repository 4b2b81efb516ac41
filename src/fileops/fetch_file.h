#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kirvo {

class RootAccess;

// Copies the file `relative` below `root` (reached through roots, so a root
// on another machine is read over its connection) into the local folder
// `into`, under its own name, through a temporary file as every copy; the
// local path goes to `copied`. progress is told the bytes copied of all after
// each piece and stops the copy by returning false (ECANCELED). Returns 0 or
// the system's error code.
int FetchFile(RootAccess& roots, const std::string& root, std::string_view relative, const std::string& into,
              std::string& copied, const std::function<bool(uint64_t done, uint64_t total)>& progress = {});

}  // namespace kirvo
