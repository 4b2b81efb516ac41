#include "app/qt/window_controller.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <algorithm>

#include "app/command_table.h"
#include "app/filter_settings.h"
#include "app/outside_run_watch.h"
#include "fileops/operation_log.h"
#include "app/profile_store.h"
#include "app/qt/command_actions.h"
#include "app/qt/file_actions.h"
#include "app/qt/filter_dialog.h"
#include "app/qt/message_box_prompts.h"
#include "app/qt/path_bar.h"
#include "app/user_prompts.h"
#include "engine/path_pattern.h"
#include "view/qt/kirvo_view.h"
#include "view/value_format.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

struct FilterCommand {
    CommandId id;
    DisplayFilterValue value;
};

constexpr FilterCommand kFilterCommands[] = {
    {CommandId::FilterAll, DisplayFilterValue::All},
    {CommandId::FilterUnequal, DisplayFilterValue::Unequal},
    {CommandId::FilterSourceToTarget, DisplayFilterValue::SourceToTarget},
    {CommandId::FilterTargetToSource, DisplayFilterValue::TargetToSource},
    {CommandId::FilterEqual, DisplayFilterValue::Equal},
};

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

WindowController::WindowController(CKirvoView& view, PathBar& pathBar, ProfileStore& store, QObject* parent)
    : QObject(parent),
      view_(view),
      pathBar_(pathBar),
      store_(store),
      ownPrompts_(std::make_unique<MessageBoxPrompts>(&view)),
      prompts_(ownPrompts_.get()),
      session_(view, pathBar, options_, pathFilter_, filter_, fileOperations_),
      fileActions_(std::make_unique<FileActions>(options_, &view)) {
    fileOperations_.setPrompts(prompts_);
    session_.setUserPrompts(prompts_);
    fileActions_->setUserPrompts(prompts_);
    fileOperations_.setNoteShown([this](const std::string& note) { emit statusMessage(FromUtf8(note)); });
    connect(&session_, &ComparisonSession::comparingChanged, this, [this] {
        if (comparing() && outsideRuns_) {  // the comparison sees what the log has so far
            outsideRuns_->SkipToEnd();
            outsideChange_ = false;
        }
        emit commandStateChanged();
    });
    connect(&session_, &ComparisonSession::statusMessage, this, &WindowController::statusMessage);
    connect(&session_, &ComparisonSession::sideTotalsShown, this, &WindowController::sideTotalsShown);
    connect(&session_, &ComparisonSession::readingProgress, this, &WindowController::readingProgress);
    connect(&session_, &ComparisonSession::ended, this, &WindowController::ShowSummary);
    connect(&session_, &ComparisonSession::finished, this, &WindowController::comparisonFinished);
    connect(&session_, &ComparisonSession::unreadablePlacesNoted, this, &WindowController::unreadablePlacesNoted);
}

WindowController::~WindowController() {
    session_.Cancel();
    if (loaded_) {
        pathBar_.SaveHistories(store_);
        options_.Save(store_);
        FilterSettings::Save(store_, pathFilter_);
    }
}

void WindowController::Load() {
    view_.OnInitialUpdate(store_.GetProfileInt(profile::kMain, profile::kWidth, 1));
    pathBar_.LoadHistories(store_);
    options_.Load(store_);
    pathFilter_ = FilterSettings::Load(store_);
    loaded_ = true;
    emit commandStateChanged();
}

void WindowController::setUserPrompts(UserPrompts* prompts) {
    prompts_ = prompts ? prompts : ownPrompts_.get();
    fileOperations_.setPrompts(prompts_);
    session_.setUserPrompts(prompts_);
    fileActions_->setUserPrompts(prompts_);
}

void WindowController::setLog(OperationLog* log) {
    fileOperations_.setLog(log);
    outsideRuns_ = log ? std::make_unique<OutsideRunWatch>(log->path()) : nullptr;
    if (!outsideRunTimer_) {
        outsideRunTimer_ = new QTimer(this);
        outsideRunTimer_->setInterval(2000);
        connect(outsideRunTimer_, &QTimer::timeout, this, &WindowController::CheckOutsideRuns);
    }
    if (log) outsideRunTimer_->start();
    else outsideRunTimer_->stop();
}

void WindowController::CheckOutsideRuns() {
    if (!outsideRuns_ || comparing()) return;  // a comparison under way: its lines are read after it
    const bool shown = view_.ShowsResult() && !matcher().sourceRoot().empty();
    if (!shown) {
        outsideRuns_->SkipToEnd();
        outsideChange_ = false;
        return;
    }
    if (outsideRuns_->Touched(matcher().sourceRoot(), matcher().targetRoot())) outsideChange_ = true;
    // Not in the middle of a question or of the window's own operation.
    if (!outsideChange_ || fileOperations_.running() || ownWork_ || QApplication::activeModalWidget() ||
        QApplication::activePopupWidget())
        return;
    outsideChange_ = false;
    session_.CompareAgainWithNote(QTr("Ein anderer Lauf hat die Ordner geändert; die Liste ist neu verglichen."));
}

