#pragma once
#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;
class QToolButton;

namespace kirvo {

// A bar above the list for what the user should know about the result
// without being stopped by it: a line of text, a button that shows or hides
// the details below it, and a close button. Hidden until Show.
class NoticeBar : public QFrame {
    Q_OBJECT
public:
    explicit NoticeBar(QWidget* parent = nullptr);

    // `details` are shown on request; none: no button for them.
    void Show(const QString& text, const QString& details);
    QString text() const;
    QString details() const;
    bool detailsShown() const;
    QPushButton* detailsButton() const { return detailsButton_; }
    QToolButton* closeButton() const { return closeButton_; }

private:
    void ShowDetails(bool shown);

    QLabel* text_ = nullptr;
    QLabel* details_ = nullptr;
    QPushButton* detailsButton_ = nullptr;
    QToolButton* closeButton_ = nullptr;
};

}  // namespace kirvo
