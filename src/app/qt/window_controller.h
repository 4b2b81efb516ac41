#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <memory>
#include <optional>

#include "app/app_options.h"
#include "view/command_id.h"
#include "app/file_operation_controller.h"
#include "app/qt/comparison_session.h"
#include "engine/file_entry.h"
#include "engine/path_filter.h"
#include "view/display_filter.h"
#include "view/qt/comparison_controller.h"

class QTimer;
class QWidget;

namespace kirvo {

class CKirvoView;
class CommandActions;
class OperationLog;
class OutsideRunWatch;
class FileActions;
class RootAccess;
class PathBar;
class ProfileStore;
class UserPrompts;

// What stands behind the window's list: the options, the display filter, the
// filter patterns, the comparison (ComparisonSession) and the file
// operations (FileOperationController). It routes the commands of the list,
// the filters, the options and the path bar, and says what the window is to
// show through signals; the frame routes every command here first
// (OnCommand) and asks for the command states (UpdateCommandUi).
class WindowController : public QObject {
    Q_OBJECT
public:
    // view and pathBar are the window's; store is read by Load and written
    // when the controller goes, so all three must outlive it.
    WindowController(CKirvoView& view, PathBar& pathBar, ProfileStore& store, QObject* parent = nullptr);
    // Writes the two path histories, the options and the filter (once loaded).
    ~WindowController() override;

    // The column widths from "Main"/"cx", both path histories, the options
    // and the filter.
    void Load();

    // Runs cmd if it is one of the controller's commands; false otherwise.
    bool OnCommand(CommandId cmd);
    // Enabled and checked states of the controller's commands.
    void UpdateCommandUi(CommandActions& actions) const;

    AppOptions& options() { return options_; }
    const AppOptions& options() const { return options_; }
    const DisplayFilter& displayFilter() const { return filter_; }
    // The include and exclude patterns of the scan ("Filter...").
    const PathFilter& pathFilter() const { return pathFilter_; }
    // A filter set from elsewhere (a job opened); not while comparing().
    void setPathFilter(const PathFilter& filter) {
        pathFilter_ = filter;
        emit commandStateChanged();
    }
    ComparisonController& comparison() { return session_.comparison(); }
    // Not to be touched while comparing(): the scan fills it on its own thread.
    TreeMatcher& matcher() { return session_.comparison().matcher(); }
    const TreeMatcher& matcher() const { return session_.comparison().matcher(); }
    // A comparison is under way: from "Pfade vergleichen" until its list is
    // filled (or it was cancelled). Meanwhile the list is empty and every
    // command that needs a result, changes the paths or would compare again
    // is disabled; "Abbrechen" (Escape) is enabled.
    bool comparing() const { return session_.comparing(); }

    // Questions and sounds go here; message boxes on the view until set.
    // prompts must outlive the controller or be replaced first.
    void setUserPrompts(UserPrompts* prompts);
    UserPrompts& userPrompts() const { return *prompts_; }
    // Synchronise, Copy and Delete go here; without one they copy and delete
    // nothing (and still compare again). service must outlive the controller
    // or be replaced first.
    void setFileOperationService(FileOperationService* service) { fileOperations_.setService(service); }
    FileOperationService* fileOperationService() const { return fileOperations_.service(); }
    // How the roots of "Dateien vergleichen" and "Öffnen" are reached (files
    // on other machines are fetched), and how missing roots are looked at
    // again and made; the local file system's until set.
    void setRootAccess(RootAccess* roots);
    // Where forgetting a pair's state is written; the runs other programs
    // write there are watched (CheckOutsideRuns).
    void setLog(OperationLog* log);
    FileOperationController& fileOperations() { return fileOperations_; }
    FileActions& fileActions() { return *fileActions_; }

    // Rebuilds the list from the engine's pairs under the current filter.
    void FillList() { session_.FillList(); }
    // After the folders were changed from outside the list (an undo): compares
    // again, `note` in the status bar once the comparison is over.
    void CompareAgainWithNote(const QString& note);
    // "Aufträge" › "Ausführen": the job's roots (already in the fields) are
    // compared with its plan (mode, direction, deletion limit) and the list
    // shows what its run would do; "Dateien abgleichen" runs it. `note` in
    // the status bar once the comparison is over.
    void CompareJob(JobPlan plan, const QString& note);

