#include "view/qt/kirvo_view.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMainWindow>
#include <QStandardItemModel>

#include "app/command_table.h"
#include "app/profile_store.h"
#include "app/qt/command_actions.h"
#include "app/qt/path_bar.h"

namespace kirvo {

namespace {

constexpr DisplayFilterValue kFilterValues[] = {
    DisplayFilterValue::All, DisplayFilterValue::Unequal, DisplayFilterValue::SourceToTarget,
    DisplayFilterValue::TargetToSource, DisplayFilterValue::Equal};

}  // namespace

CKirvoView::CKirvoView(QMainWindow* frame, ProfileStore& store, QWidget* parent)
    : CListViewEx(parent), frame_(frame), store_(store) {
    setObjectName(QStringLiteral("KirvoView"));
    for (int column = 0; column < ListColumns::kCount; ++column) {
        columnWidths_[column] = ListColumns::Table()[column].width;
    }
}

CKirvoView::~CKirvoView() {
    if (initialized_) {
        if (pathBar_) pathBar_->SaveHistories(store_);
        options_.Save(store_);
    }
    delete pathBar_.data();
}

Qt::Alignment CKirvoView::ColumnAlignment(int column) {
    switch (ListColumns::Table()[column].alignment) {
    case ColumnAlignment::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case ColumnAlignment::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case ColumnAlignment::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

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

    // Until the result list sets its model: an empty one with the columns.
    emptyModel_ = new QStandardItemModel(0, ListColumns::kCount, this);
    for (int column = 0; column < ListColumns::kCount; ++column) {
        const auto& title = ListColumns::Table()[column].title;
        emptyModel_->setHeaderData(column, Qt::Horizontal, CommandActions::Text(title));
        emptyModel_->setHeaderData(column, Qt::Horizontal, int(ColumnAlignment(column)),
                                   Qt::TextAlignmentRole);
    }
    setModel(emptyModel_);

    options_.Load(store_);
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
    if (pathBar_->text(PathBar::Side::Source).isEmpty() ||
        pathBar_->text(PathBar::Side::Target).isEmpty()) {
        return;
    }
    pathBar_->UpdateHistories();
    // Scanning and filling the list arrive with the result list.
}

// The file operations and the selection command arrive with their issues;
// their actions already carry texts, prompts and enable rules.
void CKirvoView::OnSynchronize() {}
void CKirvoView::OnCopySelected() {}
void CKirvoView::OnDeleteSelected() {}
void CKirvoView::OnSelectAll() {}

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

// Rebuilding the list from the held pairs arrives with the result list.
void CKirvoView::OnDisplayFilter(DisplayFilterValue value) {
    filter_.SetDisplayFilter(value);
    emit commandStateChanged();
}

}  // namespace kirvo
