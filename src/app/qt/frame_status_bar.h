#pragma once
#include <QStatusBar>
#include <QString>

class QAction;
class QLabel;
class QProgressBar;
class QTimer;
class QToolButton;

namespace kirvo {

// The main window's status bar: the message pane (prompts, progress, what
// the last file operation did), "Details im Protokoll" after failures,
// "Abbrechen" and the bytes read while a comparison runs, and "Filter" while
// the filter leaves anything out.
class FrameStatusBar : public QStatusBar {
    Q_OBJECT
public:
    // cancel: the action behind "Abbrechen".
    explicit FrameStatusBar(QAction* cancel, QWidget* parent = nullptr);

    QLabel* messagePane() const { return messagePane_; }
    QLabel* logLink() const { return logLink_; }
    QToolButton* cancelButton() const { return cancelButton_; }
    QProgressBar* readingProgress() const { return readingProgress_; }
    QLabel* filterPane() const { return filterPane_; }

    // The text shown in the message pane when nothing else is.
    static QString IdleText();

    // A prompt or a message; empty: back to what shows when nothing else
    // does. While a notice shows, the text waits behind it.
    void ShowText(const QString& text);
    // A hover hint (a status tip): in the message pane, unless it shows what
    // the last file operation did; then beside it, so the result stays.
    void ShowHint(const QString& text);
    QLabel* hintPane() const { return hintPane_; }
    // What the last file operation did, until the next command (empty: a new
    // command began), with the link to the log when something failed.
    void ShowOperationSummary(const QString& text, int failures);
    // A fixed notice for `milliseconds`; the event loop keeps running.
    void ShowNotice(const QString& notice, int milliseconds);
    // Thousandths of the bytes read; -1 hides the bar.
    void ShowReadingProgress(int permille);
    // "Filter" while the filter leaves anything out, with its patterns as
    // the tool tip.
    void ShowFilter(bool active, const QString& patterns);

signals:
    // The message pane shows another text.
    void messageShown(const QString& text);
    // "Details im Protokoll" was followed.
    void logRequested();

private:
    void SetMessage(const QString& text);

    QLabel* messagePane_ = nullptr;
    QLabel* hintPane_ = nullptr;
    QLabel* logLink_ = nullptr;
    QToolButton* cancelButton_ = nullptr;
    QProgressBar* readingProgress_ = nullptr;
    QLabel* filterPane_ = nullptr;
    QTimer* noticeTimer_ = nullptr;
    // What the message pane shows when nothing else is: "Bereit", or what
    // the last file operation did.
    QString idleMessage_ = IdleText();
    QString messageBehindNotice_;
};

}  // namespace kirvo
