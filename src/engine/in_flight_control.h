#pragma once
#include "platform/directory_lister.h"

namespace kirvo {

// The automatic number of listings under way at once for one side. It starts
// where the lister says; while at least half of the listings finished since
// the last look had to wait for the device (a cold cache, a slow disk), it
// doubles, up to the lister's limit, and once fewer than one in eight waited,
// it halves, down to the start. It looks again after as many listings as are
// under way, and after eight at least, so one slow folder moves nothing.
class InFlightControl {
public:
    InFlightControl(int start, int limit);

    int count() const { return count_; }
    // The lister's waits so far; returns the number to keep under way.
    int Update(const DirectoryLister::Waits& seen);

private:
    static constexpr int kLeastWindow = 8;

    int start_;
    int limit_;
    int count_;
    DirectoryLister::Waits since_;  // the waits at the last look
};

}  // namespace kirvo
