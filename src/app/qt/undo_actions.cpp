#include "app/qt/undo_actions.h"

#include <chrono>
#include <vector>

#include "app/user_prompts.h"
#include "fileops/operation_log.h"
#include "fileops/qt/qt_file_operation_ui.h"
#include "fileops/run_log.h"
#include "fileops/run_undo.h"
#include "fileops/undo_texts.h"
#include "platform/root.h"
#include "platform/sftp/remote_connections.h"
#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_state_store.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

// How many of the files that stayed a warning names; the log has them all.
constexpr size_t kNamed = 12;

std::string Staying(const RunUndo& undo) {
    std::string text;
    size_t named = 0;
    for (const UndoStep& step : undo.steps()) {
        if (step.state != UndoStep::State::Stays) continue;
        if (named++ < kNamed) text += "\n• " + UndoTexts::Step(step);
    }
    if (named > kNamed) text += Format(Tr("\n… und %d weitere (im Protokoll)"), named - kNamed);
    return text;
}

}  // namespace

std::optional<std::string> UndoActions::Undo(UserPrompts& prompts, const std::string& id) {
    std::vector<LoggedRun> runs;
    std::string error;
    if (!RunLog::ReadRuns(log_.path(), runs, error)) {
        prompts.ShowWarning(error);
        return std::nullopt;
    }
    const LoggedRun* run = id.empty() ? RunLog::LastUndoable(runs) : RunLog::Find(runs, id);
    if (run == nullptr) {
        prompts.ShowWarning(Tr(UndoTexts::kNothingToUndo));
        return std::nullopt;
    }
    if (!run->undoable) {
        prompts.ShowWarning(Tr("Der Lauf ") + UndoTexts::RunName(*run) +
                            Tr(" lässt sich nicht rückgängig machen: es ist nichts aufgezeichnet, was sich zurücknehmen ließe."));
        return std::nullopt;
    }
    std::optional<Root> roots[2];
    for (int side = 0; side < 2; ++side) {
        std::string why;
        roots[side] = Root::Parse(side == 0 ? run->sourceRoot : run->targetRoot, &why);
        const std::string message = roots[side] ? roots_.connect(*roots[side]) : why;
        if (!message.empty()) {
            prompts.ShowWarning(message);
            return std::nullopt;
        }
    }
    PairLock::Refusal refusal;
    const std::optional<PairLock> lock =
        PairLock::ForRoots(*roots[0], *roots[1], std::chrono::milliseconds(0), refusal);
    if (!lock) {
        prompts.ShowWarning(refusal.message + Tr(" Nichts wurde zurückgenommen."));
        return std::nullopt;
    }
    std::vector<LoggedLine> lines;
    if (!RunLog::ReadLines(log_.path(), run->id, lines, error)) {
        prompts.ShowWarning(error);
        return std::nullopt;
    }
    RunUndo undo(*run, lines, roots_);
    undo.look();
    if (undo.impossible()) {
        prompts.ShowWarning(Tr("Der Lauf ") + UndoTexts::RunName(*run) +
                            Tr(" lässt sich nicht rückgängig machen: was er ersetzt oder gelöscht hat, ist nicht mehr im "
                            "Papierkorb.") +
                            Staying(undo));
        return std::nullopt;
    }
    if (undo.count(UndoStep::State::ToDo) > 0 && !prompts.AskOkCancel(UndoTexts::Question(undo))) return std::nullopt;
    QtFileOperationUi ui(parent_);
    ui.beginRequest(QtFileOperationUi::Request::Undo);
    const bool finished = undo.carryOut(ui, &log_);
    ui.endRequest();
    std::string outcome = UndoTexts::Outcome(undo, !finished);
    if (undo.carriedOut() > 0)
        if (const std::string notice = SyncStateStore().forgetAfterUndo(SyncPair::Of(*roots[0], *roots[1]).key());
            !notice.empty())
            outcome += " " + notice;
    if (!finished || undo.count(UndoStep::State::Stays) > 0) prompts.ShowWarning(outcome + Staying(undo));
    return outcome;
}

}  // namespace kirvo
