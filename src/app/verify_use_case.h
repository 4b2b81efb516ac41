#pragma once
#include <string>

#include "app/run_result.h"
#include "engine/run_options.h"
#include "platform/root.h"
#include "sync/content_verification.h"

namespace kirvo {

class ContentProgress;
class TreeMatcher;

// Checking the bytes of a pair: the one use case behind "kirvo-cli verify"
// and the window's "Inhalt prüfen". Its stages, in order:
//   Refusal  a snapshot side holds no contents to read
//   (the caller compares the roots with ScanOptions(): by time)
//   Verify   every file of both sides read whole against the hashes recorded
//            for the pair (ContentVerification); what is learnt is recorded
//   End      how the check ended, and its counts as one line
// Nothing here shows or asks anything; progress and stopping go through the
// ContentProgress the caller hands in.
class VerifyUseCase {
public:
    // stateFolder: where the pairs' records are kept; "" the user's.
    explicit VerifyUseCase(std::string stateFolder = {}) : stateFolder_(std::move(stateFolder)) {}

    // Why the pair cannot be checked ("" when it can): a snapshot side.
    static std::string Refusal(const Root& source, const Root& target);
    // The comparison the check reads over: by time, whatever was set.
    static RunOptions ScanOptions(RunOptions options);

    // Reads every file of the compared pair (the roots as the comparison
    // found them); stops after the piece under way once progress is asked to.
    const VerifyResult& Verify(const TreeMatcher& matcher, const Root& source, const Root& target,
                               ContentProgress& progress);
    const VerifyResult& result() const { return result_; }

    // InLine: all read, nothing damaged, both sides the same; LeftUnequal: a
    // file damaged or the sides' bytes differ; NotAllDone: something could
    // not be read (`notAllListed`: the comparison could not read a place or
    // a root is missing) or the records could not be kept; Interrupted: stopped.
    RunEnd End(bool notAllListed) const;
    // "Geprüft: 3 Dateien (12 MB gelesen): 1 gleich, 0 verschieden, 1 beschädigt?, 0 nicht lesbar, 1 nur auf einer Seite."
    std::string Summary() const;

private:
    std::string stateFolder_;
    VerifyResult result_;
};

}  // namespace kirvo
