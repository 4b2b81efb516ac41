#include "app/qt/remote_login_dialogs.h"
#include "platform/qt/qt_translation.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace kirvo {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Runs ask on the user-interface thread and waits for it.
template <class Ask>
void OnUiThread(Ask ask) {
    QObject* ui = QApplication::instance();
    if (ui == nullptr || QThread::currentThread() == ui->thread()) {
        ask();
        return;
    }
    QMetaObject::invokeMethod(ui, ask, Qt::BlockingQueuedConnection);
}

}  // namespace

bool RemoteLoginDialogs::acceptNewHostKey(const std::string& machine, const std::string& keyType,
                                          const std::string& fingerprint) {
    bool accepted = false;
    OnUiThread([&] {
        QMessageBox box(QMessageBox::Question, QString::fromLatin1(kTitle),
                        QTr("Der Rechner „%1“ ist noch nicht bekannt.\n\n"
                                       "Sein Schlüssel (%2):\n%3\n\n"
                                       "Ist das wirklich dieser Rechner? Vergleichen Sie den Fingerabdruck mit dem, "
                                       "den der Rechner selbst zeigt (ssh-keygen -l -f /etc/ssh/ssh_host_%4_key.pub). "
                                       "Mit „Ja“ wird der Schlüssel in ~/.ssh/known_hosts eingetragen.")
                            .arg(FromUtf8(machine), FromUtf8(keyType), FromUtf8(fingerprint),
                                 FromUtf8(keyType.rfind("ssh-", 0) == 0 ? keyType.substr(4) : keyType)),
                        QMessageBox::Yes | QMessageBox::No, parent_ ? parent_->window() : nullptr);
        box.setDefaultButton(QMessageBox::No);
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
        accepted = box.exec() == QMessageBox::Yes;
        QApplication::restoreOverrideCursor();
    });
    return accepted;
}

std::optional<std::string> RemoteLoginDialogs::askSecret(const std::string& question) {
    std::optional<std::string> answer;
    OnUiThread([&] {
        QInputDialog dialog(parent_ ? parent_->window() : nullptr);
        dialog.setWindowTitle(QString::fromLatin1(kTitle));
        dialog.setLabelText(FromUtf8(question));
        dialog.setTextEchoMode(QLineEdit::Password);
        dialog.setInputMethodHints(Qt::ImhSensitiveData | Qt::ImhNoPredictiveText);
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
        if (dialog.exec() == QDialog::Accepted) answer = dialog.textValue().toStdString();
        QApplication::restoreOverrideCursor();
        dialog.setTextValue(QString());
    });
    return answer;
}

}  // namespace kirvo
