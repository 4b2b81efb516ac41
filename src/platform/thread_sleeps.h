#pragma once

namespace kirvo {

// How often the calling thread has been put to sleep so far (voluntary
// context switches): each time it waited for a device, or for a lock. Work
// served from memory does not sleep.
long ThreadSleepsSoFar();

}  // namespace kirvo
