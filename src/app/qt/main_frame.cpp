#include "app/qt/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/filter_settings.h"
#include "app/qt/command_actions.h"
#include "app/qt/folder_drop.h"
#include "app/qt/frame_status_bar.h"
#include "app/qt/path_bar.h"
#include "app/qt/help_dialog.h"
#include "app/qt/job_commands.h"
#include "app/qt/log_dialog.h"
#include "app/qt/notice_bar.h"
#include "app/qt/output_bar.h"
#include "app/qt/remote_login_dialogs.h"
#include "app/qt/undo_actions.h"
#include "app/qt/window_controller.h"
#include "app/version_info.h"
#include "fileops/operation_log.h"
#include "fileops/qt/qt_file_operation_service.h"
#include "platform/sftp/remote_connections.h"
#include "platform/snapshot/snapshot_backend.h"
#include "view/qt/kirvo_view.h"
#include "view/result_rows.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {

QString CMainFrame::IdleText() { return FrameStatusBar::IdleText(); }

QString CMainFrame::TitleFor(std::string_view sourceRoot, std::string_view targetRoot) {
    if (sourceRoot.empty() || targetRoot.empty()) return QTr("Unbenannt - Kirvo");
    // A root as typed, without the separator it ends in, the home folder as "~".
    const auto shown = [](std::string_view root) {
        QString path = QString::fromUtf8(root.data(), static_cast<qsizetype>(root.size()));
        if (path.size() > 1 && path.endsWith(QDir::separator())) path.chop(1);
        const QString home = QDir::toNativeSeparators(QDir::homePath());
        if (home.size() > 1 && (path == home || path.startsWith(home + QDir::separator())))
            path = u'~' + path.mid(home.size());
        return path;
    };
    return QTr("%1 ↔ %2 - Kirvo").arg(shown(sourceRoot), shown(targetRoot));
}

QString CMainFrame::NoticeText() {
    const auto& v = VersionInfo::Program().productVersion();
    return QTr("Kirvo %1.%2.%3.%4 – Quelle und Ziel vergleichen, abgleichen, fertig.")
        .arg(v[0])
        .arg(v[1])
        .arg(v[2])
        .arg(v[3]);
}

CMainFrame::CMainFrame(ProfileStore& store, QWidget* parent) : QMainWindow(parent), store_(store) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(TitleFor({}, {}));

    actions_ = new CommandActions(this);
    addActions(actions_->all());  // accelerators work whatever has the focus
    connect(actions_, &CommandActions::commandTriggered, this, &CMainFrame::OnCommand);

    CreateMenus();
    CreateToolBar();
    statusBar_ = new FrameStatusBar(actions_->action(CommandId::CancelComparison), this);
    setStatusBar(statusBar_);
    connect(statusBar_, &FrameStatusBar::messageShown, this, &CMainFrame::messageShown);
    connect(statusBar_, &FrameStatusBar::logRequested, this, &CMainFrame::ShowLog);
    CreateOutputBar();
    setDockNestingEnabled(false);

    log_ = std::make_unique<OperationLog>();
    loginDialogs_ = std::make_unique<RemoteLoginDialogs>(this);
    remote_ = std::make_unique<RemoteConnections>(loginDialogs_.get(), LoginSettings::Default());
    fileOperations_ = std::make_unique<QtFileOperationService>(this, QtFileOperationUi::kShowProgressAfter, log_.get(),
                                                               *remote_);
    undo_ = std::make_unique<UndoActions>(this, *log_, *remote_);
    // The list, with the bar for what a comparison could not read above it.
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    noticeBar_ = new NoticeBar(central);
    view_ = new CKirvoView(central);
    column->addWidget(noticeBar_);
    column->addWidget(view_, 1);
    setCentralWidget(central);
    CreatePathBar();
    controller_ = std::make_unique<WindowController>(*view_, *pathBar_, store_);
    controller_->setFileOperationService(fileOperations_.get());
    controller_->setRootAccess(remote_.get());
    controller_->setLog(log_.get());
    ComparisonController& comparison = controller_->comparison();
    comparison.setDirectoryListers(remote_->listers());
    comparison.setContentReaders(remote_->readers());
    RemoteConnections* remote = remote_.get();
    comparison.setRootPreparation({[remote](Root& root) {
                                       std::string problem = remote->connect(root);
                                       if (problem.empty()) remote->inspect(root);
                                       return problem.empty() ? SnapshotProblem(root) : problem;
                                   },
                                   [remote] { remote->cancel(); },
                                   [remote] { return remote->lostMessage(); }});
    ConnectController();
    controller_->Load();
    RestoreSize();
    new ListFolderDrop(view_->viewport(), [this](const QString& source, const QString& target) {
        pathBar_->setText(PathBar::Side::Source, source);
        pathBar_->setText(PathBar::Side::Target, target);
        OnCommand(CommandId::PfadeVergleichen);
    });
    SetTabOrder();
    AddContextMenuKey();
    // The path bar rests while a comparison reads: the focus it loses then comes back after.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && now->window() == this) lastFocus_ = now;
    });
    pathBar_->comboBox(PathBar::Side::Source)->setFocus();  // a first start begins there
    UpdateCommandUi();
}

