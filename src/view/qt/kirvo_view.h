#pragma once
#include <QString>
#include <array>
#include <span>
#include <string>
#include <vector>

#include "view/command_id.h"
#include "view/list_columns.h"
#include "engine/file_entry.h"
#include "view/qt/list_view_ex.h"

class QContextMenuEvent;

namespace kirvo {

class ColumnFit;
class DisplayFilter;
struct FilePair;
class ResultListModel;
class ResultRows;
class SyncSession;
struct VerifyResult;
class TreeMatcher;

// The result list: nine columns over the rows of a comparison, the marks
// (check boxes) that the mouse flips, the selection that "Kopieren" and
// "Löschen" act on, and the context menu. It shows what it is given and says
// what it shows through signals (totals, statistics); the comparison and the
// commands are the window's.
class CKirvoView : public CListViewEx {
    Q_OBJECT
public:
    // The file or folder a command for one item acts on: the row of the
    // context menu, or the current row for Enter and a double-click.
    struct PointedItem {
        int row = -1;  // -1: none
        bool folder = false;
        // Full paths (root and relative path; a folder's ends in the
        // separator), "" where that side has nothing.
        std::string sourcePath;
        std::string targetPath;
        // The roots of the comparison the row belongs to.
        std::string sourceRoot;
        std::string targetRoot;
        // Relative to the roots: the file's path, or the folder's ("" for the roots).
        std::string relativePath;
        Side side = kSourceSide;  // the side pointed at, or the one that has something
        bool remote = false;      // that side lies on another machine

        bool valid() const { return row >= 0; }
        bool bothFiles() const { return !folder && !sourcePath.empty() && !targetPath.empty(); }
        const std::string& path() const { return side == kSourceSide ? sourcePath : targetPath; }
        const std::string& root() const { return side == kSourceSide ? sourceRoot : targetRoot; }
    };

    explicit CKirvoView(QWidget* parent = nullptr);

    // Column widths for a window whose stored outer width is storedWidth
    // ("Main"/"cx", 1 when none): the two "Name" columns share what the
    // window has beyond the table's widths. Shown, the columns then follow
    // the list's width (ColumnFit).
    void OnInitialUpdate(int storedWidth);

    // Keeps the column layout and the command-state notifications when a
    // new model is set. The view starts with its result list model; with
    // any other model it is a plain list (no marks, no statistics).
    void setModel(QAbstractItemModel* model) override;

    int rowCount() const;
    bool hasSelectedRows() const;
    // Indexes of the selected rows, ascending.
    std::vector<int> selectedRows() const;
    // The rows of the list: per row its state image (the mark) and its pair.
    const ResultRows& rows() const;
    ResultListModel* resultModel() const { return resultModel_; }
    // The list shows the rows of a comparison (its result list model).
    bool ShowsResult() const;

    // Rebuilds the list from the engine's pairs under the filter: progress
    // and totals through sideTotalsShown, then the statistics. plan: the
    // sync plan decided over the same pairs to show, or null.
    void Fill(const TreeMatcher& matcher, const DisplayFilter& filter, const SyncSession* plan = nullptr,
              const VerifyResult* verified = nullptr);
    // The same over pairs held elsewhere (benchmarks); they and both roots
    // are borrowed until the next filling or Clear.
    void FillFrom(std::span<const FilePair> pairs, const std::string& sourceRoot, const std::string& targetRoot,
                  const DisplayFilter& filter);
    // No rows and no reference into any engine; to be called before the
    // engine is cleared or run again.
    void Clear();
    // Recounts the marked rows: selectionStatsShown.
    void UpdateSelectionStats();
    // "Alles markieren": every file row; folder rows keep their selection.
    void SelectAllFileRows();

    // The list's context menu at point (screen coordinates): "Kopieren",
    // "Löschen", "Alles markieren", "Nach rechts kopieren", "Nach links
    // kopieren", enabled by the same rules as the main menu; the chosen item
    // goes out as commandRequested. pWnd is not used.
    void OnContextMenu(QWidget* pWnd, const QPoint& point);

    PointedItem pointedItem() const;

    // A line shown in the list while it has no rows (what to do first, or
    // why nothing shows); empty for none.
    void setEmptyHint(const QString& hint);
    const QString& emptyHint() const { return emptyHint_; }

    // Initial width of each column, as set by OnInitialUpdate.
    int initialColumnWidth(int column) const { return columnWidths_[column]; }
    static Qt::Alignment ColumnAlignment(int column);

signals:
    // Rows or selection changed: command states may differ.
    void commandStateChanged();
    // A command asked for from inside the list (its context menu); the
    // frame routes it like a menu command.
    void commandRequested(kirvo::CommandId id);
    // A side's field of "Ausgabe" (1009, 1010): "%i Dateien" while the list
    // fills (at most every tenth of a second), the summary when it is full.
    // To be shown at once.
    void sideTotalsShown(kirvo::Side side, const QString& text);
    // The selection statistics (1011, 1012); both empty when a filling starts.
    void selectionStatsShown(const QString& sourceText, const QString& targetText);
    // A filling reached another hundredth of its pairs (at most every tenth
    // of a second): the path bar is repainted at once.
    void fillTick();

protected:
    // The mouse's menu where it points; the keyboard's at the current row.
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Left button: mark clicks on the state image, presses on a folder row's
    // text swallowed, everything else to the list; then the statistics.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // Space flips the marks of the selected file rows (the current row when
    // none is selected), as clicks on their boxes would, statistics included;
    // Enter on a row with a file on both sides asks for "Dateien vergleichen".
    void keyPressEvent(QKeyEvent* event) override;
    // On a file row with a file on both sides (not on its box): "Dateien vergleichen".
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void ApplyColumns();
    // Points at row, on the side of column (the arrow column: the source).
    void Point(int row, int column);
    // The totals and the statistics of the rows just filled.
    void ShowFilled();
    bool IsSecondPressOfDoubleClick(const QMouseEvent& event);

    ResultListModel* resultModel_ = nullptr;
    // A left press the list never saw: its moves and release stay away too.
    bool swallowedPress_ = false;
    // The last left press taken as the first of a possible double-click.
    quint64 lastPressTime_ = 0;
    QPoint lastPressPoint_;
    bool lastPressValid_ = false;
    std::array<int, ListColumns::kCount> columnWidths_{};
    // The columns within the list's width as the window changes size.
    ColumnFit* fit_ = nullptr;
    int pointedRow_ = -1;
    Side pointedSide_ = kSourceSide;
    QString emptyHint_;
};

}  // namespace kirvo
