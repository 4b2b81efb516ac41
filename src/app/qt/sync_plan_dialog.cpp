#include "app/qt/sync_plan_dialog.h"

#include <QApplication>
#include <QCursor>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

QString Text(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Beyond this many files a part lists the first ones and says how many follow.
constexpr size_t kFilesShown = 5000;

}  // namespace

SyncPlanDialog::SyncPlanDialog(SyncPlanSummary& plan, QWidget* parent)
    : QDialog(parent), plan_(plan), parts_(new QTreeWidget(this)) {
    setObjectName(QStringLiteral("syncPlanDialog"));
    setWindowTitle(QTr("Dateien abgleichen"));
    auto* layout = new QVBoxLayout(this);
    auto* totals = new QLabel(QStringLiteral("<b>%1</b>").arg(Text(plan.Totals()).toHtmlEscaped()), this);
    layout->addWidget(totals);
    parts_->setObjectName(QStringLiteral("planParts"));
    parts_->setHeaderHidden(true);
    parts_->setRootIsDecorated(true);
    parts_->setUniformRowHeights(true);
    parts_->header()->setStretchLastSection(true);
    for (const SyncPlanSummary::Group& group : plan.groups()) {
        auto* item = new QTreeWidgetItem(parts_);
        item->setText(0, Text(group.text) + (group.detail.empty() ? QString() : QStringLiteral(" (%1)").arg(Text(group.detail))));
        if (group.declinable) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(0, group.accepted ? Qt::Checked : Qt::Unchecked);
        }
        const size_t shown = std::min(group.files.size(), kFilesShown);
        for (size_t i = 0; i < shown; ++i) new QTreeWidgetItem(item, QStringList{Text(group.files[i])});
        if (group.files.size() > shown)
            new QTreeWidgetItem(item, QStringList{QTr("… und %1 weitere").arg(group.files.size() - shown)});
    }
    parts_->setCurrentItem(parts_->topLevelItem(0));
    layout->addWidget(parts_, 1);
    auto* hint = new QLabel(QTr("Ein Klick auf ▸ zeigt die Dateien; ohne Häkchen bleibt ein Teil aus."), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* go = buttons->addButton(QTr("&Abgleichen"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QTr("Abbrechen"), QDialogButtonBox::RejectRole);
    go->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(640, 360);
}

void SyncPlanDialog::accept() {
    for (int i = 0; i < parts_->topLevelItemCount() && static_cast<size_t>(i) < plan_.groups().size(); ++i) {
        SyncPlanSummary::Group& group = plan_.groups()[static_cast<size_t>(i)];
        if (group.declinable) group.accepted = parts_->topLevelItem(i)->checkState(0) == Qt::Checked;
    }
    QDialog::accept();
}

bool SyncPlanDialog::Ask(SyncPlanSummary& plan, QWidget* parent) {
    SyncPlanDialog dialog(plan, parent);
    // The question may come while a wait cursor is up: the dialog gets the arrow.
    QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    const int answer = dialog.exec();
    QApplication::restoreOverrideCursor();
    return answer == QDialog::Accepted;
}

}  // namespace kirvo
