#include "app/qt/output_bar.h"

#include <QGridLayout>
#include <QLineEdit>

namespace kirvo {
namespace {

OutputBar* g_published = nullptr;

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
    setWidget(content);
}

OutputBar::~OutputBar() {
    if (g_published == this) g_published = nullptr;
}

OutputBar* OutputBar::Published() { return g_published; }

void OutputBar::Publish() { g_published = this; }

QLineEdit* OutputBar::field(int id) const {
    for (size_t i = 0; i < std::size(kFields); ++i) {
        if (kFields[i].id == id) return fields_[i];
    }
    return nullptr;
}

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