void WindowController::setRootAccess(RootAccess* roots) {
    fileActions_->setRootAccess(roots);
    fileOperations_.setRootAccess(roots);
}

bool WindowController::OnCommand(CommandId cmd) {
    if (summaryShown_) {  // what the last operation did stands until the next command
        summaryShown_ = false;
        emit operationSummary(QString(), 0);
    }
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
    if (AppOptions::IsSyncCommand(cmd)) {
        OnSyncMode(AppOptions::SyncModeOf(cmd));
        return true;
    }
    if (AppOptions::IsLinksCommand(cmd)) {
        OnLinks(AppOptions::LinksOf(cmd));
        return true;
    }
    for (const FilterCommand& filter : kFilterCommands) {
        if (filter.id != cmd) continue;
        OnDisplayFilter(filter.value);
        return true;
    }
    switch (cmd) {
    case CommandId::PfadeVergleichen:
        OnPfadeVergleichen();
        return true;
    case CommandId::CancelComparison:
        OnCancelComparison();
        return true;
    case CommandId::VerifyContents:
        session_.Verify();
        return true;
    case CommandId::Synchronize:
    case CommandId::EditCopy:
    case CommandId::CopyToTarget:
    case CommandId::CopyToSource:
    case CommandId::DeleteSelected:
        RunFileOperation(cmd);
        return true;
    case CommandId::SelectAll:
        view_.SelectAllFileRows();
        return true;
    case CommandId::FilterPatterns:
        OnFilterPatterns();
        return true;
    case CommandId::BrowseSource:
        pathBar_.BrowseForPath(PathBar::Side::Source);
        return true;
    case CommandId::BrowseTarget:
        pathBar_.BrowseForPath(PathBar::Side::Target);
        return true;
    case CommandId::SwapPaths:
        pathBar_.SwapPaths();
        return true;
    case CommandId::CompareFiles:
        fileActions_->CompareFiles(view_.pointedItem());
        return true;
    case CommandId::OpenFile:
        fileActions_->Open(view_.pointedItem());
        return true;
    case CommandId::ShowInFileManager:
        fileActions_->ShowInFileManager(view_.pointedItem());
        return true;
    case CommandId::CopyPath:
        fileActions_->CopyPath(view_.pointedItem());
        return true;
    case CommandId::ExcludePath:
        OnExcludePath();
        return true;
    default:
        return false;
    }
}

void WindowController::UpdateCommandUi(CommandActions& actions) const {
    for (const CommandInfo& info : CommandTable::Commands()) {
        if (CommandTable::IsAlwaysDisabled(info.id)) actions.setEnabled(info.id, false);
    }
    const bool idle = !comparing();
    const bool rows = idle && view_.rowCount() > 0;
    const bool selection = idle && view_.hasSelectedRows();
    actions.setEnabled(CommandId::Synchronize, rows);
    actions.setEnabled(CommandId::SelectAll, rows);
    // One item of the list; what it may do with which row the context menu says.
    for (CommandId id : {CommandId::CompareFiles, CommandId::OpenFile, CommandId::ShowInFileManager,
                         CommandId::CopyPath, CommandId::ExcludePath})
        actions.setEnabled(id, rows);
    for (CommandId id : {CommandId::EditCopy, CommandId::CopyToTarget, CommandId::CopyToSource,
                         CommandId::DeleteSelected})
        actions.setEnabled(id, selection);
    // While the folders are read: no second comparison, no other paths, no
    // refilling from the engine, no change of what the scan was started with.
    actions.setEnabled(CommandId::PfadeVergleichen, idle);
    actions.setEnabled(CommandId::VerifyContents, idle);
    actions.setEnabled(CommandId::CancelComparison, comparing());
    for (CommandId id : {CommandId::BrowseSource, CommandId::BrowseTarget, CommandId::SwapPaths, CommandId::OptionSubOrdner,
                         CommandId::OptionSystemOrdner, CommandId::OptionOneSecond, CommandId::OptionStunde,
                         CommandId::FilterPatterns})
        actions.setEnabled(id, idle);
    for (CompareBy value : {CompareBy::Time, CompareBy::TimeAndSize, CompareBy::Content}) {
        actions.setEnabled(AppOptions::CompareCommand(value), idle);
        actions.setChecked(AppOptions::CompareCommand(value), options_.compareBy() == value);
    }
    for (SyncMode value : {SyncMode::Update, SyncMode::Mirror, SyncMode::TwoWay}) {
        actions.setEnabled(AppOptions::SyncCommand(value), idle);
        actions.setChecked(AppOptions::SyncCommand(value), fileOperations_.syncMode() == value);
    }
    for (LinkMode value : {LinkMode::Follow, LinkMode::Copy, LinkMode::Skip}) {
        actions.setEnabled(AppOptions::LinksCommand(value), idle);
        actions.setChecked(AppOptions::LinksCommand(value), options_.links() == value);
    }
    for (const FilterCommand& filter : kFilterCommands) {
        actions.setEnabled(filter.id, idle);
        actions.setChecked(filter.id, filter_.IsActive(filter.value));
    }
    for (const OptionInfo& info : AppOptions::Table()) {
        actions.setChecked(info.command, options_.isOn(info.option));
    }
}

