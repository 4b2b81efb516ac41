#include "app/qt/undo_actions.h"

#include <optional>
#include <vector>

#include "app/undo_use_case.h"
#include "app/user_prompts.h"
#include "fileops/qt/qt_file_operation_ui.h"
#include "fileops/undo_texts.h"
#include "sync/sync_state_store.h"

namespace kirvo {
namespace {

// How many of the files that stayed a warning names; the log has them all.
constexpr size_t kNamed = 12;

// The window's side of undo: the question in a message box, the progress in a dialog.
class WindowUndoQuestions final : public UndoQuestions {
public:
    WindowUndoQuestions(UserPrompts& prompts, QWidget* parent) : prompts_(prompts), parent_(parent) {}

    bool confirm(const LoggedRun& run, const std::vector<UndoStep>& steps) override {
        return prompts_.AskOkCancel(UndoTexts::Question(run, steps));
    }
    FileOperationUi& startWork() override {
        ui_.emplace(parent_);
        ui_->beginRequest(QtFileOperationUi::Request::Undo);
        return *ui_;
    }
    void endWork() override {
        if (ui_) ui_->endRequest();
    }

private:
    UserPrompts& prompts_;
    QWidget* parent_;
    std::optional<QtFileOperationUi> ui_;
};

}  // namespace

std::optional<std::string> UndoActions::Undo(UserPrompts& prompts, const std::string& id) {
    UndoRequest request;
    request.run = id;
    WindowUndoQuestions questions(prompts, parent_);
    const UndoResult result = UndoUseCase(log_, roots_, SyncStateStore::DefaultFolder()).run(request, questions);
    switch (result.outcome) {
    case UndoResult::Outcome::Refused:
        prompts.ShowWarning(result.message +
                            (result.refusal == UndoResult::Refusal::Impossible ? result.stayingLines(kNamed) : ""));
        return std::nullopt;
    case UndoResult::Outcome::Declined:
    case UndoResult::Outcome::Looked: return std::nullopt;
    default: break;
    }
    std::string outcome = result.summary();
    if (!result.stateNotice.empty()) outcome += " " + result.stateNotice;
    if (result.outcome != UndoResult::Outcome::Undone) prompts.ShowWarning(outcome + result.stayingLines(kNamed));
    return outcome;
}

}  // namespace kirvo
