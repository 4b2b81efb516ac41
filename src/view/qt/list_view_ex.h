#pragma once
#include <QTreeView>

namespace kirvo {

// The report-style list the result view is built on: whole rows, several
// selected at once, no tree decoration, fixed column order. Its full-row
// painting comes with the result list.
class CListViewEx : public QTreeView {
    Q_OBJECT
public:
    explicit CListViewEx(QWidget* parent = nullptr);
};

}  // namespace kirvo
