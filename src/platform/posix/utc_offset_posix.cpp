#include <ctime>

#include "platform/directory_lister.h"

namespace kirvo {

int64_t CurrentUtcOffsetSeconds() {
    tzset();
    const time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr) return 0;
    return static_cast<int64_t>(local.tm_gmtoff);
}

}  // namespace kirvo
