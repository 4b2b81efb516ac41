// CKirvoView: the settings that change what a comparison finds: "Filter..."
// (the include and exclude patterns of the scan), "Vergleichen nach" and
// "Eine Stunde Unterschied ignorieren". A change compares again at once when
// a result is shown.
#include "app/qt/filter_dialog.h"
#include "view/qt/kirvo_view.h"

namespace kirvo {

void CKirvoView::OnFilterPatterns() {
    if (comparing_) return;  // the running scan reads the filter
    FilterDialog dialog(pathFilter_, window());
    if (dialog.exec() != QDialog::Accepted || dialog.filter() == pathFilter_) return;
    pathFilter_ = dialog.filter();
    emit commandStateChanged();  // the status pane "Filter"
    CompareAgainIfShown();  // the shown result was made under the old filter
}

void CKirvoView::CompareAgainIfShown() {
    if (ShowsResult() && !matcher_.sourceRoot().empty()) OnPfadeVergleichen();
}

void CKirvoView::OnCompareBy(CompareBy value) {
    if (comparing_ || options_.compareBy() == value) return;
    options_.setCompareBy(value);
    emit commandStateChanged();
    CompareAgainIfShown();
}

}  // namespace kirvo
