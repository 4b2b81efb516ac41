#pragma once
#include <cstdint>

namespace kirvo {

// Whether the local file system on `device` lies on a spinning disk, which
// serves many requests at once no faster than few.
bool OnSpinningDisk(uint64_t device);

}  // namespace kirvo
