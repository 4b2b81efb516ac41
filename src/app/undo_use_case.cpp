#include "app/undo_use_case.h"

#include <chrono>
#include <optional>

#include "fileops/operation_log.h"
#include "fileops/run_undo.h"
#include "platform/root.h"
#include "platform/sftp/remote_connections.h"
#include "platform/translation.h"
#include "sync/pair_lock.h"
#include "sync/sync_pair.h"
#include "sync/sync_state_store.h"

namespace kirvo {
namespace {

UndoResult& Refuse(UndoResult& result, UndoResult::Refusal refusal, std::string message) {
    result.outcome = UndoResult::Outcome::Refused;
    result.refusal = refusal;
    result.message = std::move(message);
    return result;
}

}  // namespace

UndoUseCase::UndoUseCase(OperationLog& log, RemoteConnections& roots, std::string stateFolder)
    : log_(log), roots_(roots), stateFolder_(std::move(stateFolder)) {}

UndoResult UndoUseCase::run(const UndoRequest& request, UndoQuestions& questions) {
    using Refusal = UndoResult::Refusal;
    UndoResult result;
    std::vector<LoggedRun> runs;
    std::string error;
    if (!RunLog::ReadRuns(log_.path(), runs, error)) return Refuse(result, Refusal::LogUnreadable, error);
    const LoggedRun* run = request.run.empty() ? RunLog::LastUndoable(runs) : RunLog::Find(runs, request.run);
    if (request.run.empty()) {
        for (size_t i = run ? static_cast<size_t>(run - runs.data()) + 1 : 0; i < runs.size(); ++i)
            if (!runs[i].undoable && runs[i].undoes.empty()) result.passedOver.push_back(runs[i]);
    }
    if (run == nullptr) {
        if (request.run.empty()) return Refuse(result, Refusal::NothingToUndo, Tr(UndoTexts::kNothingToUndo));
        return Refuse(result, Refusal::UnknownRun, Format(Tr("Der Lauf %s steht nicht im Protokoll."), request.run));
    }
    result.run = *run;
    if (!run->undoable)
        return Refuse(result, Refusal::NothingRecorded,
                      Tr("Der Lauf ") + UndoTexts::RunName(*run) +
                          Tr(" lässt sich nicht rückgängig machen: es ist nichts aufgezeichnet, was sich zurücknehmen ließe."));
    if (!request.dryRun && request.confirm == UndoRequest::Confirm::NoOneToAsk)
        return Refuse(result, Refusal::NoOneToAsk, {});
    std::optional<Root> roots[2];
    for (int side = 0; side < 2; ++side) {
        std::string why;
        roots[side] = Root::Parse(side == 0 ? run->sourceRoot : run->targetRoot, &why);
        if (!roots[side]) return Refuse(result, Refusal::BadRoot, why);
        if (std::string message = roots_.connect(*roots[side], &result.fault); !message.empty())
            return Refuse(result, Refusal::Unreachable, std::move(message));
    }
    // Nothing else may work on these folders meanwhile (looking included: what undo sees must stay so).
    const SyncPair pair = SyncPair::Of(*roots[0], *roots[1]);
    std::optional<PairLock> lock;
    if (!request.dryRun) {
        PairLock::Refusal refusal;
        lock = PairLock::Acquire(stateFolder_, pair.key(), std::chrono::milliseconds(0), refusal);
        if (!lock) return Refuse(result, Refusal::Locked, refusal.message + Tr(" Nichts wurde zurückgenommen."));
    }
    std::vector<LoggedLine> lines;
    if (!RunLog::ReadLines(log_.path(), run->id, lines, error)) return Refuse(result, Refusal::LogUnreadable, error);
    RunUndo undo(*run, lines, roots_);
    undo.look();
    result.steps = undo.steps();
    result.impossible = undo.impossible();
    if (request.dryRun) {
        result.outcome = UndoResult::Outcome::Looked;
        return result;
    }
    if (result.impossible)
        return Refuse(result, Refusal::Impossible,
                      Tr("Der Lauf ") + UndoTexts::RunName(*run) +
                          Tr(" lässt sich nicht rückgängig machen: was er ersetzt oder gelöscht hat, ist nicht mehr im "
                             "Papierkorb."));
    const bool work = undo.count(UndoStep::State::ToDo) > 0;
    if (work && request.confirm == UndoRequest::Confirm::Ask && !questions.confirm(*run, result.steps)) {
        result.outcome = UndoResult::Outcome::Declined;
        return result;
    }
    if (work) {
        // Set aside before the first file moves, so that no moment exists at
        // which the trees are partly undone and the state still says synced.
        bool forgotten = false;
        SyncStateStore store(stateFolder_);
        if (const StoreError stored = store.forgetBeforeUndo(pair.key(), forgotten, result.stateNotice))
            return Refuse(result, Refusal::StateKept,
                          Tr("Der Stand des letzten Abgleichs dieser Ordner lässt sich nicht beiseitelegen: ") +
                              stored.message + Tr(" Nichts wurde zurückgenommen."));
        if (forgotten)
            result.stateNotice = Tr("Der Stand des letzten Abgleichs dieser Ordner ist vergessen; der nächste Abgleich "
                                    "beginnt wie der erste.");
    }
    std::vector<bool> toDo;
    for (const UndoStep& step : undo.steps()) toDo.push_back(step.state == UndoStep::State::ToDo);
    const bool finished = undo.carryOut(questions.startWork(), &log_);
    questions.endWork();
    result.steps = undo.steps();
    for (size_t i = 0; i < result.steps.size(); ++i)
        if (toDo[i] && result.steps[i].state == UndoStep::State::Done) ++result.carried[result.steps[i].kind];
    result.undoRunId = undo.undoRunId();
    result.outcome = !finished                                      ? UndoResult::Outcome::Cancelled
                     : result.count(UndoStep::State::Stays) > 0 ? UndoResult::Outcome::Partly
                                                                  : UndoResult::Outcome::Undone;
    return result;
}

}  // namespace kirvo
