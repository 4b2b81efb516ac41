#pragma once
#include <functional>
#include <QPointer>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/app_options.h"
#include "app/command_id.h"
#include "app/list_columns.h"
#include "engine/path_filter.h"
#include "engine/tree_matcher.h"
#include "view/display_filter.h"
#include "view/qt/list_view_ex.h"
#include "view/qt/wait_cursor.h"

class QContextMenuEvent;
class QMainWindow;

namespace kirvo {

class CommandActions;
class ComparisonRun;
class ContentProgress;
struct CopyFlags;
class FileOperationService;
class PathBar;
class ProfileStore;
class ResultListModel;
class ResultRows;
class ScanProgress;
class UserPrompts;

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
    // Writes the two path histories, the eight options and the filter.
    ~CKirvoView() override;

    // Column widths from "Main"/"cx", the path bar with both histories, the
    // columns, then the options and the filter.
    void OnInitialUpdate();

    // Runs cmd if it is one of the view's commands; false otherwise.
    bool OnCommand(CommandId cmd);
    // Enabled and checked states of the view's commands.
    void UpdateCommandUi(CommandActions& actions) const;

    // Keeps the column layout and the command-state notifications when a
    // new model is set. The view starts with its result list model; with
    // any other model it is a plain list (no marks, no statistics).
    void setModel(QAbstractItemModel* model) override;

    AppOptions& options() { return options_; }
    const AppOptions& options() const { return options_; }
    PathBar* pathBar() const;
    // Not to be touched while comparing(): the scan fills it on its own thread.
    TreeMatcher& matcher() { return matcher_; }
    const TreeMatcher& matcher() const { return matcher_; }
    // A comparison is under way: from "Pfade vergleichen" until its list is
    // filled (or it was cancelled). Meanwhile the list is empty and every
    // command that needs a result, changes the paths or would compare again
    // is disabled; "Abbrechen" (Escape) is enabled.
    bool comparing() const { return comparing_; }
    // Where the comparison lists folders; the platform's listers when empty.
    void setDirectoryListers(DirectoryListerFactory listers) { listers_ = std::move(listers); }
    // What makes the roots of a comparison reachable before they are read
    // (a connection to another machine, say), on the comparison's thread.
    struct RootPreparation {
        // "" when the root can be read, else the German message; the comparison then stops.
        std::function<std::string(const std::string& root)> prepare;
        // From the user-interface thread: "Abbrechen" while it prepares.
        std::function<void()> cancel;
        // After the scan: "" when nothing broke off meanwhile, else the message.
        std::function<std::string()> check;
    };
    void setRootPreparation(RootPreparation preparation) { rootPreparation_ = std::move(preparation); }
    // Where comparing by content reads files; the platform's readers when empty.
    void setContentReaders(ContentReaderFactory readers) { readers_ = std::move(readers); }
    const DisplayFilter& displayFilter() const { return filter_; }
    // The include and exclude patterns of the scan ("Filter..."), loaded and
    // saved with the options.
    const PathFilter& pathFilter() const { return pathFilter_; }
    // A filter set from elsewhere (a job opened); not while comparing().
    void setPathFilter(const PathFilter& filter) {
        pathFilter_ = filter;
        emit commandStateChanged();
    }
    // The filter command of a filter value, and back.
    static CommandId FilterCommand(DisplayFilterValue value);
    static DisplayFilterValue FilterValue(CommandId filterCommand);

    int rowCount() const;
    bool hasSelectedRows() const;

    // The rows of the list: per row its state image (the mark) and its pair
    // in matcher().pairs(); full paths are matcher().sourceRoot() or
    // targetRoot() followed by the entry's relativePath().
    const ResultRows& rows() const;
    ResultListModel* resultModel() const { return resultModel_; }
    // Indexes of the selected rows, ascending.
    std::vector<int> selectedRows() const;

    // Questions and sounds go here; the view's own message boxes until set.
    // prompts must outlive the view or be replaced first.
    void setUserPrompts(UserPrompts* prompts);
    UserPrompts& userPrompts() const { return *prompts_; }

    // Synchronise, Copy and Delete go here; without one they copy and delete
    // nothing (and still compare again). service must outlive the view or be
    // replaced first.
    void setFileOperationService(FileOperationService* service) { fileOperations_ = service; }
    FileOperationService* fileOperationService() const { return fileOperations_; }

    // The list's context menu at point (screen coordinates): "Kopieren",
    // "Löschen", "Alles markieren", "Nach rechts kopieren", "Nach links
    // kopieren", enabled by the same rules as the main menu; the chosen item
    // goes out as commandRequested. pWnd is not used.
    void OnContextMenu(QWidget* pWnd, const QPoint& point);

