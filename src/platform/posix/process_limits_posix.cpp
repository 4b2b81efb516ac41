#include <sys/resource.h>

#include <cstdio>

#include "platform/process_limits.h"

namespace kirvo {
namespace {

constexpr int64_t kPlenty = 1 << 20;

// The kernel's own ceiling for one process, where "unlimited" is claimed.
rlim_t KernelCeiling() {
    unsigned long value = 0;
    if (FILE* f = std::fopen("/proc/sys/fs/nr_open", "r")) {
        if (std::fscanf(f, "%lu", &value) != 1) value = 0;
        std::fclose(f);
    }
    return value > 0 ? static_cast<rlim_t>(value) : static_cast<rlim_t>(kPlenty);
}

}  // namespace

int64_t RaiseOpenFileLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return OpenFileLimit();
    if (limit.rlim_cur != limit.rlim_max) {
        struct rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? KernelCeiling() : limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &raised);
    }
    return OpenFileLimit();
}

int64_t OpenFileLimit() {
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kPlenty;
    return static_cast<int64_t>(limit.rlim_cur);
}

}  // namespace kirvo
