#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// What a run did, counted by the actions of its log lines: the end line of a
// run says it, and so does the list of runs.
class RunCounts {
public:
    // One line's action and result (OperationLog::kOk, "übersprungen: …",
    // "fehlgeschlagen: …") and its trash folder; lines that are no action of
    // a file are not counted. A replacement is one file: the line before it
    // that put the replaced version into the trash is no deletion.
    void add(std::string_view action, std::string_view result, std::string_view trash = {});

    // "3 kopiert, 1 ersetzt, 2 in den Papierkorb, 1 fehlgeschlagen"; "nichts getan" for none.
    std::string text() const;
    int32_t done() const;
    // Done of one action (OperationLog::kCopied, ...).
    int32_t done(std::string_view action) const;
    int32_t skipped() const { return skipped_; }
    int32_t failed() const { return failed_; }

private:
    std::array<int32_t, 9> done_{};
    int32_t skipped_ = 0;
    int32_t failed_ = 0;
};

}  // namespace kirvo
