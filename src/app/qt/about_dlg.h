#pragma once
#include <QDialog>

class QPlainTextEdit;

namespace kirvo {

// "Info über Kirvo": the program icon, the about text (field 1015, read-only)
// and OK. The text is built anew each time the box opens.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    QPlainTextEdit* textField() const { return text_; }

private:
    QPlainTextEdit* text_;
};

}  // namespace kirvo
