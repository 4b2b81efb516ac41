#include "fileops/undo_texts.h"

#include "fileops/run_undo.h"
#include "platform/root_access.h"

namespace kirvo {
namespace {

// "2026-12-08 03:15:22" -> "08.12.2026 03:15:22"
std::string GermanTime(const std::string& time) {
    if (time.size() != 19) return time;
    return time.substr(8, 2) + "." + time.substr(5, 2) + "." + time.substr(0, 4) + time.substr(10);
}

std::string Counted(int32_t n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

}  // namespace

std::string UndoTexts::Time(const LoggedRun& run) { return GermanTime(run.time); }

std::string UndoTexts::What(const LoggedRun& run) {
    return run.undoes.empty() ? run.what : "macht " + run.undoes + " rückgängig";
}

std::string UndoTexts::RunName(const LoggedRun& run) {
    const std::string what = What(run);
    return run.id + " vom " + GermanTime(run.time) + (what.empty() ? "" : " (" + what + ")");
}

std::string UndoTexts::RunDescription(const LoggedRun& run) {
    return RunName(run) + "\nQuelle: " + run.sourceRoot + "\nZiel:   " + run.targetRoot + "\n" + run.counts.text() +
           (run.cancelled ? " (abgebrochen)" : run.ended ? "" : " (nicht zu Ende geführt)");
}

std::string UndoTexts::RunState(const LoggedRun& run) {
    if (!run.undoneBy.empty()) return "rückgängig gemacht (" + run.undoneBy + ")";
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
        remote += step.state == UndoStep::State::ToDo && step.kind == UndoStep::Kind::RemoveCopy && IsRemoteRoot(step.path);
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

std::string UndoTexts::Question(const RunUndo& undo) {
    return "Lauf " + RunDescription(undo.run()) + "\n\nRückgängig machen: " + Plan(undo) + "?";
}

std::string UndoTexts::Step(const UndoStep& step) {
    if (step.state == UndoStep::State::Stays) return step.path + ": bleibt: " + step.why;
    if (step.state == UndoStep::State::Done) return step.path + ": schon wie vor dem Lauf";
    switch (step.kind) {
    case UndoStep::Kind::RemoveCopy:
        return step.path + (IsRemoteRoot(step.path) ? ": löschen (dort gibt es keinen Papierkorb)" : ": in den Papierkorb");
    case UndoStep::Kind::PutBackReplaced:
        return step.path + ": in den Papierkorb, die ersetzte Fassung zurück (" + step.trashPath() + ")";
    case UndoStep::Kind::Restore: return step.path + ": aus dem Papierkorb zurück (" + step.trashPath() + ")";
    case UndoStep::Kind::MoveBack: return step.from + ": zurück nach " + step.path;
    case UndoStep::Kind::RemoveFolder: return step.path + ": Ordner entfernen, wenn er leer ist";
    case UndoStep::Kind::MakeFolder: return step.path + ": Ordner wieder anlegen";
    case UndoStep::Kind::NotKept: break;
    }
    return step.path;
}

std::string UndoTexts::Outcome(const RunUndo& undo, bool cancelled) {
    const std::string name = "Lauf " + undo.run().id;
    if (cancelled) return name + ": Rückgängigmachen abgebrochen; der Rest ist, wie er war.";
    const int32_t staying = undo.count(UndoStep::State::Stays);
    if (staying == 0 && undo.carriedOut() == 0) return name + ": alles ist schon wie vor dem Lauf.";
    if (staying == 0) return name + " ist rückgängig gemacht.";
    return name + " ist nur zum Teil rückgängig gemacht: " + Counted(staying, "Datei blieb", "Dateien blieben") + ".";
}

}  // namespace kirvo