// Rebuilds from the pairs the engine holds: no scan, and never the question
// for large results.
void WindowController::OnDisplayFilter(DisplayFilterValue value) {
    const WaitCursor wait;
    filter_.SetDisplayFilter(value);
    FillList();
    if (options_.beep()) prompts_->Beep(BeepKind::Done);
}

void WindowController::OnFilterPatterns() {
    if (comparing()) return;  // the running scan reads the filter
    FilterDialog dialog(pathFilter_, view_.window());
    if (dialog.exec() != QDialog::Accepted || dialog.filter() == pathFilter_) return;
    pathFilter_ = dialog.filter();
    emit commandStateChanged();  // the status pane "Filter"
    CompareAgainIfShown();       // the shown result was made under the old filter
}

void WindowController::OnExcludePath() {
    const CKirvoView::PointedItem item = view_.pointedItem();
    if (comparing() || !item.valid() || item.relativePath.empty()) return;
    std::vector<std::string> exclude = pathFilter_.excludePatterns();
    const std::string pattern = PathPattern::Exactly(item.relativePath);
    if (std::find(exclude.begin(), exclude.end(), pattern) != exclude.end()) return;
    exclude.push_back(pattern);
    PathFilter filter;
    std::string error;
    if (!PathFilter::Create(pathFilter_.includePatterns(), exclude, filter, error)) {
        prompts_->ShowWarning(error);
        return;
    }
    pathFilter_ = std::move(filter);
    emit commandStateChanged();  // the status pane "Filter"
    CompareAgainIfShown();
}

void WindowController::OnSyncMode(SyncMode value) {
    if (comparing() || fileOperations_.syncMode() == value) return;
    fileOperations_.setJobPlan(std::nullopt);  // the user's choice ends a job's run
    options_.setSyncMode(value);
    emit commandStateChanged();
    CompareAgainIfShown();  // the list shows the plan of the mode
}

void WindowController::OnCompareBy(CompareBy value) {
    if (comparing() || options_.compareBy() == value) return;
    options_.setCompareBy(value);
    emit commandStateChanged();
    CompareAgainIfShown();
}

// The shown list was made with the old setting, and the file operations
// act as the list shows links: it is made anew.
void WindowController::OnLinks(LinkMode value) {
    if (comparing() || options_.links() == value) return;
    options_.setLinks(value);
    emit commandStateChanged();
    CompareAgainIfShown();
}

void WindowController::RunFileOperation(CommandId cmd) {
    if (comparing()) return;
    const std::vector<int> selectedRows = view_.selectedRows();
    const std::vector<size_t> selected(selectedRows.begin(), selectedRows.end());
    const ResultRows& rows = view_.rows();
    const TreeMatcher& matcher = session_.comparison().matcher();
    OperationOutcome outcome;
    switch (cmd) {
    case CommandId::Synchronize: outcome = fileOperations_.Synchronize(rows, matcher); break;
    case CommandId::EditCopy: outcome = fileOperations_.CopySelected(rows, selected, matcher); break;
    case CommandId::CopyToTarget: outcome = fileOperations_.CopyInDirection(rows, selected, matcher, 1); break;
    case CommandId::CopyToSource: outcome = fileOperations_.CopyInDirection(rows, selected, matcher, -1); break;
    case CommandId::DeleteSelected: outcome = fileOperations_.DeleteSelected(rows, selected, matcher); break;
    default: return;
    }
    if (!outcome.compareAgain) return;
    summaryPending_ = true;
    // After a sync only what it touched is looked at again where that tells
    // all; F5 and the other commands compare both trees again.
    const QString note = FromUtf8(outcome.note);
    if (cmd == CommandId::Synchronize && session_.LookAgainAfterRun(note)) return;
    if (!session_.CompareAgainWithNote(note)) ShowSummary();
}

void WindowController::ShowSummary() {
    if (!summaryPending_) return;
    summaryPending_ = false;
    const RunResult& result = fileOperations_.lastResult();
    summaryShown_ = true;
    emit operationSummary(FromUtf8(result.Summary()), result.Count(FileOutcome::Failed));
}

void WindowController::CompareAgainWithNote(const QString& note) { session_.CompareAgainWithNote(note); }

void WindowController::CompareJob(JobPlan plan, const QString& note) {
    if (comparing()) return;
    if (summaryShown_) {  // a new command begins
        summaryShown_ = false;
        emit operationSummary(QString(), 0);
    }
    fileOperations_.setJobPlan(std::move(plan));
    emit commandStateChanged();
    session_.CompareAgainWithNote(note);
}

}  // namespace kirvo
