#include "app/qt/message_box_prompts.h"
#include "app/qt/sync_plan_dialog.h"
#include "platform/qt/qt_translation.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>

namespace kirvo {

bool MessageBoxPrompts::AskOkCancel(const std::string& text) { return Ask(QMessageBox::Question, text); }

bool MessageBoxPrompts::AskOkCancelNoIcon(const std::string& text) { return Ask(QMessageBox::NoIcon, text); }

bool MessageBoxPrompts::Ask(QMessageBox::Icon icon, const std::string& text) {
    QWidget* parent = parent_ ? parent_->window() : nullptr;
    QMessageBox box(icon, QStringLiteral("Kirvo"),  // the program's title, as in every question
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    // German button texts whatever translations Qt finds.
    box.button(QMessageBox::Cancel)->setText(QTr("Abbrechen"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    // The question may come while a wait cursor is up: the box gets the arrow.
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    const int answer = box.exec();
    QApplication::restoreOverrideCursor();
    return answer == QMessageBox::Ok;
}

void MessageBoxPrompts::ShowWarning(const std::string& text) {
    QWidget* parent = parent_ ? parent_->window() : nullptr;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Kirvo"),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok, parent);
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    box.exec();
    QApplication::restoreOverrideCursor();
}

bool MessageBoxPrompts::ConfirmSyncPlan(SyncPlanSummary& plan) {
    return SyncPlanDialog::Ask(plan, parent_ ? parent_->window() : nullptr);
}

void MessageBoxPrompts::Beep(BeepKind /*kind*/) { QApplication::beep(); }

ConflictChoice MessageBoxPrompts::AskConflictDirection(const std::string& text) {
    QWidget* parent = parent_ ? parent_->window() : nullptr;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kirvo"),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::NoButton, parent);
    QPushButton* right = box.addButton(QTr("Nach rechts kopieren"), QMessageBox::AcceptRole);
    QPushButton* left = box.addButton(QTr("Nach links kopieren"), QMessageBox::AcceptRole);
    QPushButton* skip = box.addButton(QTr("Überspringen"), QMessageBox::RejectRole);
    // Either way one side's file is replaced: Enter decides nothing.
    box.setDefaultButton(skip);
    box.setEscapeButton(skip);
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    box.exec();
    QApplication::restoreOverrideCursor();
    if (box.clickedButton() == right) return ConflictChoice::ToTarget;
    if (box.clickedButton() == left) return ConflictChoice::ToSource;
    return ConflictChoice::Skip;
}

}  // namespace kirvo
