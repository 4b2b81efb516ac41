#include "view/qt/list_fill_progress.h"

#include "view/qt/kirvo_view.h"

namespace kirvo {

ListFillProgress::ListFillProgress(CKirvoView& view) : view_(view) { sinceShown_.start(); }

void ListFillProgress::FillStarted() { emit view_.selectionStatsShown(QString(), QString()); }

void ListFillProgress::ShowFileCount(Side side, const std::string& text) {
    Pending& pending = pending_[side == kSourceSide ? 0 : 1];
    pending.text = text;
    pending.due = true;
    ShowIfDue();
}

void ListFillProgress::PairTick(int32_t /*pairIndex*/) {
    tickDue_ = true;
    ShowIfDue();
}

void ListFillProgress::ShowIfDue() {
    if (sinceShown_.elapsed() < kShownEveryMilliseconds) return;
    for (int i = 0; i < 2; ++i) {
        if (!pending_[i].due) continue;
        pending_[i].due = false;
        emit view_.sideTotalsShown(i == 0 ? kSourceSide : kTargetSide, QString::fromStdString(pending_[i].text));
    }
    if (tickDue_) {
        tickDue_ = false;
        emit view_.fillTick();
    }
    sinceShown_.restart();
}

}  // namespace kirvo
