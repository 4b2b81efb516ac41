#pragma once
#include <climits>
#include <cstddef>

namespace kirvo {

// The longest path the system takes whole, in bytes of its encoding, without
// the terminating NUL (4,095 on Linux). Longer paths are refused with
// ENAMETOOLONG, never shortened.
#ifdef PATH_MAX
inline constexpr size_t kMaxPathBytes = PATH_MAX - 1;
#else
inline constexpr size_t kMaxPathBytes = 32766;  // Windows with long paths
#endif

}  // namespace kirvo
