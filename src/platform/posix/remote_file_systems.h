#pragma once

namespace kirvo {

// Whether every request to a file system of this statfs type waits for an
// answer from elsewhere (network and user-space file systems).
bool WaitsPerRequest(long type);

}  // namespace kirvo
