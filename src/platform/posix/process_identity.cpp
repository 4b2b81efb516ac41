#include "platform/posix/process_identity.h"

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace kirvo {
namespace {

struct Known {
    uid_t user = 0;
    gid_t group = 0;
    mode_t mask = 022;
};

std::atomic<bool> known{false};
Known values;
std::mutex lookup;

void ForgetInChild() { known.store(false); }

// The mask as /proc tells it; reading it with umask() would change it for a moment.
mode_t ReadMask() {
    FILE* status = std::fopen("/proc/self/status", "re");
    mode_t mask = 0777;  // unknown: every bit may be taken off, so nothing is taken for granted
    if (status == nullptr) return mask;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        unsigned value = 0;
        if (std::strncmp(line, "Umask:", 6) == 0 && std::sscanf(line + 6, "%o", &value) == 1) {
            mask = static_cast<mode_t>(value & 0777);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

const Known& Get() {
    if (!known.load(std::memory_order_acquire)) {
        std::lock_guard lock(lookup);
        if (!known.load(std::memory_order_relaxed)) {
            static std::once_flag registered;
            std::call_once(registered, [] { pthread_atfork(nullptr, nullptr, ForgetInChild); });
            values = {geteuid(), getegid(), ReadMask()};
            known.store(true, std::memory_order_release);
        }
    }
    return values;
}

}  // namespace

uid_t ProcessIdentity::User() { return Get().user; }
gid_t ProcessIdentity::Group() { return Get().group; }
mode_t ProcessIdentity::CreationMask() { return Get().mask; }

}  // namespace kirvo
