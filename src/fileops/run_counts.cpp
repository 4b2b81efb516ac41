#include "fileops/run_counts.h"

#include "fileops/operation_log.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

struct Counted {
    std::string_view action;
    std::string_view text;  // after the number
};

// In the order the end line names them. The log's end line is written with
// the German texts (SourceTexts); the window and kirvo-cli show them translated.
constexpr std::array<Counted, 9> kCounted = {{
    {OperationLog::kCopied, TrNoop("kopiert")},
    {OperationLog::kReplaced, TrNoop("ersetzt")},
    {OperationLog::kMoved, TrNoop("umbenannt")},
    {OperationLog::kTrashed, TrNoop("in den Papierkorb")},
    {OperationLog::kDeleted, TrNoop("endgültig gelöscht")},
    {OperationLog::kRestored, TrNoop("aus dem Papierkorb zurückgeholt")},
    {OperationLog::kFolderMade, TrNoop("Ordner angelegt")},
    {OperationLog::kFolderRemoved, TrNoop("Ordner entfernt")},
    {OperationLog::kFolderMoved, TrNoop("Ordner umbenannt")},
}};
constexpr size_t kTrashedIndex = 3;
static_assert(kCounted[kTrashedIndex].action == OperationLog::kTrashed);

}  // namespace

void RunCounts::add(std::string_view action, std::string_view result, std::string_view trash) {
    for (size_t i = 0; i < kCounted.size(); ++i) {
        if (kCounted[i].action != action) continue;
        if (result == OperationLog::kOk) {
            ++done_[i];
            if (action == OperationLog::kReplaced && !trash.empty() && done_[kTrashedIndex] > 0) --done_[kTrashedIndex];
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
    for (size_t i = 0; i < kCounted.size(); ++i) append(done_[i], Tr(kCounted[i].text));
    append(skipped_, Tr("übersprungen"));
    append(failed_, Tr("fehlgeschlagen"));
    return out.empty() ? Tr("nichts getan") : out;
}

int32_t RunCounts::done(std::string_view action) const {
    for (size_t i = 0; i < kCounted.size(); ++i)
        if (kCounted[i].action == action) return done_[i];
    return 0;
}

int32_t RunCounts::done() const {
    int32_t n = 0;
    for (int32_t d : done_) n += d;
    return n;
}

}  // namespace kirvo
