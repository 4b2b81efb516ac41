// CKirvoView: the file operations (Synchronise, Copy, Delete, copying in a
// chosen direction), the context menu and "Alles markieren". The rows are read from the result list; the
// copying and deleting is the injected FileOperationService's.
#include "view/qt/kirvo_view.h"

#include <QContextMenuEvent>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QMenu>
#include <algorithm>
#include <cstdio>
#include <span>
#include <vector>

#include "app/user_prompts.h"
#include "fileops/delete_plan.h"
#include "fileops/file_operation_service.h"
#include "fileops/nested_roots.h"
#include "fileops/sync_plan.h"
#include "view/plan_rows.h"
#include "view/result_rows.h"
#include "view/qt/result_list_model.h"

namespace kirvo {
namespace {

std::string CountText(const char* format, int32_t count) {
    char text[128];
    std::snprintf(text, sizeof text, format, count);
    return text;
}

// Set while a file operation runs; its dialogs run the event loop, and no
// second operation may start inside the first.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

struct ContextItem {
    CommandId id;
    const char* text;  // nullptr: separator
};

constexpr ContextItem kContextMenu[] = {
    {CommandId::EditCopy, "Kopieren"},
    {CommandId::DeleteSelected, "Löschen"},
    {CommandId::None, nullptr},
    {CommandId::SelectAll, "Alles markieren"},
    {CommandId::None, nullptr},
    {CommandId::CopyToTarget, "Nach rechts kopieren"},
    {CommandId::CopyToSource, "Nach links kopieren"},
};

// The question before copying rows whose direction is open.
std::string ConflictQuestion(const TreeMatcher& matcher, const ResultRows& list, std::span<const size_t> selected) {
    std::vector<size_t> conflicts;
    for (size_t row : selected) {
        if (list.StateImage(row) == ResultRows::kConflict) conflicts.push_back(row);
    }
    if (conflicts.size() == 1) {
        const FilePair* pair = list.Pair(conflicts[0]);  // a conflict has both files
        const std::string_view reason = matcher.conflictReason(static_cast<size_t>(list.PairIndex(conflicts[0])));
        return "„" + pair->source->relativePath() + "“ hat keine Richtung (Konflikt: " + std::string(reason) +
               ")\n\nIn welche Richtung soll die Datei kopiert werden?";
    }
    return CountText("%i der markierten Dateien haben keine Richtung (Konflikte).\n\n", static_cast<int32_t>(conflicts.size())) +
           "In welche Richtung sollen sie kopiert werden?";
}

}  // namespace

bool CKirvoView::RootsAreNested() {
    const std::string message = NestedRootsMessage(matcher_.sourceRoot(), matcher_.targetRoot());
    if (message.empty()) return false;
    prompts_->ShowWarning(message);
    return true;
}

CopyFlags CKirvoView::copyFlags() const {
    return CopyFlags{options_.vorUeberschreiben(), options_.vorDir(), options_.papierkorb()};
}

void CKirvoView::OnSynchronize() {
    if (fileOperationRunning_) return;
    const RunningFlag running(fileOperationRunning_);
    const SyncPlan plan = BuildSyncPlan(PlanRows::Marked(rows(), matcher_.utcOffset()), matcher_.sourceRoot(),
                                        matcher_.targetRoot());
    // One root inside the other: refused before any question, the list stays as it is.
    if ((!plan.sourceToTarget.empty() || !plan.targetToSource.empty()) && RootsAreNested()) return;

    // Both questions come before any copy; each answer stands on its own.
    bool toTarget = false;
    bool toSource = false;
    if (plan.sourceToTarget.count() > 0) {
        if (options_.beep()) prompts_->Beep(BeepKind::Question);
        toTarget = prompts_->AskOkCancelNoIcon(
            CountText("Es werden %i Dateien von Quelle nach Ziel kopiert !", plan.sourceToTarget.count()));
    }
    if (plan.targetToSource.count() > 0) {
        if (options_.beep()) prompts_->Beep(BeepKind::Question);
        toSource = prompts_->AskOkCancelNoIcon(
            CountText("Es werden %i Dateien von Ziel nach Quelle kopiert !", plan.targetToSource.count()));
    }
    if (fileOperations_) {
        const CopyFlags flags = copyFlags();
        // A cancelled or failed first direction does not stop the second.
        if (toTarget) fileOperations_->copy(plan.sourceToTarget.pairs, flags);
        if (toSource) fileOperations_->copy(plan.targetToSource.pairs, flags);
    }
    OnPfadeVergleichen();
}

void CKirvoView::OnCopySelected() {
    if (fileOperationRunning_) return;
    const std::vector<int> selected = selectedRows();
    if (selected.empty()) return;
    const RunningFlag running(fileOperationRunning_);
    const std::vector<size_t> rowIndexes(selected.begin(), selected.end());
    const std::vector<PlanRow> planRows = PlanRows::Selected(rows(), rowIndexes, matcher_.utcOffset());
    // Conflicts have no arrow: the user says which way, once for all of them.
    int32_t conflictDirection = 0;
    if (std::any_of(planRows.begin(), planRows.end(), [](const PlanRow& row) { return row.conflict; })) {
        if (options_.beep()) prompts_->Beep(BeepKind::Question);
        switch (prompts_->AskConflictDirection(ConflictQuestion(matcher_, rows(), rowIndexes))) {
        case ConflictChoice::ToTarget: conflictDirection = 1; break;
        case ConflictChoice::ToSource: conflictDirection = -1; break;
        case ConflictChoice::Skip: break;
        }
    }
    const CopyList copies = BuildCopyPlan(planRows, matcher_.sourceRoot(), matcher_.targetRoot(), conflictDirection);
    if (!copies.empty() && RootsAreNested()) return;
    if (fileOperations_ && !copies.empty()) fileOperations_->copy(copies.pairs, copyFlags());
    OnPfadeVergleichen();
}

void CKirvoView::OnCopyInDirection(int32_t direction) {
    if (fileOperationRunning_) return;
    const std::vector<int> selected = selectedRows();
    if (selected.empty()) return;
    const RunningFlag running(fileOperationRunning_);
    const std::vector<size_t> rowIndexes(selected.begin(), selected.end());
    std::vector<std::string> passedOver;
    const CopyList copies = BuildDirectedCopyPlan(PlanRows::Selected(rows(), rowIndexes, matcher_.utcOffset()),
                                                  matcher_.sourceRoot(), matcher_.targetRoot(), direction, &passedOver);
    if (!copies.empty() && RootsAreNested()) return;
    if (!passedOver.empty()) {
        // Said now, and again once the comparison that follows is over.
        std::string note = CountText("%i übergangen: ", static_cast<int32_t>(passedOver.size())) +
                           (direction > 0 ? "in der Quelle fehlt die Datei" : "im Ziel fehlt die Datei") + " („" +
                           passedOver.front() + "“" + (passedOver.size() > 1 ? " …)." : ").");
        noteAfterComparison_ = QString::fromUtf8(note.data(), static_cast<qsizetype>(note.size()));
        emit statusMessage(noteAfterComparison_);
    }
    if (fileOperations_ && !copies.empty()) fileOperations_->copy(copies.pairs, copyFlags());
    OnPfadeVergleichen();
    if (!comparing_) noteAfterComparison_.clear();  // no comparison started: the note stands as it is
}

void CKirvoView::OnDeleteSelected() {
    if (fileOperationRunning_) return;
    const std::vector<int> selected = selectedRows();
    if (selected.empty()) return;
    const RunningFlag running(fileOperationRunning_);
    const std::vector<size_t> rowIndexes(selected.begin(), selected.end());
    const DeletePlan plan = BuildDeletePlan(PlanRows::Selected(rows(), rowIndexes, matcher_.utcOffset()),
                                            matcher_.sourceRoot(), matcher_.targetRoot());
    if (fileOperations_) {
        const DeleteFlags flags{options_.vorLoeschen(), options_.papierkorb()};
        // Declining the source side's question does not stop the target side.
        if (plan.sourceCount() > 0) fileOperations_->remove(plan.sourceFiles, flags);
        if (plan.targetCount() > 0) fileOperations_->remove(plan.targetFiles, flags);
    }
    OnPfadeVergleichen();
}

void CKirvoView::OnSelectAll() {
    QItemSelectionModel* selection = selectionModel();
    if (!selection || !model()) return;
    // Every file row; folder rows keep whatever selection they had. Runs of
    // file rows go in as one range each.
    const ResultRows& listRows = rows();
    const bool byRows = model() == resultModel_;
    const int count = model()->rowCount();
    const int lastColumn = model()->columnCount() - 1;
    QItemSelection toSelect;
    int runStart = -1;
    for (int row = 0; row <= count; ++row) {
        const bool fileRow = row < count && !(byRows && listRows.IsFolderRow(static_cast<size_t>(row)));
        if (fileRow && runStart < 0) runStart = row;
        if (!fileRow && runStart >= 0) {
            toSelect.select(model()->index(runStart, 0), model()->index(row - 1, lastColumn));
            runStart = -1;
        }
    }
    selection->select(toSelect, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void CKirvoView::contextMenuEvent(QContextMenuEvent* event) {
    OnContextMenu(this, event->globalPos());
    event->accept();
}

void CKirvoView::OnContextMenu(QWidget* /*pWnd*/, const QPoint& point) {
    // Bring the frame forward first, as a menu of a hidden or minimised window
    // would make no sense.
    if (QWidget* frame = window()) {
        if (frame->isHidden()) frame->show();
        if (frame->isMinimized()) frame->showNormal();
        frame->raise();
        frame->activateWindow();
    }

    QMenu menu(this);
    menu.setObjectName(QStringLiteral("ContextMenu149"));
    const bool haveRows = rowCount() > 0;
    const bool haveSelection = hasSelectedRows();
    for (const ContextItem& item : kContextMenu) {
        if (!item.text) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromUtf8(item.text));
        action->setData(ToInt(item.id));
        action->setEnabled(item.id == CommandId::SelectAll ? haveRows : haveSelection);
    }
    // Chosen items run once the menu has closed, routed like menu commands.
    if (QAction* chosen = menu.exec(point)) emit commandRequested(static_cast<CommandId>(chosen->data().toInt()));
}

}  // namespace kirvo
