#include "app/qt/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/command_table.h"
#include "app/filter_settings.h"
#include "app/qt/command_actions.h"
#include "app/qt/folder_drop.h"
#include "app/qt/path_bar.h"
#include "app/qt/help_dialog.h"
#include "app/qt/job_commands.h"
#include "app/qt/lock_key_state.h"
#include "app/qt/log_dialog.h"
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
#include "platform/qt/qt_translation.h"

namespace kirvo {

QString CMainFrame::NoticeText() {
    const auto& v = VersionInfo::Program().productVersion();
    return QTr("Kirvo %1.%2.%3.%4 – Quelle und Ziel vergleichen, abgleichen, fertig.")
        .arg(v[0])
        .arg(v[1])
        .arg(v[2])
        .arg(v[3]);
}

CMainFrame::CMainFrame(ProfileStore& store, QWidget* parent)
    : QMainWindow(parent), store_(store), lockKeys_(std::make_unique<LockKeyState>()) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QTr("Unbenannt - Kirvo"));

    actions_ = new CommandActions(this);
    addActions(actions_->all());  // accelerators work whatever has the focus
    connect(actions_, &CommandActions::commandTriggered, this, &CMainFrame::OnCommand);

    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateOutputBar();
    setDockNestingEnabled(false);

    log_ = std::make_unique<OperationLog>();
    loginDialogs_ = std::make_unique<RemoteLoginDialogs>(this);
    remote_ = std::make_unique<RemoteConnections>(loginDialogs_.get(), LoginSettings::Default());
    fileOperations_ = std::make_unique<QtFileOperationService>(this, QtFileOperationUi::kShowProgressAfter, log_.get(),
                                                               *remote_);
    undo_ = std::make_unique<UndoActions>(this, *log_, *remote_);
    view_ = new CKirvoView(this);
    setCentralWidget(view_);
    CreatePathBar();
    controller_ = std::make_unique<WindowController>(*view_, *pathBar_, store_);
    controller_->setFileOperationService(fileOperations_.get());
    controller_->setRootAccess(remote_.get());
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
    UpdateCommandUi();
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
    connect(controller_.get(), &WindowController::readingProgress, this, [this](int permille) {
        readingProgress_->setVisible(permille >= 0);
        if (permille >= 0) readingProgress_->setValue(permille);
    });
    connect(controller_.get(), &WindowController::operationSummary, this, &CMainFrame::ShowOperationSummary);
    connect(controller_.get(), &WindowController::statusMessage, this, [this](const QString& text) {
        if (noticeTimer_->isActive()) {
            messageBehindNotice_ = text.isEmpty() ? idleMessage_ : text;
        } else {
            ShowMessage(text);
        }
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
    for (const Menu& menu : CommandTable::MainMenu()) {
        QMenu* qmenu = menuBar()->addMenu(QTr(menu.title.data()));
        connect(qmenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
        for (const MenuItem& item : menu.items) {
            if (item.isSeparator()) {
                qmenu->addSeparator();
            } else if (item.isSubMenu()) {
                QMenu* sub = qmenu->addMenu(QTr(item.subMenuTitle.data()));
                connect(sub, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUi);
                for (const MenuItem& subItem : item.subItems) {
                    if (subItem.isSeparator()) {
                        sub->addSeparator();
                    } else {
                        sub->addAction(actions_->action(subItem.id));
                    }
                }
            } else {
                qmenu->addAction(actions_->action(item.id));
            }
        }
    }
}

void CMainFrame::CreateToolBar() {
    toolBar_ = new QToolBar(QTr("Symbolleiste"), this);
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
    for (CommandId id : CommandTable::Toolbar()) {
        if (id == CommandId::None) {
            toolBar_->addSeparator();
        } else {
            toolBar_->addAction(actions_->action(id));
        }
    }
    addToolBar(Qt::TopToolBarArea, toolBar_);
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    messagePane_ = new QLabel(IdleText(), bar);
    messagePane_->setObjectName(QStringLiteral("messagePane"));
    messagePane_->setMinimumWidth(1);
    messagePane_->setTextFormat(Qt::PlainText);  // file names are no markup
    bar->addWidget(messagePane_, 1);
    // After a file operation with failures: "Details im Protokoll".
    logLink_ = new QLabel(OutputBar::LogLinkHtml(), bar);
    logLink_->setObjectName(QStringLiteral("logLink"));
    logLink_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    logLink_->setVisible(false);
    connect(logLink_, &QLabel::linkActivated, this, &CMainFrame::ShowLog);
    bar->addWidget(logLink_);
    // "Abbrechen" shows only while a comparison reads the folders.
    cancelButton_ = new QToolButton(bar);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setDefaultAction(actions_->action(CommandId::CancelComparison));
    cancelButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    cancelButton_->setVisible(false);
    readingProgress_ = new QProgressBar(bar);
    readingProgress_->setObjectName(QStringLiteral("readingProgress"));
    readingProgress_->setRange(0, 1000);
    readingProgress_->setMaximumWidth(160);
    readingProgress_->setVisible(false);
    bar->addPermanentWidget(readingProgress_);
    bar->addPermanentWidget(cancelButton_);
    filterPane_ = new QLabel(QTr("Filter"), bar);
    filterPane_->setObjectName(QStringLiteral("filterPane"));
    filterPane_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    filterPane_->setAlignment(Qt::AlignCenter);
    filterPane_->setMinimumWidth(filterPane_->fontMetrics().horizontalAdvance(filterPane_->text()) + 12);
    filterPane_->hide();
    bar->addPermanentWidget(filterPane_);
    const char* texts[] = {"UF", "NUM", "RF"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromLatin1(texts[i]), bar);
        label->setObjectName(QStringLiteral("indicator") + QString::fromLatin1(texts[i]));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("NUM")) + 12);
        bar->addPermanentWidget(label);
        indicators_[i] = label;
    }
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    noticeTimer_->setTimerType(Qt::PreciseTimer);  // two seconds, not "about" two
    connect(noticeTimer_, &QTimer::timeout, this, [this] { ShowMessage(messageBehindNotice_); });
    UpdateIndicators();
    if (lockKeys_->readable()) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
        poll->start(400);
    }
}

