#include "engine/pair_classifier.h"

#include "engine/time_verdict.h"

namespace kirvo {

Verdict PairClassifier::TimeVerdictOf(const FilePair& pair) const {
    if (!pair.source) return Verdict::TargetToSource;
    if (!pair.target) return Verdict::SourceToTarget;
    return VerdictFromDirection(TimeVerdict::Of(*pair.source, *pair.target, tolerance_, ignoreHour_));
}

Verdict PairClassifier::Classify(const FilePair& pair, bool& needsContents, std::string_view& reason) const {
    needsContents = false;
    const Verdict byTime = TimeVerdictOf(pair);
    if (!pair.source || !pair.target || compareBy_ == CompareBy::Time) return byTime;
    const bool sameSize = pair.source->size() == pair.target->size();
    if (!sameSize) {
        if (byTime != Verdict::Equal) return byTime;
        reason = kSizeDiffers;
        return Verdict::Conflict;
    }
    // Equal sizes: the times decide unless the contents are to be read.
    needsContents = compareBy_ == CompareBy::Content && pair.source->size() > 0;
    return compareBy_ == CompareBy::Content && pair.source->size() == 0 ? Verdict::Equal : byTime;
}

}  // namespace kirvo
