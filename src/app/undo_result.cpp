#include "app/undo_result.h"

#include <algorithm>

#include "platform/translation.h"

namespace kirvo {
namespace {

// How many of the files that stayed the closing sentence names.
constexpr size_t kNamedInSummary = 3;

std::string Show(UndoTexts::Shown shown, std::string_view text) { return shown ? shown(text) : std::string(text); }

}  // namespace

int32_t UndoResult::count(UndoStep::State state) const {
    return static_cast<int32_t>(
        std::count_if(steps.begin(), steps.end(), [&](const UndoStep& s) { return s.state == state; }));
}

int32_t UndoResult::carriedOut() const {
    int32_t total = 0;
    for (const auto& [kind, n] : carried) total += n;
    return total;
}

std::string UndoResult::summary(UndoTexts::Shown shown) const {
    if (outcome == Outcome::Refused) return message;
    if (outcome == Outcome::Declined) return Tr("Nichts wurde zurückgenommen.");
    if (outcome == Outcome::Looked) return UndoTexts::Plan(steps);
    const std::string name = Tr("Lauf ") + (run ? run->id : std::string());
    if (outcome == Outcome::Cancelled) return name + Tr(": Rückgängigmachen abgebrochen; der Rest ist, wie er war.");
    const int32_t staying = count(UndoStep::State::Stays);
    if (staying == 0) return name + (carriedOut() == 0 ? Tr(": alles ist schon wie vor dem Lauf.") : Tr(" ist rückgängig gemacht."));
    std::string named;
    size_t listed = 0;
    for (const UndoStep& step : steps) {
        if (step.state != UndoStep::State::Stays || listed == kNamedInSummary) continue;
        named += (listed++ == 0 ? "" : ", ") + Show(shown, step.path);
    }
    if (static_cast<size_t>(staying) > listed) named = Format(Tr("%s und %d weitere"), named, staying - static_cast<int32_t>(listed));
    return name +
           (carriedOut() == 0 ? Tr(" ist nicht rückgängig gemacht: ") : Tr(" ist nur zum Teil rückgängig gemacht: ")) +
           Format(TrN("%d Datei blieb (%s).", "%d Dateien blieben (%s).", static_cast<uint64_t>(staying)), staying, named);
}

std::string UndoResult::stayingLines(size_t named, UndoTexts::Shown shown) const {
    std::string text;
    size_t staying = 0;
    for (const UndoStep& step : steps) {
        if (step.state != UndoStep::State::Stays) continue;
        if (staying++ < named) text += "\n• " + UndoTexts::Step(step, shown);
    }
    if (staying > named) text += Format(Tr("\n… und %d weitere (im Protokoll)"), staying - named);
    return text;
}

}  // namespace kirvo
