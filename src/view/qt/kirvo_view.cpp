#include "view/qt/kirvo_view.h"

#include <algorithm>

#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QStyleHints>

#include "app/command_table.h"
#include "app/filter_settings.h"
#include "app/profile_store.h"
#include "app/qt/command_actions.h"
#include "app/qt/message_box_prompts.h"
#include "app/qt/output_bar.h"
#include "app/qt/path_bar.h"
#include "app/user_prompts.h"
#include "view/qt/list_fill_progress.h"
#include "view/qt/result_list_model.h"
#include "view/qt/wait_cursor.h"
#include "view/selection_stats.h"

namespace kirvo {

namespace {

constexpr const char* kLargeResultQuestion =
    "Es wurden mehr als 5000 Vergleiche gemacht . Das verlangsamt die Anzeige und das später darauf "
    "folgende Löschen der Anzeige sehr ! Trotzdem anzeigen ?";
constexpr int32_t kLargeResult = 5000;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr DisplayFilterValue kFilterValues[] = {
    DisplayFilterValue::All, DisplayFilterValue::Unequal, DisplayFilterValue::SourceToTarget,
    DisplayFilterValue::TargetToSource, DisplayFilterValue::Equal};

}  // namespace

CKirvoView::CKirvoView(QMainWindow* frame, ProfileStore& store, QWidget* parent)
    : CListViewEx(parent),
      frame_(frame),
      store_(store),
      ownPrompts_(std::make_unique<MessageBoxPrompts>(this)),
      prompts_(ownPrompts_.get()) {
    setObjectName(QStringLiteral("KirvoView"));
    for (int column = 0; column < ListColumns::kCount; ++column) {
        columnWidths_[column] = ListColumns::Table()[column].width;
    }
}

CKirvoView::~CKirvoView() {
    if (initialized_) {
        if (pathBar_) pathBar_->SaveHistories(store_);
        options_.Save(store_);
        FilterSettings::Save(store_, pathFilter_);
    }
    delete pathBar_.data();
}

Qt::Alignment CKirvoView::ColumnAlignment(int column) { return ResultListModel::ColumnAlignment(column); }

void CKirvoView::OnInitialUpdate() {
    const int storedWidth = store_.GetProfileInt(profile::kMain, profile::kWidth, 1);
    for (int column = 0; column < ListColumns::kCount; ++column) {
        columnWidths_[column] = ListColumns::InitialWidth(column, storedWidth);
    }

    pathBar_ = new PathBar(frame_);
    if (frame_) {
        frame_->addToolBarBreak(Qt::TopToolBarArea);
        frame_->addToolBar(Qt::TopToolBarArea, pathBar_);
    }
    pathBar_->LoadHistories(store_);
    connect(pathBar_, &PathBar::commandRequested, this, &CKirvoView::commandRequested);
    connect(pathBar_, &PathBar::returnPressed, this,
            [this] { emit commandRequested(CommandId::PfadeVergleichen); });

    resultModel_ = new ResultListModel(this);
    setModel(resultModel_);

    options_.Load(store_);
    pathFilter_ = FilterSettings::Load(store_);
    initialized_ = true;
    emit commandStateChanged();
}

void CKirvoView::setModel(QAbstractItemModel* newModel) {
    if (model()) model()->disconnect(this);
    CListViewEx::setModel(newModel);
    ApplyColumns();
    if (newModel) {
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
            connect(newModel, signal, this, &CKirvoView::commandStateChanged);
        }
        connect(newModel, &QAbstractItemModel::modelReset, this, &CKirvoView::commandStateChanged);
        connect(newModel, &QAbstractItemModel::layoutChanged, this,
                &CKirvoView::commandStateChanged);
    }
    if (selectionModel()) {
        connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &CKirvoView::commandStateChanged);
    }
    emit commandStateChanged();
}

void CKirvoView::ApplyColumns() {
    if (!model() || model()->columnCount() != ListColumns::kCount) return;
    for (int column = 0; column < ListColumns::kCount; ++column) {
        header()->resizeSection(column, columnWidths_[column]);
    }
}

PathBar* CKirvoView::pathBar() const { return pathBar_.data(); }

int CKirvoView::rowCount() const { return model() ? model()->rowCount() : 0; }

const ResultRows& CKirvoView::rows() const {
    static const ResultRows kNoRows;
    return resultModel_ ? resultModel_->rows() : kNoRows;
}

bool CKirvoView::ShowsResult() const { return resultModel_ && model() == resultModel_; }

