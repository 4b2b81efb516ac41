#include "fileops/run_counts.h"

#include "fileops/operation_log.h"

namespace kirvo {
namespace {

struct Counted {
    std::string_view action;
    std::string_view text;  // after the number
};

// In the order the end line names them.
constexpr std::array<Counted, 8> kCounted = {{
    {OperationLog::kCopied, "kopiert"},
    {OperationLog::kReplaced, "ersetzt"},
    {OperationLog::kMoved, "umbenannt"},
    {OperationLog::kTrashed, "in den Papierkorb"},
    {OperationLog::kDeleted, "endgültig gelöscht"},
    {OperationLog::kRestored, "aus dem Papierkorb zurückgeholt"},
    {OperationLog::kFolderMade, "Ordner angelegt"},
    {OperationLog::kFolderRemoved, "Ordner entfernt"},
}};

}  // namespace

void RunCounts::add(std::string_view action, std::string_view result) {
    for (size_t i = 0; i < kCounted.size(); ++i) {
        if (kCounted[i].action != action) continue;
        if (result == OperationLog::kOk) {
            ++done_[i];
        } else if (result.substr(0, OperationLog::kSkippedPrefix.size()) == OperationLog::kSkippedPrefix) {
            ++skipped_;
        } else {
            ++failed_;
        }
        return;
    }
}

std::string RunCounts::text() const {
    std::string out;
    const auto append = [&](int32_t n, std::string_view what) {
        if (n == 0) return;
        if (!out.empty()) out += ", ";
        out += std::to_string(n);
        out += ' ';
        out += what;
    };
    for (size_t i = 0; i < kCounted.size(); ++i) append(done_[i], kCounted[i].text);
    append(skipped_, "übersprungen");
    append(failed_, "fehlgeschlagen");
    return out.empty() ? "nichts getan" : out;
}

int32_t RunCounts::done() const {
    int32_t n = 0;
    for (int32_t d : done_) n += d;
    return n;
}

}  // namespace kirvo
