#include "app/run_result.h"

#include <gtest/gtest.h>

namespace kirvo {
namespace {

TEST(RunResult, SummaryCountsEveryRequestAsTheLogCountsIt) {
    // Every request's reports together, counted as the log counts them.
    const auto report = [](FileOutcome outcome, std::string trashedTo = {}) {
        const bool replaced = !trashedTo.empty();
        return FileReport{"/q/f", "/z/f", outcome, {}, std::move(trashedTo), 0, replaced};
    };
    using K = RunResult::Request;
    const OperationResult copied{{report(FileOutcome::Done), report(FileOutcome::Done, "/t/f"),
                                  report(FileOutcome::Failed)}};
    const OperationResult rest{{report(FileOutcome::Done), report(FileOutcome::Skipped), report(FileOutcome::Cancelled)}};
    const struct {
        K kind;
        std::vector<OperationResult> results;
        std::string text;
        int32_t failures;
    } summaries[] = {
        {K::Copy, {copied, rest}, "2 kopiert, 1 ersetzt, 1 übersprungen, 1 fehlgeschlagen, 1 nicht kopiert", 1},
        {K::Copy, {OperationResult{{report(FileOutcome::Done)}}}, "1 kopiert", 0},
        {K::Copy, {}, "nichts zu tun", 0},
        {K::Delete, {copied, rest}, "1 in den Papierkorb, 2 endgültig gelöscht, 1 übersprungen, 1 fehlgeschlagen, "
                                    "1 nicht gelöscht", 1},
        {K::Delete, {OperationResult{{report(FileOutcome::Cancelled), report(FileOutcome::Cancelled)}, true}},
         "2 nicht gelöscht", 0},
    };
    for (const auto& s : summaries) {
        RunResult result;
        result.compared = true;
        for (const OperationResult& r : s.results) result.Add(s.kind, TreeSide::None, r);
        EXPECT_EQ(result.Summary(), s.text);
        EXPECT_EQ(result.Count(FileOutcome::Failed), s.failures) << s.text;
    }
}

}  // namespace
}  // namespace kirvo
