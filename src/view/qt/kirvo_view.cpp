#include "view/qt/kirvo_view.h"

#include <algorithm>

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
#include "engine/content_progress.h"
#include "engine/scan_progress.h"
#include "view/qt/comparison_run.h"
#include "view/qt/result_list_model.h"

namespace kirvo {

namespace {

constexpr DisplayFilterValue kFilterValues[] = {
    DisplayFilterValue::All, DisplayFilterValue::Unequal, DisplayFilterValue::SourceToTarget,
    DisplayFilterValue::TargetToSource, DisplayFilterValue::Equal};

}  // namespace

CKirvoView::CKirvoView(QMainWindow* frame, ProfileStore& store, QWidget* parent)
    : CListViewEx(parent),
      frame_(frame),
      store_(store),
      ownPrompts_(std::make_unique<MessageBoxPrompts>(this)),
      prompts_(ownPrompts_.get()),
      comparison_(new ComparisonRun(this)) {
    setObjectName(QStringLiteral("KirvoView"));
    connect(comparison_, &ComparisonRun::finished, this, &CKirvoView::OnComparisonFinished);
    for (int column = 0; column < ListColumns::kCount; ++column) {
        columnWidths_[column] = ListColumns::Table()[column].width;
    }
}

CKirvoView::~CKirvoView() {
    delete comparison_;  // stops a scan under way before the engine goes
    comparison_ = nullptr;
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
    // The table's widths suit a small font: dates, sizes and paths get as
    // much more as the list's font needs.
    const QFontMetrics metrics(font());
    const auto textWidth = [&metrics](std::string_view text) {
        return metrics.horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    };
    for (int column = 0; column < ListColumns::kCount; ++column) {
        columnWidths_[column] = ListColumns::InitialWidth(column, storedWidth, 2 * kColumnInset, textWidth);
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
        if (option->option == Option::Stunde) CompareAgainIfShown();
        return true;
    }
    if (AppOptions::IsCompareCommand(cmd)) {
        OnCompareBy(AppOptions::CompareByOf(cmd));
        return true;
    }
    switch (cmd) {
    case CommandId::PfadeVergleichen:
        OnPfadeVergleichen();
        return true;
    case CommandId::CancelComparison:
        OnCancelComparison();
        return true;
    case CommandId::Synchronize:
        OnSynchronize();
        return true;
    case CommandId::EditCopy:
        OnCopySelected();
        return true;
    case CommandId::CopyToTarget:
        OnCopyInDirection(1);
        return true;
    case CommandId::CopyToSource:
        OnCopyInDirection(-1);
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
    const bool idle = !comparing_;
    const bool rows = idle && rowCount() > 0;
    const bool selection = idle && hasSelectedRows();
    actions.setEnabled(CommandId::Synchronize, rows);
    actions.setEnabled(CommandId::SelectAll, rows);
    for (CommandId id : {CommandId::EditCopy, CommandId::CopyToTarget, CommandId::CopyToSource,
                         CommandId::DeleteSelected})
        actions.setEnabled(id, selection);
    // While the folders are read: no second comparison, no other paths, no
    // refilling from the engine, no change of what the scan was started with.
    actions.setEnabled(CommandId::PfadeVergleichen, idle);
    actions.setEnabled(CommandId::CancelComparison, comparing_);
    for (CommandId id : {CommandId::BrowseSource, CommandId::BrowseTarget, CommandId::OptionSubOrdner,
                         CommandId::OptionSystemOrdner, CommandId::OptionOneSecond, CommandId::OptionStunde,
                         CommandId::FilterPatterns})
        actions.setEnabled(id, idle);
    for (CompareBy value : {CompareBy::Time, CompareBy::TimeAndSize, CompareBy::Content}) {
        actions.setEnabled(AppOptions::CompareCommand(value), idle);
        actions.setChecked(AppOptions::CompareCommand(value), options_.compareBy() == value);
    }
    for (DisplayFilterValue value : kFilterValues) {
        actions.setEnabled(FilterCommand(value), idle);
        actions.setChecked(FilterCommand(value), filter_.IsActive(value));
    }
    for (const OptionInfo& info : AppOptions::Table()) {
        actions.setChecked(info.command, options_.isOn(info.option));
    }
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

}  // namespace kirvo
