#pragma once
#include <QObject>

#include "view/list_columns.h"

class QHeaderView;
class QTreeView;
class QWidget;

namespace kirvo {

// Keeps the nine columns of a list within its width as the window is
// resized, maximised or restored (ListColumns::Fit): from the widths it was
// given, or those the user last dragged a column to, at the width the list
// had then. While the list is not shown the widths stay as given.
class ColumnFit : public QObject {
    Q_OBJECT
public:
    explicit ColumnFit(QTreeView& list);

    // New widths to start from (the list's initial update); fitted at once
    // when the list is shown.
    void SetBase(const ListColumns::Widths& widths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Apply();
    void OnSectionResized();
    int Available() const;

    QTreeView& list_;
    QWidget* viewport_;
    ListColumns::Widths base_{};
    // The list's width the base widths belong to; 0: their sum.
    int baseAvailable_ = 0;
    bool applying_ = false;
};

}  // namespace kirvo
