#include "app/qt/message_box_prompts.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>

namespace kirvo {

bool MessageBoxPrompts::AskOkCancel(const std::string& text) { return Ask(QMessageBox::Question, text); }

bool MessageBoxPrompts::AskOkCancelNoIcon(const std::string& text) { return Ask(QMessageBox::NoIcon, text); }

bool MessageBoxPrompts::Ask(QMessageBox::Icon icon, const std::string& text) {
    QWidget* parent = parent_ ? parent_->window() : nullptr;
    QMessageBox box(icon, QApplication::applicationDisplayName(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    // German button texts whatever translations Qt finds.
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("Abbrechen"));
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
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok, parent);
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    box.exec();
    QApplication::restoreOverrideCursor();
}

void MessageBoxPrompts::Beep(BeepKind /*kind*/) { QApplication::beep(); }

}  // namespace kirvo