void CMainFrame::CreateOutputBar() {
    outputBar_ = new OutputBar(this);
    connect(outputBar_, &OutputBar::logRequested, this, &CMainFrame::ShowLog);
    addDockWidget(Qt::TopDockWidgetArea, outputBar_);
    connect(outputBar_, &QDockWidget::visibilityChanged, this, &CMainFrame::UpdateCommandUi);
}

void CMainFrame::UpdateIndicators() {
    const LockKeyState::Key keys[] = {LockKeyState::Key::Caps, LockKeyState::Key::Num,
                                      LockKeyState::Key::Scroll};
    for (int i = 0; i < 3; ++i) {
        // Lit while the lock is on; dimmed while off or when it cannot be read.
        indicators_[i]->setEnabled(lockKeys_->isOn(keys[i]).value_or(false));
    }
}

void CMainFrame::UpdateCommandUi() {
    if (controller_) controller_->UpdateCommandUi(*actions_);
    cancelButton_->setVisible(actions_->action(CommandId::CancelComparison)->isEnabled());
    UpdateFilterPane();
    actions_->setChecked(CommandId::ViewToolbar, !toolBar_->isHidden());
    actions_->setChecked(CommandId::ViewStatusBar, !statusBar()->isHidden());
    actions_->setChecked(CommandId::ViewOutputBar, !outputBar_->isHidden());
    actions_->setEnabled(CommandId::UndoLastRun, controller_ && !controller_->comparing());  // it compares again
    actions_->setEnabled(CommandId::ShowJobs, controller_ && !controller_->comparing());  // opening one changes the paths
}

void CMainFrame::UpdateFilterPane() {
    const bool active = controller_ && !controller_->pathFilter().LeavesOutNothing();
    if (active) {
        const std::string tip = FilterSettings::Description(controller_->pathFilter());
        filterPane_->setToolTip(QString::fromUtf8(tip.data(), static_cast<qsizetype>(tip.size())));
    }
    filterPane_->setVisible(active);
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
    const QString shown = messagePane_->text();
    const bool idleShown = shown == idleMessage_;
    idleMessage_ = text.isEmpty() ? IdleText() : failures > 0 ? text + QStringLiteral(" –") : text;
    logLink_->setVisible(!text.isEmpty() && failures > 0);
    outputBar_->showSummary(text, failures > 0);
    if (noticeTimer_->isActive()) {
        if (messageBehindNotice_ == shown || messageBehindNotice_.isEmpty()) messageBehindNotice_ = idleMessage_;
    } else if (idleShown || !text.isEmpty()) {
        ShowMessage(QString());
    }
}

void CMainFrame::ShowMessage(const QString& text) {
    messagePane_->setText(text.isEmpty() ? idleMessage_ : text);
    emit messageShown(messagePane_->text());
}

void CMainFrame::ShowStatusNotice() {
    // Prompts arriving meanwhile replace the text that comes back afterwards.
    if (!noticeTimer_->isActive()) messageBehindNotice_ = messagePane_->text();
    messagePane_->setText(NoticeText());
    emit messageShown(messagePane_->text());
    statusBar()->repaint();
    noticeTimer_->start(kNoticeMilliseconds);
}

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
    if (const std::optional<std::string> note = undo_->Undo(controller_->userPrompts(), id))
        controller_->CompareAgainWithNote(QString::fromUtf8(note->data(), static_cast<qsizetype>(note->size())));
}

bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (noticeTimer_ && noticeTimer_->isActive()) {
            messageBehindNotice_ = tip.isEmpty() ? idleMessage_ : tip;
        } else if (messagePane_) {
            ShowMessage(tip);
        }
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (controller_) controller_->OnCancelComparison();  // the scan ends while the window goes
    windowSize_.Store(store_);
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