QLabel* CMainFrame::messagePane() const { return statusBar_->messagePane(); }
QToolButton* CMainFrame::cancelButton() const { return statusBar_->cancelButton(); }
QLabel* CMainFrame::logLink() const { return statusBar_->logLink(); }
QProgressBar* CMainFrame::readingProgress() const { return statusBar_->readingProgress(); }
QLabel* CMainFrame::filterPane() const { return statusBar_->filterPane(); }

void CMainFrame::SetTabOrder() {
    QWidget* chain[] = {pathBar_->comboBox(PathBar::Side::Source), pathBar_->browseButton(PathBar::Side::Source),
                        pathBar_->comboBox(PathBar::Side::Target), pathBar_->browseButton(PathBar::Side::Target), view_,
                        pathBar_->comboBox(PathBar::Side::Source)};
    for (size_t i = 0; i + 1 < std::size(chain); ++i) setTabOrder(chain[i], chain[i + 1]);
}

void CMainFrame::AddContextMenuKey() {
    auto* key = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(key, &QShortcut::activated, this, [] {
        QWidget* focus = QApplication::focusWidget();
        if (auto* combo = qobject_cast<QComboBox*>(focus); combo && combo->lineEdit()) focus = combo->lineEdit();
        if (!focus) return;
        // At the text cursor of a field; a list puts its menu at its current row itself.
        QRect cursor = focus->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        const QPoint at = cursor.isValid() && !cursor.isEmpty() ? cursor.bottomLeft() : focus->rect().center();
        QContextMenuEvent event(QContextMenuEvent::Keyboard, at, focus->mapToGlobal(at));
        QApplication::sendEvent(focus, &event);
    });
}

void CMainFrame::ShowComparedFolders() {
    const ResultRows& rows = view_->rows();
    const bool shown = view_->ShowsResult() && !rows.sourceRoot().empty();
    setWindowTitle(TitleFor(shown ? rows.sourceRoot() : std::string_view(), shown ? rows.targetRoot() : std::string_view()));
}

// Only the size is restored, never the position. The window opens within the
// screen's available area with room for the window manager's frame; a stored
// size the screen cannot show (a smaller or scaled screen) stays stored.
void CMainFrame::RestoreSize() {
    const WindowSize::Size restored = WindowSize::Restore(store_);
    QSize client(restored.width > 0 ? restored.width : kDefaultClientWidth,
                 restored.height > 0 ? restored.height : kDefaultClientHeight);
    if (const QScreen* screen = this->screen()) {
        const QSize room =
            screen->availableGeometry().size() - QSize(WindowSize::kFrameWidth, WindowSize::kFrameHeight);
        if (room.isValid() && !room.isEmpty()) client = client.boundedTo(room);
    }
    resize(client);
    windowSize_.SetInitial(client.width(), client.height(), restored);
    if (WindowSize::RestoreMaximized(store_)) setWindowState(windowState() | Qt::WindowMaximized);
}

