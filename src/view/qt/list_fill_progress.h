#pragma once
#include <QElapsedTimer>
#include <string>

#include "view/fill_progress.h"

namespace kirvo {

class CKirvoView;

// Progress of a filling while the event loop is blocked: the view's signals,
// whose receivers repaint at once. Shown at most every tenth of a second,
// with the latest count of each side: a repaint costs more than a thousand
// rows, and a list that fills in a blink needs no progress at all.
class ListFillProgress : public FillProgress {
public:
    static constexpr qint64 kShownEveryMilliseconds = 100;

    explicit ListFillProgress(CKirvoView& view);

    void FillStarted() override;
    void ShowFileCount(Side side, const std::string& text) override;
    void PairTick(int32_t pairIndex) override;

private:
    struct Pending {
        std::string text;
        bool due = false;
    };

    void ShowIfDue();

    CKirvoView& view_;
    QElapsedTimer sinceShown_;
    Pending pending_[2];
    bool tickDue_ = false;
};

}  // namespace kirvo
