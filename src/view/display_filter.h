#pragma once
#include <cstdint>

#include "engine/file_pair.h"

namespace kirvo {

enum class DisplayFilterValue { All, Unequal, SourceToTarget, TargetToSource, Equal };

// Which pairs become rows of the result list. Held as five on/off flags of
// which exactly one is set; starts at Unequal and is never persisted.
class DisplayFilter {
public:
    DisplayFilter() = default;
    explicit DisplayFilter(DisplayFilterValue value) { SetDisplayFilter(value); }

    void SetDisplayFilter(DisplayFilterValue value);
    // Whether a pair with this verdict is shown: by its sign, and a conflict
    // or an unknown pair under All and Unequal only.
    bool PassesDisplayFilter(Verdict verdict) const;
    bool IsActive(DisplayFilterValue value) const;
    DisplayFilterValue value() const;

private:
    // In the order the filter rule tests them.
    int32_t all_ = 0;
    int32_t equal_ = 0;
    int32_t unequal_ = 1;
    int32_t sourceToTarget_ = 0;
    int32_t targetToSource_ = 0;
};

}  // namespace kirvo
