#include <sys/resource.h>

#include "platform/thread_sleeps.h"

namespace kirvo {

long ThreadSleepsSoFar() {
    struct rusage usage;
    return getrusage(RUSAGE_THREAD, &usage) == 0 ? usage.ru_nvcsw : 0;
}

}  // namespace kirvo