void CMainFrame::CreatePathBar() {
    pathBar_ = new PathBar(this);
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, pathBar_);
    connect(pathBar_, &PathBar::commandRequested, this, &CMainFrame::OnCommand);
    pathBar_->setContextActions({actions_->action(CommandId::SwapPaths)});
}

// The bars hear the list and the controller: totals and statistics in
// "Ausgabe", texts and progress in the status bar.
void CMainFrame::ConnectController() {
    const auto showTotals = [this](Side side, const QString& text) {
        outputBar_->setFieldText(side == kSourceSide ? OutputBar::kSourceTotals : OutputBar::kTargetTotals, text, true);
    };
    connect(view_, &CKirvoView::sideTotalsShown, this, showTotals);
    connect(controller_.get(), &WindowController::sideTotalsShown, this, showTotals);
    connect(view_, &CKirvoView::selectionStatsShown, this, [this](const QString& source, const QString& target) {
        outputBar_->setFieldText(OutputBar::kSourceSelection, source, true);
        outputBar_->setFieldText(OutputBar::kTargetSelection, target, true);
    });
    connect(view_, &CKirvoView::fillTick, this, [this] {
        if (pathBar_->isVisible()) pathBar_->repaint();
    });
    connect(view_, &CKirvoView::commandStateChanged, this, &CMainFrame::UpdateCommandUi);
    connect(view_, &CKirvoView::commandRequested, this, &CMainFrame::OnCommand);
    connect(controller_.get(), &WindowController::commandStateChanged, this, &CMainFrame::UpdateCommandUi);
    connect(controller_.get(), &WindowController::readingProgress, statusBar_, &FrameStatusBar::ShowReadingProgress);
    connect(controller_.get(), &WindowController::operationSummary, this, &CMainFrame::ShowOperationSummary);
    connect(controller_.get(), &WindowController::statusMessage, statusBar_, &FrameStatusBar::ShowText);
    connect(controller_.get(), &WindowController::comparisonFinished, this, &CMainFrame::ShowComparedFolders);
    connect(controller_.get(), &WindowController::unreadablePlacesNoted, this,
            [this](const QString& text, const QString& details) {
                if (text.isEmpty()) noticeBar_->hide();
                else noticeBar_->Show(text, details);
            });
}

CMainFrame::~CMainFrame() {
    // Hiding the bars while the base classes tear down must not call back
    // into this half-destroyed frame.
    disconnect(outputBar_, nullptr, this, nullptr);
    disconnect(actions_, nullptr, this, nullptr);
    disconnect(view_, nullptr, this, nullptr);
    disconnect(controller_.get(), nullptr, this, nullptr);
    // The controller goes first (it writes the histories from the path bar),
    // then the view, whose rows borrowed the controller's pairs, while the
    // bars still exist.
    controller_.reset();
    delete view_;
    view_ = nullptr;
}

void CMainFrame::CreateMenus() {
    actions_->FillMenuBar(*menuBar(), [this](QMenu* menu) {
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
    });
}

void CMainFrame::CreateToolBar() {
    toolBar_ = new QToolBar(QTr("Symbolleiste"), this);
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    actions_->FillToolBar(*toolBar_);
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::CreateOutputBar() {
    outputBar_ = new OutputBar(this);
    connect(outputBar_, &OutputBar::logRequested, this, &CMainFrame::ShowLog);
    addDockWidget(Qt::TopDockWidgetArea, outputBar_);
    connect(outputBar_, &QDockWidget::visibilityChanged, this, &CMainFrame::UpdateCommandUi);
}

void CMainFrame::UpdateCommandUi() {
    if (controller_) controller_->UpdateCommandUi(*actions_);
    if (controller_ && !controller_->comparing() && !focusWidget() && lastFocus_ && lastFocus_->isEnabled())
        lastFocus_->setFocus();
    statusBar_->cancelButton()->setVisible(actions_->action(CommandId::CancelComparison)->isEnabled());
    UpdateFilterPane();
    UpdateEmptyHint();
    actions_->setChecked(CommandId::ViewToolbar, !toolBar_->isHidden());
    actions_->setChecked(CommandId::ViewStatusBar, !statusBar()->isHidden());
    actions_->setChecked(CommandId::ViewOutputBar, !outputBar_->isHidden());
    actions_->setEnabled(CommandId::UndoLastRun, controller_ && !controller_->comparing());  // it compares again
    actions_->setEnabled(CommandId::ShowJobs, controller_ && !controller_->comparing());  // opening one changes the paths
}

void CMainFrame::UpdateEmptyHint() {
    QString hint;
    if (controller_ && !controller_->comparing()) {
        if (!view_->ShowsResult() || view_->rows().sourceRoot().empty()) {
            hint = QTr("Quelle und Ziel angeben, dann „Pfade vergleichen“ (F5).");
        } else if (controller_->displayFilter().value() == DisplayFilterValue::Unequal) {
            hint = QTr("Keine ungleichen Dateien.");
        } else {
            hint = QTr("Keine Dateien in dieser Anzeige.");
        }
    }
    view_->setEmptyHint(hint);
}

void CMainFrame::UpdateFilterPane() {
    const bool active = controller_ && !controller_->pathFilter().LeavesOutNothing();
    const std::string tip = active ? FilterSettings::Description(controller_->pathFilter()) : std::string();
    statusBar_->ShowFilter(active, QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())));
}

