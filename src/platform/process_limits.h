#pragma once
#include <cstdint>

namespace kirvo {

// Raises the process's soft limit of open files to its hard limit (copying in
// batches holds two handles per file). Returns the soft limit now in force.
int64_t RaiseOpenFileLimit();

// The soft limit of open files now in force (a large number where there is none).
int64_t OpenFileLimit();

}  // namespace kirvo
