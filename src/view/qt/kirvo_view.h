#pragma once
#include <QPointer>
#include <array>

#include "app/app_options.h"
#include "app/command_id.h"
#include "app/list_columns.h"
#include "engine/tree_matcher.h"
#include "view/display_filter.h"
#include "view/qt/list_view_ex.h"

class QMainWindow;
class QStandardItemModel;

namespace kirvo {

class CommandActions;
class PathBar;
class ProfileStore;

// The result view: the list with its nine columns, the path bar, the
// comparison engine, the display filter and the options. It handles the
// commands of the list, the filters, the options and the path bar; the
// frame routes every command here first (OnCommand) and asks the view for
// the enabled and checked states of those commands (UpdateCommandUi).
class CKirvoView : public CListViewEx {
    Q_OBJECT
public:
    // frame hosts the path bar; store is read in OnInitialUpdate and written
    // when the view is destroyed, so it must outlive the view.
    CKirvoView(QMainWindow* frame, ProfileStore& store, QWidget* parent = nullptr);
    // Writes the two path histories and then the eight options.
    ~CKirvoView() override;

    // Column widths from "Main"/"cx", the path bar with both histories, the
    // columns, then the options.
    void OnInitialUpdate();

    // Runs cmd if it is one of the view's commands; false otherwise.
    bool OnCommand(CommandId cmd);
    // Enabled and checked states of the view's commands.
    void UpdateCommandUi(CommandActions& actions) const;

    // Keeps the column layout and the command-state notifications when a
    // new model (the result list) is set.
    void setModel(QAbstractItemModel* model) override;

    AppOptions& options() { return options_; }
    const AppOptions& options() const { return options_; }
    PathBar* pathBar() const;
    TreeMatcher& matcher() { return matcher_; }
    const DisplayFilter& displayFilter() const { return filter_; }
    // The filter command of a filter value, and back.
    static CommandId FilterCommand(DisplayFilterValue value);
    static DisplayFilterValue FilterValue(CommandId filterCommand);

    int rowCount() const;
    bool hasSelectedRows() const;
    // Initial width of each column, as set by OnInitialUpdate.
    int initialColumnWidth(int column) const { return columnWidths_[column]; }
    static Qt::Alignment ColumnAlignment(int column);

public slots:
    // Command 32775 "Pfade vergleichen": with both fields filled, moves the
    // two paths to the top of their histories. The scan and the list arrive
    // with the result list.
    void OnPfadeVergleichen();

signals:
    // Rows, selection, filter or an option changed: command states may differ.
    void commandStateChanged();
    // A command asked for from inside the view (path bar buttons, Return in a
    // path field); the frame routes it like a menu command.
    void commandRequested(kirvo::CommandId id);

private:
    void OnSynchronize();
    void OnCopySelected();
    void OnDeleteSelected();
    void OnSelectAll();
    void OnDisplayFilter(DisplayFilterValue value);
    void ApplyColumns();

    QMainWindow* frame_;
    ProfileStore& store_;
    QPointer<PathBar> pathBar_;
    QStandardItemModel* emptyModel_ = nullptr;
    TreeMatcher matcher_;
    DisplayFilter filter_{DisplayFilterValue::Unequal};
    AppOptions options_;
    std::array<int, ListColumns::kCount> columnWidths_{};
    bool initialized_ = false;
};

}  // namespace kirvo
