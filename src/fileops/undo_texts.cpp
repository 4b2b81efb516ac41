#include "fileops/undo_texts.h"

#include <algorithm>

#include "platform/root.h"
#include "platform/root_access.h"
#include "platform/translation.h"
#include "platform/value_text.h"

#include <cstdio>

namespace kirvo {
namespace {

// The log's "2026-12-08 03:15:22" as dates are shown: "8.12.2026 03:15:22".
std::string ShownTime(const std::string& time) {
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char end = 0;
    if (time.size() != 19 || std::sscanf(time.c_str(), "%4u-%2u-%2u %2u:%2u:%2u%c", &year, &month, &day, &hour,
                                         &minute, &second, &end) != 6)
        return time;
    std::string text;
    AppendDateText(text, year, month, day, hour, minute, second, false);
    return text;
}

std::string Show(UndoTexts::Shown shown, std::string_view text) { return shown ? shown(text) : std::string(text); }

// `pattern` is TrN's form for n, with "%d" where the number goes.
std::string Counted(int32_t n, const char* pattern) { return Format(pattern, n); }

uint64_t N(int32_t n) { return static_cast<uint64_t>(n); }

}  // namespace

std::string UndoTexts::Time(const LoggedRun& run) { return ShownTime(run.time); }

std::string UndoTexts::What(const LoggedRun& run, Shown shown) {
    // The log names the window's commands in German: shown in the language of the texts.
    return run.undoes.empty() ? Show(shown, Tr(run.what.c_str())) : Format(Tr("macht %s rückgängig"), Show(shown, run.undoes));
}

std::string UndoTexts::RunName(const LoggedRun& run, Shown shown) {
    const std::string what = What(run, shown);
    const std::string name = Format(Tr("%s vom %s"), run.id, Show(shown, ShownTime(run.time)));
    return what.empty() ? name : name + " (" + what + ")";
}

std::string UndoTexts::RunDescription(const LoggedRun& run, Shown shown) {
    return RunName(run, shown) + Tr("\nQuelle: ") + Show(shown, run.sourceRoot) + Tr("\nZiel:   ") +
           Show(shown, run.targetRoot) + "\n" + run.counts.text() +
           (run.cancelled ? Tr(" (abgebrochen)") : run.ended ? "" : Tr(" (nicht zu Ende geführt)"));
}

std::string UndoTexts::RunState(const LoggedRun& run, Shown shown) {
    if (!run.undoneBy.empty()) return Tr("rückgängig gemacht (") + Show(shown, run.undoneBy) + ")";
    if (!run.undoable) return Tr("nicht rückgängig zu machen");
    return Tr("rückgängig zu machen");
}

std::string UndoTexts::Plan(const std::vector<UndoStep>& steps) {
    std::string plan;
    const auto add = [&](int32_t n, const char* pattern) {
        if (n == 0) return;
        if (!plan.empty()) plan += ", ";
        plan += Counted(n, pattern);
    };
    const auto toDo = [&](UndoStep::Kind kind) {
        return static_cast<int32_t>(std::count_if(steps.begin(), steps.end(), [&](const UndoStep& s) {
            return s.kind == kind && s.state == UndoStep::State::ToDo;
        }));
    };
    int32_t remote = 0;
    for (const UndoStep& step : steps)
        remote += step.state == UndoStep::State::ToDo && step.kind == UndoStep::Kind::RemoveCopy && Root::NamesRemote(step.path);
    const int32_t trash = toDo(UndoStep::Kind::RemoveCopy) + toDo(UndoStep::Kind::PutBackReplaced) - remote;
    add(trash, TrN("%d Datei in den Papierkorb legen", "%d Dateien in den Papierkorb legen", N(trash)));
    add(remote, TrN("%d Datei auf dem anderen Rechner löschen", "%d Dateien auf dem anderen Rechner löschen", N(remote)));
    const int32_t restore = toDo(UndoStep::Kind::PutBackReplaced) + toDo(UndoStep::Kind::Restore);
    add(restore, TrN("%d Datei aus dem Papierkorb zurückholen", "%d Dateien aus dem Papierkorb zurückholen", N(restore)));
    const int32_t back = toDo(UndoStep::Kind::MoveBack);
    add(back, TrN("%d Datei zurückverschieben", "%d Dateien zurückverschieben", N(back)));
    const int32_t remove = toDo(UndoStep::Kind::RemoveFolder);
    add(remove, TrN("%d Ordner entfernen, wenn er leer ist", "%d Ordner entfernen, wenn sie leer sind", N(remove)));
    const int32_t make = toDo(UndoStep::Kind::MakeFolder);
    add(make, TrN("%d Ordner wieder anlegen", "%d Ordner wieder anlegen", N(make)));
    const auto staying = static_cast<int32_t>(std::count_if(
        steps.begin(), steps.end(), [](const UndoStep& s) { return s.state == UndoStep::State::Stays; }));
    if (staying > 0) plan += (plan.empty() ? "" : "; ") + Counted(staying, TrN("%d Datei bleibt", "%d Dateien bleiben", N(staying)));
    return plan;
}

std::string UndoTexts::Question(const LoggedRun& run, const std::vector<UndoStep>& steps, Shown shown) {
    return Tr("Lauf ") + RunDescription(run, shown) + Tr("\n\nRückgängig machen: ") + Plan(steps) + "?";
}

std::string UndoTexts::Step(const UndoStep& step, Shown shown) {
    const std::string path = Show(shown, step.path);
    // The reasons name paths too.
    if (step.state == UndoStep::State::Stays) return Format(Tr("%s: bleibt: %s"), path, Show(shown, step.why));
    if (step.state == UndoStep::State::Done) return Format(Tr("%s: schon wie vor dem Lauf"), path);
    switch (step.kind) {
    case UndoStep::Kind::RemoveCopy:
        return Format(Root::NamesRemote(step.path) ? Tr("%s: löschen (dort gibt es keinen Papierkorb)")
                                                   : Tr("%s: in den Papierkorb"),
                      path);
    case UndoStep::Kind::PutBackReplaced:
        return Format(Tr("%s: in den Papierkorb, die ersetzte Fassung zurück (%s)"), path, Show(shown, step.trashPath()));
    case UndoStep::Kind::Restore:
        return Format(Tr("%s: aus dem Papierkorb zurück (%s)"), path, Show(shown, step.trashPath()));
    case UndoStep::Kind::MoveBack: return Format(Tr("%s: zurück nach %s"), Show(shown, step.from), path);
    case UndoStep::Kind::RemoveFolder: return Format(Tr("%s: Ordner entfernen, wenn er leer ist"), path);
    case UndoStep::Kind::MakeFolder: return Format(Tr("%s: Ordner wieder anlegen"), path);
    case UndoStep::Kind::NotKept: break;
    }
    return path;
}

}  // namespace kirvo