void CMainFrame::OnCommand(CommandId id) {
    UpdateCommandUi();
    if (QAction* action = actions_->action(id); action && !action->isEnabled()) return;
    if (controller_ && controller_->OnCommand(id)) {
        UpdateCommandUi();
        return;
    }
    switch (id) {
    case CommandId::ViewToolbar:
        toolBar_->setVisible(toolBar_->isHidden());
        break;
    case CommandId::ViewStatusBar:
        statusBar()->setVisible(statusBar()->isHidden());
        break;
    case CommandId::ViewOutputBar:
        outputBar_->setVisible(outputBar_->isHidden());
        break;
    case CommandId::StatusNotice:
        ShowStatusNotice();
        break;
    case CommandId::HelpFinder:
        ShowHelp();
        break;
    case CommandId::ShowLog:
        ShowLog();
        break;
    case CommandId::UndoLastRun:
        UndoRun({});
        break;
    case CommandId::SaveJob:
        JobCommands::SaveJob(*this);
        break;
    case CommandId::ShowJobs:
        JobCommands::ShowJobs(*this);
        break;
    case CommandId::AppExit:
        close();
        break;
    default:
        emit unhandledCommand(id);
        break;
    }
    UpdateCommandUi();
}

void CMainFrame::ShowOperationSummary(const QString& text, int failures) {
    statusBar_->ShowOperationSummary(text, failures);
    outputBar_->showSummary(text, failures > 0);
}

void CMainFrame::ShowStatusNotice() { statusBar_->ShowNotice(NoticeText(), kNoticeMilliseconds); }

void CMainFrame::ShowHelp() {
    HelpDialog dialog(this);
    dialog.exec();
}

void CMainFrame::ShowLog() {
    LogDialog dialog(log_->path(), this);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosenRun().empty()) UndoRun(dialog.chosenRun());
}

void CMainFrame::UndoRun(const std::string& id) {
    if (!controller_ || controller_->comparing()) return;
    controller_->setOwnWork(true);
    const std::optional<std::string> note = undo_->Undo(controller_->userPrompts(), id);
    controller_->setOwnWork(false);
    if (note) controller_->CompareAgainWithNote(QString::fromUtf8(note->data(), static_cast<qsizetype>(note->size())));
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && controller_) controller_->CheckOutsideRuns();
    if (event->type() == QEvent::StatusTip) {
        if (statusBar_) statusBar_->ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (controller_) controller_->OnCancelComparison();  // the scan ends while the window goes
    windowSize_.Store(store_, isMaximized());
    event->accept();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const bool notNormal = isMaximized() || isMinimized() || isFullScreen();
    windowSize_.Track(width(), height(), notNormal);
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    // A resize may arrive before the state says "maximised": the normal
    // geometry is the size to keep.
    if ((isMaximized() || isFullScreen()) && normalGeometry().isValid()) {
        windowSize_.Track(normalGeometry().width(), normalGeometry().height(), false);
    }
}

}  // namespace kirvo
