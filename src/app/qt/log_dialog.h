#pragma once
#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QLabel;

namespace kirvo {

// "Protokoll anzeigen": the log of the file operations, read-only, its end in
// view. A large log shows its last part only.
class LogDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr qint64 kShownBytes = 4 << 20;

    LogDialog(const QString& path, QWidget* parent = nullptr);

    QPlainTextEdit* textField() const { return text_; }

private:
    QPlainTextEdit* text_ = nullptr;
};

}  // namespace kirvo
