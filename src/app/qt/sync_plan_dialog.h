#pragma once
#include <QDialog>

#include "sync/sync_plan_summary.h"

class QTreeWidget;

namespace kirvo {

// The one question before a sync: what will be copied each way, replaced,
// renamed, deleted and made, with counts and bytes, each part opening to its
// files. The copies of each direction and the renames of each side carry a
// tick the user may take away; "Abgleichen" (Enter) goes ahead with the
// ticked parts, "Abbrechen" (Escape) leaves everything as it is.
class SyncPlanDialog : public QDialog {
    Q_OBJECT
public:
    SyncPlanDialog(SyncPlanSummary& plan, QWidget* parent);

    // Shows the dialog; true for "Abgleichen", with the parts' ticks in the plan.
    static bool Ask(SyncPlanSummary& plan, QWidget* parent);

    void accept() override;

private:
    SyncPlanSummary& plan_;
    QTreeWidget* parts_;
};

}  // namespace kirvo
