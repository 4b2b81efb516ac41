#include "view/qt/column_fit.h"

#include <QEvent>
#include <QHeaderView>
#include <QTreeView>
#include <numeric>

namespace kirvo {

ColumnFit::ColumnFit(QTreeView& list) : QObject(&list), list_(list), viewport_(list.viewport()) {
    viewport_->installEventFilter(this);
    connect(list.header(), &QHeaderView::sectionResized, this, &ColumnFit::OnSectionResized);
}

void ColumnFit::SetBase(const ListColumns::Widths& widths) {
    base_ = widths;
    baseAvailable_ = 0;
    Apply();
}

int ColumnFit::Available() const { return list_.viewport()->width(); }

void ColumnFit::Apply() {
    if (!list_.isVisible() || list_.header()->count() != ListColumns::kCount) return;
    const int start = baseAvailable_ > 0 ? baseAvailable_ : std::accumulate(base_.begin(), base_.end(), 0);
    const ListColumns::Widths widths = ListColumns::Fit(base_, Available() - start);
    applying_ = true;
    for (int column = 0; column < ListColumns::kCount; ++column) list_.header()->resizeSection(column, widths[column]);
    applying_ = false;
}

// A column the user dragged: the widths as they are now, at this width of
// the list, are what later sizes start from.
void ColumnFit::OnSectionResized() {
    if (applying_ || !list_.isVisible() || list_.header()->count() != ListColumns::kCount) return;
    for (int column = 0; column < ListColumns::kCount; ++column) base_[column] = list_.header()->sectionSize(column);
    baseAvailable_ = Available();
}

bool ColumnFit::eventFilter(QObject* watched, QEvent* event) {
    // The viewport kept from the start: while the list is being destroyed its
    // children still get events, and the list must not be asked then.
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Show) && watched == viewport_) Apply();
    return QObject::eventFilter(watched, event);
}

}  // namespace kirvo