    // A run this window did not start (a job by its timer, "watch",
    // kirvo-cli, another Kirvo) changed the shown roots: the list is compared
    // again, as soon as no question, dialog or comparison is under way. Looked
    // at every two seconds and whenever the window is activated.
    void CheckOutsideRuns();
    // The window changes the roots itself outside a file operation (an undo):
    // its lines are its own, and it compares again afterwards.
    void setOwnWork(bool running) { ownWork_ = running; }

public slots:
    // Command 32775 "Pfade vergleichen": with both fields filled, moves the
    // two paths to the top of their histories, compares the two folders,
    // asks before showing more than 5000 pairs (when so set) and fills the
    // list. The folders are read off the user-interface thread, with the
    // files found per side in the bar "Ausgabe" and the folder being read in
    // the status bar; the question and the filling follow when the scan is
    // over. Runs again after every file operation; does nothing while a
    // comparison is under way.
    void OnPfadeVergleichen() { session_.Compare(); }
    // Command 32822 "Abbrechen" (Escape): stops the comparison under way.
    // While the folders are read it leaves an empty list and an empty engine;
    // while contents are read (comparing by content) the list shows the
    // comparison by time, and the status bar says so.
    void OnCancelComparison() { session_.Cancel(); }

signals:
    // A result, an option or the filter changed: command states may differ.
    void commandStateChanged();
    // A text for the status bar; empty: back to the usual.
    void statusMessage(const QString& text);
    // A side's field of "Ausgabe" while the comparison reads (files found,
    // contents compared).
    void sideTotalsShown(kirvo::Side side, const QString& text);
    // How far the reading of contents is, in thousandths; -1: no reading under way.
    void readingProgress(int permille);
    // A comparison ended: its list is filled, or it was cancelled.
    void comparisonFinished();
    // The unreadable places of the list shown, for the bar above it; empty: none to show.
    void unreadablePlacesNoted(const QString& text, const QString& details);
    // What the last file-operation command did ("12 kopiert, 3 ersetzt, …",
    // its RunResult's summary), shown until the next command; failures > 0:
    // the log has the details. Empty text: nothing to show (a new command began).
    void operationSummary(const QString& text, int failures);

private:
    // A setting the shown result was made under changed: compare again.
    void CompareAgainIfShown() { session_.CompareAgainIfShown(); }
    // The summary of the last command, once the comparison after it is over.
    void ShowSummary();
    // "Vergleichen nach" › "Änderungszeit", "Änderungszeit und Größe", "Inhalt".
    void OnCompareBy(CompareBy value);
    // "Abgleichen als" › "Neuere kopieren", "Spiegeln", "In beide Richtungen mit Gedächtnis".
    void OnSyncMode(SyncMode value);
    void OnLinks(LinkMode value);
    void OnDisplayFilter(DisplayFilterValue value);
    // "Filter...": the dialog; a changed filter compares again at once when
    // a result is shown.
    void OnFilterPatterns();
    // Synchronise, Copy, Delete and the directed copies: the command, then
    // the comparison it asks for.
    void RunFileOperation(CommandId cmd);
    // "Ausschließen": the pointed file's or folder's pattern joins the
    // exclude patterns, and the comparison runs again.
    void OnExcludePath();

    CKirvoView& view_;
    PathBar& pathBar_;
    ProfileStore& store_;
    std::unique_ptr<UserPrompts> ownPrompts_;
    UserPrompts* prompts_ = nullptr;
    AppOptions options_;
    DisplayFilter filter_{DisplayFilterValue::Unequal};
    PathFilter pathFilter_;
    FileOperationController fileOperations_{options_};
    ComparisonSession session_;
    std::unique_ptr<FileActions> fileActions_;
    std::unique_ptr<OutsideRunWatch> outsideRuns_;
    QTimer* outsideRunTimer_ = nullptr;
    bool outsideChange_ = false;  // seen, waiting for the window to be free
    bool ownWork_ = false;
    bool summaryShown_ = false;
    bool summaryPending_ = false;  // a command ran: its summary follows the comparison
    bool loaded_ = false;
};

}  // namespace kirvo
