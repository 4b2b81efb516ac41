#pragma once
#include <cstdint>
#include <string_view>

#include "engine/file_pair.h"
#include "engine/run_options.h"

namespace kirvo {

// The verdict of a pair with both entries under the comparison setting
// ("Vergleich"), as far as the listing decides it; comparing by content,
// pairs of equal size wait for their contents (AfterContents).
class PairClassifier {
public:
    PairClassifier(CompareBy compareBy, bool twoSecondTolerance, bool ignoreHour)
        : compareBy_(compareBy), tolerance_(twoSecondTolerance), ignoreHour_(ignoreHour) {}
    explicit PairClassifier(const RunOptions& options)
        : PairClassifier(options.compareBy, options.twoSecondTolerance, options.ignoreHour) {}

    // Only the times (and the hour rule): the verdict of Vergleich 0.
    Verdict TimeVerdictOf(const FilePair& pair) const;

    // The verdict from the listing. Comparing by content, a pair of equal
    // sizes needs its contents read: it gets its time verdict for now and
    // needsContents is set. A conflict's reason comes in reason.
    Verdict Classify(const FilePair& pair, bool& needsContents, std::string_view& reason) const;

    // The verdict once the contents are known: identical files are equal
    // whatever their times; different ones take the arrow of their times, or
    // are a conflict when the times count as equal.
    static Verdict AfterContents(Verdict timeVerdict, bool identical) {
        if (identical) return Verdict::Equal;
        return timeVerdict == Verdict::Equal ? Verdict::Conflict : timeVerdict;
    }

    static constexpr std::string_view kSizeDiffers = "Gleiche Änderungszeit, aber verschiedene Größe.";
    static constexpr std::string_view kContentDiffers = "Gleiche Änderungszeit und Größe, aber verschiedener Inhalt.";

private:
    CompareBy compareBy_;
    bool tolerance_;
    bool ignoreHour_;
};

}  // namespace kirvo
