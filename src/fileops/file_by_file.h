#pragma once
#include <cstddef>
#include <cstdint>

#include "fileops/file_attempt.h"
#include "fileops/file_operation_service.h"
#include "fileops/file_operation_ui.h"

namespace kirvo {

// A request done one file at a time (delete, move, folder removal): the
// progress before each file (Cancel stops the rest), and each failure
// reported once with "Wiederholen", "Überspringen", "Alle überspringen",
// "Abbrechen". result.files holds one report per file, Cancelled until done;
// attempt(i, report) makes one try at file i, finished(i, report) follows
// every file that was begun.
template <class Attempt, class Finished>
void RunFileByFile(FileOperationUi& ui, OperationResult& result, Attempt&& attempt, Finished&& finished) {
    const auto total = static_cast<int32_t>(result.files.size());
    bool skipAll = false;
    for (int32_t i = 0; i < total && !result.cancelled; ++i) {
        FileReport& report = result.files[static_cast<size_t>(i)];
        while (true) {
            if (!ui.progress({report.path, i, total, 0, 0})) {
                result.cancelled = true;
                break;
            }
            const FileAttempt tried = attempt(static_cast<size_t>(i), report);
            if (tried.kind == FileAttempt::Done) {
                report.outcome = FileOutcome::Done;
                report.reason.clear();
                break;
            }
            if (tried.kind == FileAttempt::Skipped) {
                report.outcome = FileOutcome::Skipped;
                report.reason = tried.reason;
                break;
            }
            if (tried.kind == FileAttempt::Cancelled) {
                result.cancelled = true;
                break;
            }
            report.outcome = FileOutcome::Failed;
            report.reason = tried.reason;
            if (skipAll) break;
            const ErrorAnswer answer = ui.reportError(tried.path, tried.reason);
            if (answer == ErrorAnswer::Retry) continue;
            if (answer == ErrorAnswer::SkipAll) skipAll = true;
            if (answer == ErrorAnswer::Cancel) result.cancelled = true;
            break;
        }
        finished(static_cast<size_t>(i), report);
    }
}

}  // namespace kirvo
