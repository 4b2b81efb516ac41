#include "app/qt/output_bar.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyleOption>

namespace kirvo {
namespace {

struct FieldLayout {
    int id;
    int row;
    int column;
    const char* prompt;
};

constexpr FieldLayout kFields[] = {
    {OutputBar::kSourceTotals, 0, 0, "Anzahl der Ordner und ihre Größe im Quellpfad"},
    {OutputBar::kTargetTotals, 0, 1, "Anzahl der Ordner und ihre Größe im Zielpfad"},
    {OutputBar::kSourceSelection, 1, 0, "Anzahl der ausgewählten Ordner und ihre Größe im Quellpfad"},
    {OutputBar::kTargetSelection, 1, 1, "Anzahl der ausgewählten Ordner und ihre Größe im Zielpfad"},
};

// What the docked bar shows instead of a title bar: a handle to drag it by,
// as the toolbars have, without caption or buttons.
class Grip : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override {
        return {style()->pixelMetric(QStyle::PM_ToolBarHandleExtent, nullptr, this), 0};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        option.state |= QStyle::State_Horizontal;
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
    }
};

}  // namespace

OutputBar::OutputBar(QWidget* parent) : QDockWidget(QStringLiteral("Ausgabe"), parent) {
    setObjectName(QStringLiteral("OutputBar"));
    setAllowedAreas(Qt::TopDockWidgetArea | Qt::BottomDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    auto* content = new QWidget(this);
    auto* layout = new QGridLayout(content);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(3);
    for (size_t i = 0; i < std::size(kFields); ++i) {
        const FieldLayout& layoutOf = kFields[i];
        auto* edit = new QLineEdit(content);
        edit->setObjectName(QStringLiteral("field%1").arg(layoutOf.id));
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::ClickFocus);  // selectable for copying, but no tab stop
        edit->setStatusTip(QString::fromUtf8(layoutOf.prompt));
        layout->addWidget(edit, layoutOf.row, layoutOf.column);
        fields_[i] = edit;
    }
    summary_ = new QLabel(content);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    logLink_ = new QLabel(LogLinkHtml(), content);
    logLink_->setObjectName(QStringLiteral("logLink"));
    logLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(logLink_, &QLabel::linkActivated, this, &OutputBar::logRequested);
    auto* summaryLine = new QHBoxLayout;
    summaryLine->addWidget(summary_);
    summaryLine->addWidget(logLink_);
    summaryLine->addStretch(1);
    layout->addLayout(summaryLine, 2, 0, 1, 2);
    showSummary(QString(), false);
    setWidget(content);
    grip_ = new Grip(this);
    grip_->setObjectName(QStringLiteral("grip"));
    ShowTitleBar(false);
    connect(this, &QDockWidget::topLevelChanged, this, &OutputBar::ShowTitleBar);
}

void OutputBar::ShowTitleBar(bool floating) {
    // Docked: the grip, at the left edge. Floating: the caption "Ausgabe"
    // with the buttons to dock and to close.
    QDockWidget::DockWidgetFeatures shown = features() & ~QDockWidget::DockWidgetVerticalTitleBar;
    if (!floating) shown |= QDockWidget::DockWidgetVerticalTitleBar;
    setFeatures(shown);
    setTitleBarWidget(floating ? nullptr : grip_);
    grip_->setVisible(!floating);
}

QLineEdit* OutputBar::field(int id) const {
    for (size_t i = 0; i < std::size(kFields); ++i) {
        if (kFields[i].id == id) return fields_[i];
    }
    return nullptr;
}

QString OutputBar::LogLinkHtml() {
    return QStringLiteral("<a href=\"log\">%1</a>").arg(QStringLiteral("Details im Protokoll"));
}

void OutputBar::showSummary(const QString& text, bool linkToLog) {
    summary_->setText(linkToLog ? text + QStringLiteral(" –") : text);
    summary_->setVisible(!text.isEmpty());
    logLink_->setVisible(!text.isEmpty() && linkToLog);
}

QString OutputBar::summary() const { return summary_->text(); }

QString OutputBar::fieldText(int id) const {
    QLineEdit* edit = field(id);
    return edit ? edit->text() : QString();
}

void OutputBar::setFieldText(int id, const QString& text, bool repaintNow) {
    QLineEdit* edit = field(id);
    if (!edit) return;
    edit->setText(text);
    edit->setCursorPosition(0);
    if (repaintNow) edit->repaint();
}

}  // namespace kirvo
