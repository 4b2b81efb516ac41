#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>
#include <string_view>

#include "view/command_id.h"
#include "app/window_size.h"

class QLabel;
class QProgressBar;
class QMenu;
class QToolBar;
class QToolButton;

namespace kirvo {

class CKirvoView;
class CommandActions;
class FileOperationService;
class FrameStatusBar;
class OperationLog;
class NoticeBar;
class OutputBar;
class PathBar;
class ProfileStore;
class RemoteConnections;
class RemoteLoginDialogs;
class UndoActions;
class WindowController;

// The main window: menus, toolbar, accelerators, status bar, the bar
// "Ausgabe" and the result view. Every command goes through OnCommand: the
// command states are refreshed first and a disabled command does not run;
// then the view handles it, else the frame, else it is passed on
// (unhandledCommand) to the application.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kDefaultClientWidth = 920;
    static constexpr int kDefaultClientHeight = 640;
    static constexpr int kNoticeMilliseconds = 2000;

    // store must outlive the frame: the close writes the window size, the
    // view's destruction the histories and options.
    explicit CMainFrame(ProfileStore& store, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CKirvoView* view() const { return view_; }
    // The source and target fields with their histories.
    PathBar* pathBar() const { return pathBar_; }
    // The options, filters, comparison and file operations behind the list.
    WindowController* controller() const { return controller_.get(); }
    CommandActions& actions() const { return *actions_; }
    OutputBar* outputBar() const { return outputBar_; }
    QToolBar* toolBar() const { return toolBar_; }
    QLabel* messagePane() const;
    // "Abbrechen" in the status bar, visible while a comparison reads the folders.
    QToolButton* cancelButton() const;
    // "Details im Protokoll" beside the message, after an operation with failures.
    QLabel* logLink() const;
    // Bytes read of the total while a comparison by content reads files.
    QProgressBar* readingProgress() const;
    // "Filter", shown while the filter leaves anything out; its tool tip
    // lists the patterns.
    QLabel* filterPane() const;
    // Above the list: what the comparison shown could not read, once the box said it for the pair.
    NoticeBar* noticeBar() const { return noticeBar_; }
    const WindowSize& windowSize() const { return windowSize_; }

    // The text shown in the message pane when nothing else is.
    static QString IdleText();
    static QString NoticeText();
    // "Unbenannt - Kirvo", or the two folders of the list shown.
    static QString TitleFor(std::string_view sourceRoot, std::string_view targetRoot);

public slots:
    void OnCommand(kirvo::CommandId id);
    void UpdateCommandUi();
    // Command 32792: a fixed notice in the message pane for two seconds.
    void ShowStatusNotice();

signals:
    void unhandledCommand(kirvo::CommandId id);
    // The message pane shows another text.
    void messageShown(const QString& text);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateMenus();
    void CreateToolBar();
    void CreateOutputBar();
    void CreatePathBar();
    void RestoreSize();
    void ConnectController();
    // Tab goes Quelle, its "...", Ziel, its "...", the list, and round again.
    void SetTabOrder();
    // Shift+F10: the context menu of the focused field or list, as the Menu key opens it.
    void AddContextMenuKey();
    // What a file operation did, until the next command: the message pane's
    // idle text, with the link to the log when something failed, and the
    // line in "Ausgabe".
    void ShowOperationSummary(const QString& text, int failures);
    // After a comparison: the title names the folders, the empty list says why it is empty.
    void ShowComparedFolders();
    void UpdateFilterPane();
    // What the empty list says: what to do first, or why nothing shows.
    void UpdateEmptyHint();
    void ShowHelp();
    // Command 32814 "Protokoll anzeigen"; a run chosen there is undone.
    void ShowLog();
    // Command 32862 "Letzten Abgleich rückgängig machen" (id ""), or the run `id`;
    // the comparison runs again when anything was undone.
    void UndoRun(const std::string& id);

    ProfileStore& store_;
    CommandActions* actions_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    OutputBar* outputBar_ = nullptr;
    FrameStatusBar* statusBar_ = nullptr;
    CKirvoView* view_ = nullptr;
    NoticeBar* noticeBar_ = nullptr;
    PathBar* pathBar_ = nullptr;
    WindowSize windowSize_;
    // The widget of this window that had the focus last.
    QPointer<QWidget> lastFocus_;
    // What the file operations did; outlives the service.
    std::unique_ptr<OperationLog> log_;
    // The view's copying and deleting, with their dialogs; outlives the view.
    // Folders on other machines: one connection per remote root, made for a
    // comparison and kept for the operations that follow.
    std::unique_ptr<RemoteLoginDialogs> loginDialogs_;
    std::unique_ptr<RemoteConnections> remote_;
    std::unique_ptr<FileOperationService> fileOperations_;
    std::unique_ptr<UndoActions> undo_;
    // Goes before the view and the path bar, which it writes from.
    std::unique_ptr<WindowController> controller_;
};

}  // namespace kirvo
