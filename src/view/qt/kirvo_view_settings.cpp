// CKirvoView: "Filter...", the include and exclude patterns of the scan.
#include "app/qt/filter_dialog.h"
#include "view/qt/kirvo_view.h"

namespace kirvo {

void CKirvoView::OnFilterPatterns() {
    if (comparing_) return;  // the running scan reads the filter
    FilterDialog dialog(pathFilter_, window());
    if (dialog.exec() != QDialog::Accepted || dialog.filter() == pathFilter_) return;
    pathFilter_ = dialog.filter();
    emit commandStateChanged();  // the status pane "Filter"
    // The shown result was made under the old filter: compare again.
    if (ShowsResult() && !matcher_.sourceRoot().empty()) OnPfadeVergleichen();
}

}  // namespace kirvo
