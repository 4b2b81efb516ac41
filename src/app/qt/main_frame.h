#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <memory>
#include <string>

#include "view/command_id.h"
#include "app/window_size.h"

class QLabel;
class QProgressBar;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;

namespace kirvo {

class CKirvoView;
class CommandActions;
class FileOperationService;
class LockKeyState;
class OperationLog;
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
    QLabel* messagePane() const { return messagePane_; }
    // "Abbrechen" in the status bar, visible while a comparison reads the folders.
    QToolButton* cancelButton() const { return cancelButton_; }
    // "Details im Protokoll" beside the message, after an operation with failures.
    QLabel* logLink() const { return logLink_; }
    // Bytes read of the total while a comparison by content reads files.
    QProgressBar* readingProgress() const { return readingProgress_; }
    QLabel* indicator(int index) const { return indicators_[index]; }
    // "Filter", shown while the filter leaves anything out; its tool tip
    // lists the patterns.
    QLabel* filterPane() const { return filterPane_; }
    const WindowSize& windowSize() const { return windowSize_; }

    // The text shown in the message pane when nothing else is.
    static QString IdleText() { return QStringLiteral("Bereit"); }
    static QString NoticeText();

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
    void CreateStatusBar();
    void CreateOutputBar();
    void CreatePathBar();
    void RestoreSize();
    void ConnectController();
    void ShowMessage(const QString& text);
    // What a file operation did, until the next command: the message pane's
    // idle text, with the link to the log when something failed, and the
    // line in "Ausgabe".
    void ShowOperationSummary(const QString& text, int failures);
    void UpdateIndicators();
    void UpdateFilterPane();
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
    QLabel* messagePane_ = nullptr;
    QLabel* logLink_ = nullptr;
    // What the message pane shows when nothing else is: "Bereit", or what
    // the last file operation did.
    QString idleMessage_ = IdleText();
    QToolButton* cancelButton_ = nullptr;
    QProgressBar* readingProgress_ = nullptr;
    QLabel* filterPane_ = nullptr;
    QLabel* indicators_[3] = {};
    CKirvoView* view_ = nullptr;
    PathBar* pathBar_ = nullptr;
    WindowSize windowSize_;
    QTimer* noticeTimer_ = nullptr;
    QString messageBehindNotice_;
    std::unique_ptr<LockKeyState> lockKeys_;
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
