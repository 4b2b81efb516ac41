#include "engine/pair_classifier.h"

#include "engine/time_verdict.h"

namespace kirvo {

int32_t PairClassifier::TimeVerdictOf(const FilePair& pair) const {
    if (!pair.source) return -1;
    if (!pair.target) return 1;
    return TimeVerdict::Of(*pair.source, *pair.target, tolerance_, ignoreHour_);
}

int32_t PairClassifier::Classify(const FilePair& pair, bool& needsContents, std::string_view& reason) const {
    needsContents = false;
    const int32_t byTime = TimeVerdictOf(pair);
    if (!pair.source || !pair.target || compareBy_ == CompareBy::Time) return byTime;
    const bool sameSize = pair.source->size() == pair.target->size();
    if (!sameSize) {
        if (byTime != 0) return byTime;
        reason = kSizeDiffers;
        return FilePair::kConflict;
    }
    // Equal sizes: the times decide unless the contents are to be read.
    needsContents = compareBy_ == CompareBy::Content && pair.source->size() > 0;
    return compareBy_ == CompareBy::Content && pair.source->size() == 0 ? 0 : byTime;
}

}  // namespace kirvo
