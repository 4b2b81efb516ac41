#pragma once
#include <QPointer>
#include <QMessageBox>
#include <QWidget>

#include "app/user_prompts.h"

namespace kirvo {

// UserPrompts on screen: QMessageBox for questions, QApplication::beep for
// the sounds (the platform has one sound only).
class MessageBoxPrompts : public UserPrompts {
public:
    // parent: the window the boxes are centred on; may be null.
    explicit MessageBoxPrompts(QWidget* parent = nullptr) : parent_(parent) {}

    bool AskOkCancel(const std::string& text) override;
    bool AskOkCancelNoIcon(const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    void Beep(BeepKind kind) override;
    // "Nach rechts kopieren", "Nach links kopieren", "Überspringen" (Enter and Escape).
    ConflictChoice AskConflictDirection(const std::string& text) override;
    // The whole plan of a sync in one dialog (SyncPlanDialog).
    bool ShowsPlans() const override { return true; }
    bool ConfirmSyncPlan(SyncPlanSummary& plan) override;

private:
    bool Ask(QMessageBox::Icon icon, const std::string& text);

    QPointer<QWidget> parent_;
};

}  // namespace kirvo
