#include "app/qt/frame_status_bar.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include "app/qt/output_bar.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {

QString FrameStatusBar::IdleText() { return QTr("Bereit"); }

FrameStatusBar::FrameStatusBar(QAction* cancel, QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar"));
    messagePane_ = new QLabel(IdleText(), this);
    messagePane_->setObjectName(QStringLiteral("messagePane"));
    messagePane_->setMinimumWidth(1);
    messagePane_->setTextFormat(Qt::PlainText);  // file names are no markup
    addWidget(messagePane_, 1);
    hintPane_ = new QLabel(this);
    hintPane_->setObjectName(QStringLiteral("hintPane"));
    hintPane_->setTextFormat(Qt::PlainText);
    hintPane_->setMinimumWidth(1);
    hintPane_->setVisible(false);
    // After a file operation with failures: "Details im Protokoll".
    logLink_ = new QLabel(OutputBar::LogLinkHtml(), this);
    logLink_->setObjectName(QStringLiteral("logLink"));
    logLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    logLink_->setVisible(false);
    connect(logLink_, &QLabel::linkActivated, this, &FrameStatusBar::logRequested);
    addWidget(logLink_);
    addWidget(hintPane_, 1);
    // "Abbrechen" shows only while a comparison reads the folders.
    cancelButton_ = new QToolButton(this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setDefaultAction(cancel);
    cancelButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    cancelButton_->setVisible(false);
    readingProgress_ = new QProgressBar(this);
    readingProgress_->setObjectName(QStringLiteral("readingProgress"));
    readingProgress_->setRange(0, 1000);
    readingProgress_->setMaximumWidth(160);
    readingProgress_->setVisible(false);
    addPermanentWidget(readingProgress_);
    addPermanentWidget(cancelButton_);
    filterPane_ = new QLabel(QTr("Filter"), this);
    filterPane_->setObjectName(QStringLiteral("filterPane"));
    filterPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    filterPane_->setAlignment(Qt::AlignCenter);
    filterPane_->setMinimumWidth(filterPane_->fontMetrics().horizontalAdvance(filterPane_->text()) + 12);
    filterPane_->hide();
    addPermanentWidget(filterPane_);
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    noticeTimer_->setTimerType(Qt::PreciseTimer);  // two seconds, not "about" two
    connect(noticeTimer_, &QTimer::timeout, this, [this] { SetMessage(messageBehindNotice_); });
}

void FrameStatusBar::ShowText(const QString& text) {
    if (noticeTimer_->isActive()) {
        messageBehindNotice_ = text.isEmpty() ? idleMessage_ : text;
    } else {
        SetMessage(text);
    }
}

void FrameStatusBar::ShowHint(const QString& text) {
    const bool resultShown = idleMessage_ != IdleText() && messagePane_->text() == idleMessage_;
    if (!resultShown || (text.isEmpty() && hintPane_->isVisible())) {
        hintPane_->clear();
        hintPane_->setVisible(false);
        if (!resultShown) ShowText(text);
        return;
    }
    hintPane_->setText(text);
    hintPane_->setVisible(!text.isEmpty());
}

void FrameStatusBar::ShowOperationSummary(const QString& text, int failures) {
    const QString shown = messagePane_->text();
    const bool idleShown = shown == idleMessage_;
    idleMessage_ = text.isEmpty() ? IdleText() : failures > 0 ? text + QStringLiteral(" –") : text;
    logLink_->setVisible(!text.isEmpty() && failures > 0);
    hintPane_->setVisible(false);
    if (noticeTimer_->isActive()) {
        if (messageBehindNotice_ == shown || messageBehindNotice_.isEmpty()) messageBehindNotice_ = idleMessage_;
    } else if (idleShown || !text.isEmpty()) {
        SetMessage(QString());
    }
}

void FrameStatusBar::ShowNotice(const QString& notice, int milliseconds) {
    // Prompts arriving meanwhile replace the text that comes back afterwards.
    if (!noticeTimer_->isActive()) messageBehindNotice_ = messagePane_->text();
    messagePane_->setText(notice);
    emit messageShown(messagePane_->text());
    repaint();
    noticeTimer_->start(milliseconds);
}

void FrameStatusBar::ShowReadingProgress(int permille) {
    readingProgress_->setVisible(permille >= 0);
    if (permille >= 0) readingProgress_->setValue(permille);
}

void FrameStatusBar::ShowFilter(bool active, const QString& patterns) {
    if (active) filterPane_->setToolTip(patterns);
    filterPane_->setVisible(active);
}

void FrameStatusBar::SetMessage(const QString& text) {
    messagePane_->setText(text.isEmpty() ? idleMessage_ : text);
    emit messageShown(messagePane_->text());
}

}  // namespace kirvo
