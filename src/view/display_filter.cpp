#include "view/display_filter.h"

#include "engine/file_pair.h"

namespace kirvo {

void DisplayFilter::SetDisplayFilter(DisplayFilterValue value) {
    all_ = equal_ = unequal_ = sourceToTarget_ = targetToSource_ = 0;
    switch (value) {
        case DisplayFilterValue::All: all_ = 1; break;
        case DisplayFilterValue::Unequal: unequal_ = 1; break;
        case DisplayFilterValue::SourceToTarget: sourceToTarget_ = 1; break;
        case DisplayFilterValue::TargetToSource: targetToSource_ = 1; break;
        case DisplayFilterValue::Equal: equal_ = 1; break;
    }
}

// A conflict and an unknown pair are unequal, but go in neither direction.
bool DisplayFilter::PassesDisplayFilter(Verdict verdict) const {
    const auto value = static_cast<int32_t>(verdict);
    if (all_) return true;
    if (equal_ && value == 0) return true;
    if (unequal_ && value != 0) return true;
    if (sourceToTarget_ && value > 0 && !IsConflict(verdict) && !IsUnknown(verdict)) return true;
    if (targetToSource_ && value < 0) return true;
    return false;
}

bool DisplayFilter::IsActive(DisplayFilterValue value) const {
    switch (value) {
        case DisplayFilterValue::All: return all_ != 0;
        case DisplayFilterValue::Unequal: return unequal_ != 0;
        case DisplayFilterValue::SourceToTarget: return sourceToTarget_ != 0;
        case DisplayFilterValue::TargetToSource: return targetToSource_ != 0;
        case DisplayFilterValue::Equal: return equal_ != 0;
    }
    return false;
}

DisplayFilterValue DisplayFilter::value() const {
    if (all_) return DisplayFilterValue::All;
    if (equal_) return DisplayFilterValue::Equal;
    if (sourceToTarget_) return DisplayFilterValue::SourceToTarget;
    if (targetToSource_) return DisplayFilterValue::TargetToSource;
    return DisplayFilterValue::Unequal;
}

}  // namespace kirvo