    // Rebuilds the list from the engine's pairs under the current filter:
    // progress and totals in the bar "Ausgabe", then the statistics.
    void FillList();
    // The same over pairs held elsewhere (benchmarks); they and both roots
    // are borrowed until the next filling or comparison.
    void FillListFrom(std::span<const FilePair> pairs, const std::string& sourceRoot,
                      const std::string& targetRoot);
    // Recounts the marked rows into fields 1011 and 1012.
    void UpdateSelectionStats();
    // Initial width of each column, as set by OnInitialUpdate.
    int initialColumnWidth(int column) const { return columnWidths_[column]; }
    static Qt::Alignment ColumnAlignment(int column);

public slots:
    // Command 32775 "Pfade vergleichen": with both fields filled, moves the
    // two paths to the top of their histories, compares the two folders,
    // asks before showing more than 5000 pairs (when so set) and fills the
    // list. The folders are read off the user-interface thread, with the
    // files found per side in the bar "Ausgabe" and the folder being read in
    // the status bar; the question and the filling follow when the scan is
    // over. Runs again after every file operation; does nothing while a
    // comparison is under way.
    void OnPfadeVergleichen();
    // Command 32822 "Abbrechen" (Escape): stops the comparison under way.
    // While the folders are read it leaves an empty list and an empty engine;
    // while contents are read (comparing by content) the list shows the
    // comparison by time, and the status bar says so.
    void OnCancelComparison();

signals:
    // Rows, selection, filter or an option changed: command states may differ.
    void commandStateChanged();
    // A command asked for from inside the view (path bar buttons, Return in a
    // path field); the frame routes it like a menu command.
    void commandRequested(kirvo::CommandId id);
    // A text for the status bar (the folder being read); empty: back to the usual.
    void statusMessage(const QString& text);
    // How far the reading of contents is, in thousandths; -1: no reading under way.
    void contentProgress(int permille);
    // A comparison ended: its list is filled, or it was cancelled.
    void comparisonFinished();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Left button: mark clicks on the state image, presses on a folder row's
    // text swallowed, everything else to the list; then the statistics.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // reasons: where the conflicts' reasons are (the engine), or null.
    void FillRows(std::span<const FilePair> pairs, const std::string& sourceRoot, const std::string& targetRoot,
                  const TreeMatcher* reasons);
    void SetComparing(bool comparing);
    void ShowScanProgress();
    void ShowContentProgress();
    void OnComparisonFinished(bool cancelled);
    // A setting the shown result was made under changed: compare again.
    void CompareAgainIfShown();
    // "Vergleichen nach" › "Änderungszeit", "Änderungszeit und Größe", "Inhalt".
    void OnCompareBy(CompareBy value);
    bool ShowsResult() const;
    bool IsSecondPressOfDoubleClick(const QMouseEvent& event);
    void OnSynchronize();
    // Tells the user and returns true when one compared root lies inside the other.
    bool RootsAreNested();
    CopyFlags copyFlags() const;
    void OnCopySelected();
    // "Nach rechts kopieren" (+1) and "Nach links kopieren" (-1).
    void OnCopyInDirection(int32_t direction);
    void OnDeleteSelected();
    void OnSelectAll();
    void OnDisplayFilter(DisplayFilterValue value);
    // "Filter...": the dialog; a changed filter compares again at once when
    // a result is shown.
    void OnFilterPatterns();
    void ApplyColumns();

    QMainWindow* frame_;
    ProfileStore& store_;
    QPointer<PathBar> pathBar_;
    ResultListModel* resultModel_ = nullptr;
    std::unique_ptr<UserPrompts> ownPrompts_;
    UserPrompts* prompts_ = nullptr;
    // A left press the list never saw: its moves and release stay away too.
    bool swallowedPress_ = false;
    FileOperationService* fileOperations_ = nullptr;
    // A file operation is under way (its dialogs run the event loop).
    bool fileOperationRunning_ = false;
    // The last left press taken as the first of a possible double-click.
    quint64 lastPressTime_ = 0;
    QPoint lastPressPoint_;
    bool lastPressValid_ = false;
    TreeMatcher matcher_;
    ComparisonRun* comparison_ = nullptr;
    std::unique_ptr<ScanProgress> scanProgress_;
    std::unique_ptr<ContentProgress> contentProgress_;
    bool contentsStopped_ = false;  // written by the reading phase, read once it is over
    QString noteAfterComparison_;   // for the status bar once the comparison is over
    std::optional<WaitCursor> busyCursor_;  // while the folders are read
    bool comparing_ = false;
    DirectoryListerFactory listers_;
    RootPreparation rootPreparation_;
    std::string rootProblem_;  // set by the comparison's thread, read when it has finished
    ContentReaderFactory readers_;
    DisplayFilter filter_{DisplayFilterValue::Unequal};
    AppOptions options_;
    PathFilter pathFilter_;
    std::array<int, ListColumns::kCount> columnWidths_{};
    bool initialized_ = false;
};

}  // namespace kirvo
