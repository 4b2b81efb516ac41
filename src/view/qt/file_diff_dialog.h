#pragma once
#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>

#include "view/file_difference.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QStackedWidget;

namespace kirvo {

// The built-in, read-only view of what differs between two local files:
// changed lines of text files side by side or one below the other, coloured
// (removed red, added green), with the equal runs between them folded to a
// few lines of context unless "Alle Zeilen" is ticked; for binary files the
// sizes and the offset of the first difference. The files are read on a
// thread of their own, within FileDifference's bounds, so a big file never
// blocks the window; what was cut off says so. The dialog owns what it is
// given to keep (the temporary copies of files from another machine).
class FileDiffDialog : public QDialog {
    Q_OBJECT
public:
    // leftPath and rightPath are read; leftName and rightName are what the
    // user knows them as (the paths in the list, perhaps on another machine).
    FileDiffDialog(const QString& leftPath, const QString& rightPath, const QString& leftName,
                   const QString& rightName, std::shared_ptr<void> keep, QWidget* parent = nullptr);
    // Stops the reading and waits for it.
    ~FileDiffDialog() override;

    // The context lines shown around each change when equal runs are folded.
    static constexpr int kContext = 3;

    // The texts as shown, for tests: the two sides (side by side) or the one
    // text (one below the other), and the summary line.
    QString leftText() const;
    QString rightText() const;
    QString unifiedText() const;
    QString summary() const;
    bool ready() const { return result_ != nullptr; }

signals:
    // The files have been read and compared.
    void shown();

private:
    void OnCompared(std::shared_ptr<FileDifference> result);
    void Render();
    void RenderBinary();

    QLabel* summary_ = nullptr;
    QRadioButton* sideBySide_ = nullptr;
    QRadioButton* unified_ = nullptr;
    QCheckBox* allLines_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QPlainTextEdit* left_ = nullptr;
    QPlainTextEdit* right_ = nullptr;
    QPlainTextEdit* single_ = nullptr;
    QLabel* binary_ = nullptr;
    std::shared_ptr<FileDifference> result_;
    std::shared_ptr<void> keep_;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

}  // namespace kirvo
