#include "app/qt/notice_bar.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "platform/qt/qt_translation.h"

namespace kirvo {

NoticeBar::NoticeBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("noticeBar"));
    setFrameShape(QFrame::StyledPanel);
    // The tool tips' colours: set apart from the list, readable in any theme.
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);

    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(size, size));
    text_ = new QLabel(this);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    details_ = new QLabel(this);
    details_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    details_->hide();
    detailsButton_ = new QPushButton(this);
    detailsButton_->setObjectName(QStringLiteral("noticeDetails"));
    closeButton_ = new QToolButton(this);
    closeButton_->setObjectName(QStringLiteral("noticeClose"));
    closeButton_->setAutoRaise(true);
    closeButton_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, this));
    closeButton_->setToolTip(QTr("Schließen"));
    closeButton_->setAccessibleName(QTr("Schließen"));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 4, 4, 4);
    layout->addWidget(icon, 0, 0, Qt::AlignTop);
    layout->addWidget(text_, 0, 1);
    layout->addWidget(detailsButton_, 0, 2, Qt::AlignTop);
    layout->addWidget(closeButton_, 0, 3, Qt::AlignTop);
    layout->addWidget(details_, 1, 1, 1, 3);
    layout->setColumnStretch(1, 1);

    connect(detailsButton_, &QPushButton::clicked, this, [this] { ShowDetails(details_->isHidden()); });
    connect(closeButton_, &QToolButton::clicked, this, &QWidget::hide);
    hide();
}

void NoticeBar::Show(const QString& text, const QString& details) {
    text_->setText(text);
    details_->setText(details);
    detailsButton_->setVisible(!details.isEmpty());
    ShowDetails(false);
    show();
}

void NoticeBar::ShowDetails(bool shown) {
    details_->setVisible(shown);
    detailsButton_->setText(shown ? QTr("Stellen ausblenden") : QTr("Stellen zeigen"));
}

QString NoticeBar::text() const { return text_->text(); }
QString NoticeBar::details() const { return details_->text(); }
bool NoticeBar::detailsShown() const { return !details_->isHidden(); }

}  // namespace kirvo
