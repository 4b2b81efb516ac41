#include "fileops/undo_texts.h"

#include "fileops/run_undo.h"
#include "platform/root.h"
#include "platform/root_access.h"

namespace kirvo {
namespace {

// "2026-12-08 03:15:22" -> "08.12.2026 03:15:22"
std::string GermanTime(const std::string& time) {
    if (time.size() != 19) return time;
    return time.substr(8, 2) + "." + time.substr(5, 2) + "." + time.substr(0, 4) + time.substr(10);
}

std::string Show(UndoTexts::Shown shown, std::string_view text) { return shown ? shown(text) : std::string(text); }

std::string Counted(int32_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace

std::string UndoTexts::Time(const LoggedRun& run) { return GermanTime(run.time); }

std::string UndoTexts::What(const LoggedRun& run, Shown shown) {
    return run.undoes.empty() ? Show(shown, run.what) : "macht " + Show(shown, run.undoes) + " rückgängig";
}

std::string UndoTexts::RunName(const LoggedRun& run, Shown shown) {
    const std::string what = What(run, shown);
    return run.id + " vom " + Show(shown, GermanTime(run.time)) + (what.empty() ? "" : " (" + what + ")");
}

std::string UndoTexts::RunDescription(const LoggedRun& run, Shown shown) {
    return RunName(run, shown) + "\nQuelle: " + Show(shown, run.sourceRoot) + "\nZiel:   " + Show(shown, run.targetRoot) +
           "\n" + run.counts.text() + (run.cancelled ? " (abgebrochen)" : run.ended ? "" : " (nicht zu Ende geführt)");
}

std::string UndoTexts::RunState(const LoggedRun& run, Shown shown) {
    if (!run.undoneBy.empty()) return "rückgängig gemacht (" + Show(shown, run.undoneBy) + ")";
    if (!run.undoable) return "nicht rückgängig zu machen";
    return "rückgängig zu machen";
}

std::string UndoTexts::Plan(const RunUndo& undo) {
    std::string plan;
    const auto add = [&](int32_t n, std::string_view one, std::string_view many) {
        if (n == 0) return;
        if (!plan.empty()) plan += ", ";
        plan += Counted(n, one, many);
    };
    int32_t remote = 0;
    for (const UndoStep& step : undo.steps())
        remote += step.state == UndoStep::State::ToDo && step.kind == UndoStep::Kind::RemoveCopy && Root::NamesRemote(step.path);
    add(undo.count(UndoStep::Kind::RemoveCopy) + undo.count(UndoStep::Kind::PutBackReplaced) - remote,
        "Datei in den Papierkorb legen", "Dateien in den Papierkorb legen");
    add(remote, "Datei auf dem anderen Rechner löschen", "Dateien auf dem anderen Rechner löschen");
    add(undo.count(UndoStep::Kind::PutBackReplaced) + undo.count(UndoStep::Kind::Restore),
        "Datei aus dem Papierkorb zurückholen", "Dateien aus dem Papierkorb zurückholen");
    add(undo.count(UndoStep::Kind::MoveBack), "Datei zurückverschieben", "Dateien zurückverschieben");
    add(undo.count(UndoStep::Kind::RemoveFolder), "Ordner entfernen, wenn er leer ist",
        "Ordner entfernen, wenn sie leer sind");
    add(undo.count(UndoStep::Kind::MakeFolder), "Ordner wieder anlegen", "Ordner wieder anlegen");
    const int32_t staying = undo.count(UndoStep::State::Stays);
    if (staying > 0) plan += (plan.empty() ? "" : "; ") + Counted(staying, "Datei bleibt", "Dateien bleiben");
    return plan;
}

std::string UndoTexts::Question(const RunUndo& undo, Shown shown) {
    return "Lauf " + RunDescription(undo.run(), shown) + "\n\nRückgängig machen: " + Plan(undo) + "?";
}

std::string UndoTexts::Step(const UndoStep& step, Shown shown) {
    const std::string path = Show(shown, step.path);
    // The reasons name paths too.
    if (step.state == UndoStep::State::Stays) return path + ": bleibt: " + Show(shown, step.why);
    if (step.state == UndoStep::State::Done) return path + ": schon wie vor dem Lauf";
    switch (step.kind) {
    case UndoStep::Kind::RemoveCopy:
        return path + (Root::NamesRemote(step.path) ? ": löschen (dort gibt es keinen Papierkorb)" : ": in den Papierkorb");
    case UndoStep::Kind::PutBackReplaced:
        return path + ": in den Papierkorb, die ersetzte Fassung zurück (" + Show(shown, step.trashPath()) + ")";
    case UndoStep::Kind::Restore: return path + ": aus dem Papierkorb zurück (" + Show(shown, step.trashPath()) + ")";
    case UndoStep::Kind::MoveBack: return Show(shown, step.from) + ": zurück nach " + path;
    case UndoStep::Kind::RemoveFolder: return path + ": Ordner entfernen, wenn er leer ist";
    case UndoStep::Kind::MakeFolder: return path + ": Ordner wieder anlegen";
    case UndoStep::Kind::NotKept: break;
    }
    return path;
}

std::string UndoTexts::Outcome(const RunUndo& undo, bool cancelled) {
    const std::string name = "Lauf " + undo.run().id;
    if (cancelled) return name + ": Rückgängigmachen abgebrochen; der Rest ist, wie er war.";
    const int32_t staying = undo.count(UndoStep::State::Stays);
    if (staying == 0 && undo.carriedOut() == 0) return name + ": alles ist schon wie vor dem Lauf.";
    if (staying == 0) return name + " ist rückgängig gemacht.";
    return name + (undo.carriedOut() == 0 ? " ist nicht rückgängig gemacht: " : " ist nur zum Teil rückgängig gemacht: ") +
           Counted(staying, "Datei blieb", "Dateien blieben") + ".";
}

}  // namespace kirvo
