#include "view/qt/list_fill_progress.h"

#include "app/qt/output_bar.h"

namespace kirvo {

void ListFillProgress::FillStarted() {
    if (!outputBar_) return;
    outputBar_->setFieldText(OutputBar::kSourceSelection, QString(), true);
    outputBar_->setFieldText(OutputBar::kTargetSelection, QString(), true);
}

void ListFillProgress::ShowFileCount(Side side, const std::string& text) {
    if (!outputBar_) return;
    const int field = side == kSourceSide ? OutputBar::kSourceTotals : OutputBar::kTargetTotals;
    outputBar_->setFieldText(field, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), true);
}

void ListFillProgress::PairTick(int32_t /*pairIndex*/) {
    if (pathBar_ && pathBar_->isVisible()) pathBar_->repaint();
}

}  // namespace kirvo
