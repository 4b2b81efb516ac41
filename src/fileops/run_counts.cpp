#include "fileops/run_counts.h"

#include "fileops/operation_log.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

// A text with a number, marked for the catalogue and shown with TrN.
struct PluralText {
    const char* one;
    const char* many;
};
constexpr PluralText TrNNoop(const char* germanOne, const char* germanMany) { return {germanOne, germanMany}; }

struct Counted {
    std::string_view action;
    PluralText text;  // "%d" is the number
};

// In the order the end line names them. The log's end line is written with
// the German texts (SourceTexts); the window and kirvo-cli show them translated.
constexpr std::array<Counted, 9> kCounted = {{
    {OperationLog::kCopied, TrNNoop("%d kopiert", "%d kopiert")},
    {OperationLog::kReplaced, TrNNoop("%d ersetzt", "%d ersetzt")},
    {OperationLog::kMoved, TrNNoop("%d umbenannt", "%d umbenannt")},
    {OperationLog::kTrashed, TrNNoop("%d in den Papierkorb", "%d in den Papierkorb")},
    {OperationLog::kDeleted, TrNNoop("%d endgültig gelöscht", "%d endgültig gelöscht")},
    {OperationLog::kRestored, TrNNoop("%d aus dem Papierkorb zurückgeholt", "%d aus dem Papierkorb zurückgeholt")},
    {OperationLog::kFolderMade, TrNNoop("%d Ordner angelegt", "%d Ordner angelegt")},
    {OperationLog::kFolderRemoved, TrNNoop("%d Ordner entfernt", "%d Ordner entfernt")},
    {OperationLog::kFolderMoved, TrNNoop("%d Ordner umbenannt", "%d Ordner umbenannt")},
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
    const auto append = [&](int32_t n, const char* pattern) {
        if (n == 0) return;
        if (!out.empty()) out += ", ";
        out += Format(pattern, n);
    };
    const auto form = [](const PluralText& text, int32_t n) {
        return TrN(text.one, text.many, static_cast<uint64_t>(n));
    };
    for (size_t i = 0; i < kCounted.size(); ++i) append(done_[i], form(kCounted[i].text, done_[i]));
    append(skipped_, TrN("%d übersprungen", "%d übersprungen", static_cast<uint64_t>(skipped_)));
    append(failed_, TrN("%d fehlgeschlagen", "%d fehlgeschlagen", static_cast<uint64_t>(failed_)));
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
