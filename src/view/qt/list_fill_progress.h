#pragma once
#include <QPointer>
#include <QWidget>

#include "view/fill_progress.h"

namespace kirvo {

class OutputBar;

// Progress of a list filling as the window shows it while the event loop
// is blocked: the side fields of the bar "Ausgabe" and the path bar are
// repainted at once. Either widget may be missing (no frame around the view).
class ListFillProgress : public FillProgress {
public:
    ListFillProgress(OutputBar* outputBar, QWidget* pathBar) : outputBar_(outputBar), pathBar_(pathBar) {}

    void FillStarted() override;
    void ShowFileCount(Side side, const std::string& text) override;
    void PairTick(int32_t pairIndex) override;

private:
    QPointer<OutputBar> outputBar_;
    QPointer<QWidget> pathBar_;
};

}  // namespace kirvo