std::vector<int> CKirvoView::selectedRows() const {
    std::vector<int> rows;
    if (!selectionModel()) return rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (range.parent().isValid()) continue;
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CKirvoView::setUserPrompts(UserPrompts* prompts) { prompts_ = prompts ? prompts : ownPrompts_.get(); }

bool CKirvoView::hasSelectedRows() const {
    return selectionModel() && selectionModel()->hasSelection();
}

bool CKirvoView::OnCommand(CommandId cmd) {
    if (const OptionInfo* option = AppOptions::ForCommand(cmd)) {
        options_.Toggle(option->option);
        emit commandStateChanged();
        return true;
    }
    switch (cmd) {
    case CommandId::PfadeVergleichen:
        OnPfadeVergleichen();
        return true;
    case CommandId::Synchronize:
        OnSynchronize();
        return true;
    case CommandId::EditCopy:
        OnCopySelected();
        return true;
    case CommandId::DeleteSelected:
        OnDeleteSelected();
        return true;
    case CommandId::SelectAll:
        OnSelectAll();
        return true;
    case CommandId::FilterAll:
    case CommandId::FilterUnequal:
    case CommandId::FilterSourceToTarget:
    case CommandId::FilterTargetToSource:
    case CommandId::FilterEqual:
        OnDisplayFilter(FilterValue(cmd));
        return true;
    case CommandId::FilterPatterns:
        OnFilterPatterns();
        return true;
    case CommandId::BrowseSource:
        if (pathBar_) pathBar_->BrowseForPath(PathBar::Side::Source);
        return true;
    case CommandId::BrowseTarget:
        if (pathBar_) pathBar_->BrowseForPath(PathBar::Side::Target);
        return true;
    default:
        return false;
    }
}

void CKirvoView::UpdateCommandUi(CommandActions& actions) const {
    for (const CommandInfo& info : CommandTable::Commands()) {
        if (CommandTable::IsAlwaysDisabled(info.id)) actions.setEnabled(info.id, false);
    }
    const bool rows = rowCount() > 0;
    const bool selection = hasSelectedRows();
    actions.setEnabled(CommandId::Synchronize, rows);
    actions.setEnabled(CommandId::SelectAll, rows);
    actions.setEnabled(CommandId::EditCopy, selection);
    actions.setEnabled(CommandId::DeleteSelected, selection);
    for (DisplayFilterValue value : kFilterValues) {
        actions.setChecked(FilterCommand(value), filter_.IsActive(value));
    }
    for (const OptionInfo& info : AppOptions::Table()) {
        actions.setChecked(info.command, options_.isOn(info.option));
    }
}

void CKirvoView::OnPfadeVergleichen() {
    if (!pathBar_) return;
    const QString sourceText = pathBar_->text(PathBar::Side::Source);
    const QString targetText = pathBar_->text(PathBar::Side::Target);
    if (sourceText.isEmpty() || targetText.isEmpty()) return;
    const WaitCursor wait;
    pathBar_->UpdateHistories();

    // No row may point into the engine while it runs or after it is cleared.
    if (resultModel_) resultModel_->Clear();
    std::string source = QFile::encodeName(sourceText).toStdString();
    std::string target = QFile::encodeName(targetText).toStdString();
    RunOptions run;
    run.excludeSubFolders = options_.subOrdner();
    run.excludeSystemFolders = options_.systemOrdner();
    run.twoSecondTolerance = options_.oneSecond();
    run.filter = pathFilter_.LeavesOutNothing() ? nullptr : &pathFilter_;
    matcher_.Run(source, target, run);

    if (options_.ueber5000() && matcher_.pairCount() > kLargeResult) {
        if (options_.beep()) prompts_->Beep(BeepKind::Question);
        if (!prompts_->AskOkCancel(kLargeResultQuestion)) matcher_.Clear();
    }
    FillList();
    if (options_.beep()) prompts_->Beep(BeepKind::Done);
}

void CKirvoView::FillList() { FillRows(matcher_.pairs(), matcher_.sourceRoot(), matcher_.targetRoot()); }

void CKirvoView::FillListFrom(std::span<const FilePair> pairs, const std::string& sourceRoot,
                              const std::string& targetRoot) {
    FillRows(pairs, sourceRoot, targetRoot);
}

void CKirvoView::FillRows(std::span<const FilePair> pairs, const std::string& sourceRoot,
                          const std::string& targetRoot) {
    if (!resultModel_) return;
    if (model() != resultModel_) setModel(resultModel_);
    OutputBar* bar = OutputBar::Published();
    ListFillProgress progress(bar, pathBar_.data());
    resultModel_->Rebuild(pairs, sourceRoot, targetRoot, filter_, &progress);
    if (bar) {
        const ResultRows& rows = resultModel_->rows();
        bar->setFieldText(OutputBar::kSourceTotals, FromUtf8(rows.SourceSummaryText()), true);
        bar->setFieldText(OutputBar::kTargetTotals, FromUtf8(rows.TargetSummaryText()), true);
    }
    UpdateSelectionStats();
    emit commandStateChanged();
}

void CKirvoView::UpdateSelectionStats() {
    OutputBar* bar = OutputBar::Published();
    if (!bar || !resultModel_) return;
    const SelectionStats stats(resultModel_->rows());
    bar->setFieldText(OutputBar::kSourceSelection, FromUtf8(stats.SourceText()), true);
    bar->setFieldText(OutputBar::kTargetSelection, FromUtf8(stats.TargetText()), true);
}

void CKirvoView::mousePressEvent(QMouseEvent* event) {
    // The second press of a double-click, and every button but the left,
    // belong to the list alone.
    if (event->button() != Qt::LeftButton || event->type() != QEvent::MouseButtonPress || !ShowsResult() ||
        IsSecondPressOfDoubleClick(*event)) {
        CListViewEx::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const QModelIndex hit = indexAt(point);
    const int row = hit.isValid() ? hit.row() : -1;
    const bool onStateImage = row >= 0 && point.x() >= stateImageLeft() && point.x() < iconLeft();
    const bool folderRow = row >= 0 && resultModel_->rows().IsFolderRow(static_cast<size_t>(row));
    swallowedPress_ = onStateImage || folderRow;
    if (onStateImage) {
        if (folderRow) {
            resultModel_->ToggleFolderMarks(row);
        } else {
            resultModel_->ToggleMark(row);
        }
    } else if (!folderRow) {
        CListViewEx::mousePressEvent(event);
    }
    event->accept();
    UpdateSelectionStats();
}

// Qt delivers the second press of a double-click as a press (followed by a
// double-click event); the list alone handles it, as it does the
// double-click. The same timing and distance rules as the platform's.
bool CKirvoView::IsSecondPressOfDoubleClick(const QMouseEvent& event) {
    const QPoint point = event.position().toPoint();
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool second = lastPressValid_ &&
                        event.timestamp() - lastPressTime_ < static_cast<quint64>(hints->mouseDoubleClickInterval()) &&
                        (point - lastPressPoint_).manhattanLength() <= hints->mouseDoubleClickDistance();
    lastPressValid_ = !second;
    lastPressTime_ = event.timestamp();
    lastPressPoint_ = point;
    return second;
}

void CKirvoView::mouseMoveEvent(QMouseEvent* event) {
    if (swallowedPress_ && (event->buttons() & Qt::LeftButton)) return;
    CListViewEx::mouseMoveEvent(event);
}

void CKirvoView::mouseReleaseEvent(QMouseEvent* event) {
    if (swallowedPress_ && event->button() == Qt::LeftButton) {
        swallowedPress_ = false;
        return;
    }
    CListViewEx::mouseReleaseEvent(event);
}

CommandId CKirvoView::FilterCommand(DisplayFilterValue value) {
    switch (value) {
    case DisplayFilterValue::All:
        return CommandId::FilterAll;
    case DisplayFilterValue::Unequal:
        break;
    case DisplayFilterValue::SourceToTarget:
        return CommandId::FilterSourceToTarget;
    case DisplayFilterValue::TargetToSource:
        return CommandId::FilterTargetToSource;
    case DisplayFilterValue::Equal:
        return CommandId::FilterEqual;
    }
    return CommandId::FilterUnequal;
}

DisplayFilterValue CKirvoView::FilterValue(CommandId filterCommand) {
    for (DisplayFilterValue value : kFilterValues) {
        if (FilterCommand(value) == filterCommand) return value;
    }
    return DisplayFilterValue::Unequal;
}

// Rebuilds from the pairs the engine holds: no scan, and never the question
// for large results.
void CKirvoView::OnDisplayFilter(DisplayFilterValue value) {
    const WaitCursor wait;
    filter_.SetDisplayFilter(value);
    FillList();
    if (options_.beep()) prompts_->Beep(BeepKind::Done);
}

}  // namespace kirvo
