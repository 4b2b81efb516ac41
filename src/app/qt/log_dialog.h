#pragma once
#include <QDialog>
#include <QString>
#include <string>

class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace kirvo {

// "Protokoll anzeigen": the runs of the file operations, the latest first,
// each with whether it can be undone and a button to undo the one chosen;
// below, the log itself, read-only, its end in view. A large log shows its
// last part only.
class LogDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr qint64 kShownBytes = 4 << 20;

    explicit LogDialog(const std::string& path, QWidget* parent = nullptr);

    QPlainTextEdit* textField() const { return text_; }
    QTreeWidget* runList() const { return runs_; }
    // The run "Lauf rückgängig machen" was pressed for; "" for none.
    const std::string& chosenRun() const { return chosen_; }

private:
    void fillRuns(const std::string& path);

    QPlainTextEdit* text_ = nullptr;
    QTreeWidget* runs_ = nullptr;
    QPushButton* undo_ = nullptr;
    std::string chosen_;
};

}  // namespace kirvo
