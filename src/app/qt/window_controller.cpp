#include "app/qt/window_controller.h"

#include <QFile>
#include <algorithm>
#include <tuple>

#include "app/command_table.h"
#include "app/filter_settings.h"
#include "app/profile_store.h"
#include "app/qt/command_actions.h"
#include "app/qt/file_actions.h"
#include "app/qt/filter_dialog.h"
#include "app/qt/message_box_prompts.h"
#include "app/qt/path_bar.h"
#include "app/user_prompts.h"
#include "engine/path_pattern.h"
#include "fileops/operation_summary.h"
#include "platform/path_limits.h"
#include "view/qt/kirvo_view.h"
#include "view/value_format.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

constexpr const char* kLargeResultQuestion =
    TrNoop("Es wurden mehr als 5000 Vergleiche gemacht . Das verlangsamt die Anzeige und das später darauf "
           "folgende Löschen der Anzeige sehr ! Trotzdem anzeigen ?");
constexpr int32_t kLargeResult = 5000;

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
      fileActions_(std::make_unique<FileActions>(options_, &view)) {
    fileOperations_.setPrompts(prompts_);
    fileActions_->setUserPrompts(prompts_);
    fileOperations_.setNoteShown([this](const std::string& note) {
        noteAfterComparison_ = FromUtf8(note);
        emit statusMessage(noteAfterComparison_);
    });
    connect(&comparison_, &ComparisonController::scanProgress, this, &WindowController::ShowScanProgress);
    connect(&comparison_, &ComparisonController::contentProgress, this, &WindowController::ShowContentProgress);
    connect(&comparison_, &ComparisonController::finished, this, &WindowController::OnComparisonFinished);
}

WindowController::~WindowController() {
    comparison_.Cancel();
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
    fileActions_->setUserPrompts(prompts_);
}

void WindowController::setRootAccess(RootAccess* roots) { fileActions_->setRootAccess(roots); }

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
    const bool idle = !comparing_;
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
    actions.setEnabled(CommandId::CancelComparison, comparing_);
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
        actions.setChecked(AppOptions::SyncCommand(value), options_.syncMode() == value);
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

void WindowController::OnPfadeVergleichen() {
    if (comparing_) return;
    const QString sourceText = pathBar_.text(PathBar::Side::Source);
    const QString targetText = pathBar_.text(PathBar::Side::Target);
    if (sourceText.isEmpty() || targetText.isEmpty()) return;
    const QByteArray sourcePath = QFile::encodeName(sourceText);
    const QByteArray targetPath = QFile::encodeName(targetText);
    // A path the system would refuse is said so, never compared: its side
    // would read as empty.
    for (const QByteArray* path : {&sourcePath, &targetPath}) {
        if (static_cast<size_t>(path->size()) <= kMaxPathBytes || path->startsWith("sftp://")) continue;
        const QString text = (path == &sourcePath ? QTr("Der Pfad der Quelle ist zu lang: %1 Bytes, das "
                                                                   "System nimmt höchstens %2.\n\n%3\n\nEs wird nicht "
                                                                   "verglichen.")
                                                  : QTr("Der Pfad des Ziels ist zu lang: %1 Bytes, das "
                                                                   "System nimmt höchstens %2.\n\n%3\n\nEs wird nicht "
                                                                   "verglichen."))
                                 .arg(path->size())
                                 .arg(kMaxPathBytes)
                                 .arg((path == &sourcePath ? sourceText : targetText).left(120) + QStringLiteral(" …"));
        prompts_->ShowWarning(text.toStdString());
        return;
    }
    // Each root parsed once, here; an address that is no valid one goes no further.
    std::string why;
    std::optional<Root> source = Root::Parse(sourcePath.toStdString(), &why);
    std::optional<Root> target = source ? Root::Parse(targetPath.toStdString(), &why) : std::nullopt;
    if (!source || !target) {
        prompts_->ShowWarning(why);
        return;
    }
    comparedTexts_ = {sourceText, targetText};

    // No row, and no plan, may point into the engine while it runs or after it is cleared.
    view_.Clear();
    fileOperations_.sync().Drop();
    RunOptions run;
    run.excludeSubFolders = options_.subOrdner();
    run.excludeSystemFolders = options_.systemOrdner();
    run.twoSecondTolerance = options_.oneSecond();
    run.ignoreHour = options_.stunde();
    run.compareBy = options_.compareBy();
    run.links = options_.links();
    run.parallel = options_.parallel();
    run.identities = options_.syncMode() != SyncMode::Update;  // renames and replaced files are told by them
    if (!comparison_.Start(std::move(*source), std::move(*target), run, pathFilter_)) return;
    SetComparing(true);
}

void WindowController::OnCancelComparison() { comparison_.Cancel(); }

void WindowController::SetComparing(bool comparing) {
    comparing_ = comparing;
    if (comparing) {
        busyCursor_.emplace(Qt::BusyCursor);  // the window still takes input
    } else {
        busyCursor_.reset();
    }
    pathBar_.setEnabled(!comparing);
    view_.viewport()->setAcceptDrops(!comparing);
    emit commandStateChanged();
}

void WindowController::ShowScanProgress(qint64 sourceFiles, qint64 targetFiles, const QString& folder) {
    emit sideTotalsShown(kSourceSide, QTrN("%1 Dateien gefunden", "%1 Dateien gefunden", static_cast<uint64_t>(sourceFiles)).arg(sourceFiles));
    emit sideTotalsShown(kTargetSide, QTrN("%1 Dateien gefunden", "%1 Dateien gefunden", static_cast<uint64_t>(targetFiles)).arg(targetFiles));
    if (!folder.isEmpty()) emit statusMessage(QTr("Lese %1").arg(folder));
}

void WindowController::ShowContentProgress(qint64 bytesDone, qint64 bytesTotal, qint64 pairsDone, qint64 pairsTotal,
                                           const QString& file) {
    const int64_t done = std::min(bytesDone, bytesTotal);
    const std::string amounts = Format(Tr("Vergleiche Inhalte: %s von %s gelesen – "),
                                       FormatTotalSize(static_cast<double>(done)),
                                       FormatTotalSize(static_cast<double>(bytesTotal)));
    emit statusMessage(FromUtf8(amounts) + file);
    emit readingProgress(bytesTotal > 0 ? static_cast<int>(done * 1000 / bytesTotal) : 0);
    const QString files = QTr("Inhalte: %1 von %2 Dateien verglichen").arg(pairsDone).arg(pairsTotal);
    emit sideTotalsShown(kSourceSide, files);
    emit sideTotalsShown(kTargetSide, files);
}

void WindowController::OnComparisonFinished(const ComparisonOutcome& outcome) {
    busyCursor_.reset();  // the wait cursor takes over for the filling
    emit readingProgress(-1);
    TreeMatcher& matcher = comparison_.matcher();
    // The histories keep what was there; a typo or an unplugged drive is said, and not kept.
    std::string missing;
    for (const auto& [side, root, text] : {std::tuple{PathBar::Side::Source, &outcome.source, comparedTexts_[0]},
                                           std::tuple{PathBar::Side::Target, &outcome.target, comparedTexts_[1]}}) {
        if (root->state() == Root::State::Missing) {
            if (!missing.empty()) missing += '\n';
            missing += Format(side == PathBar::Side::Source ? Tr("Die Quelle %s Sie wird als leerer Ordner verglichen.")
                                                            : Tr("Das Ziel %s Es wird als leerer Ordner verglichen."),
                              root->MissingText());
        } else if (root->state() != Root::State::Unchecked) {
            pathBar_.UpdateHistory(side, text);
        }
    }
    fileOperations_.setRoots(outcome.source, outcome.target);
    // Stopped while the folders were read: nothing to show. Stopped while
    // contents were read: the engine went back to the comparison by time.
    // A root out of reach, or a listing cut short: no list that would show
    // its files as missing, and a warning that says why.
    if (!outcome.rootProblem.empty() || outcome.scanStopped) fileOperations_.sync().Finish(nullptr);
    if (!outcome.rootProblem.empty() && !outcome.scanStopped) {
        matcher.Clear();
        FillList();
        emit statusMessage(QTr("Vergleich abgebrochen."));
        prompts_->ShowWarning(outcome.rootProblem);
    } else if (outcome.scanStopped) {
        matcher.Clear();
        emit statusMessage(QTr("Vergleich abgebrochen."));
        FillList();
    } else {
        if (outcome.contentsStopped) {
            emit statusMessage(QTr("Inhaltsvergleich abgebrochen: die Liste zeigt den Vergleich nach "
                                              "Änderungszeit."));
        } else {
            emit statusMessage(noteAfterComparison_);
        }
        const WaitCursor wait;
        PlanShownResult();
        if (options_.ueber5000() && matcher.pairCount() > kLargeResult) {
            if (options_.beep()) prompts_->Beep(BeepKind::Question);
            if (!prompts_->AskOkCancel(Tr(kLargeResultQuestion))) {
                fileOperations_.sync().Drop();
                matcher.Clear();
            }
        }
        FillList();
        if (options_.beep()) prompts_->Beep(BeepKind::Done);
        if (!matcher.unknownPlaces().empty()) {
            if (!missing.empty()) missing += "\n\n";
            missing += UnknownPlacesWarning(matcher.unknownPlaces(), matcher.sourceRoot(), matcher.targetRoot());
        }
        if (!missing.empty()) prompts_->ShowWarning(missing);
    }
    noteAfterComparison_.clear();
    SetComparing(false);
    emit comparisonFinished();
}

void WindowController::FillList() { view_.Fill(comparison_.matcher(), filter_, fileOperations_.sync().plan()); }

void WindowController::PlanShownResult() {
    SyncController& sync = fileOperations_.sync();
    const TreeMatcher& matcher = comparison_.matcher();
    if (const std::string warning = sync.Finish(&matcher); !warning.empty()) prompts_->ShowWarning(warning);
    const StoreError error = sync.Prepare(matcher, pathFilter_);
    if (!error || error.kind == StoreError::Kind::Busy) return;
    if (options_.beep()) prompts_->Beep(BeepKind::Question);
    const std::string question = SyncController::AfreshQuestion(error);
    if (question.empty()) {
        prompts_->ShowWarning(error.message);
        return;
    }
    if (!prompts_->AskOkCancel(error.message + question)) return;
    std::string notice;
    if (const StoreError again = sync.StartAfresh(matcher, pathFilter_, &notice))
        prompts_->ShowWarning(again.message);
    else if (!notice.empty())
        emit statusMessage(FromUtf8(notice));
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
    if (comparing_) return;  // the running scan reads the filter
    FilterDialog dialog(pathFilter_, view_.window());
    if (dialog.exec() != QDialog::Accepted || dialog.filter() == pathFilter_) return;
    pathFilter_ = dialog.filter();
    emit commandStateChanged();  // the status pane "Filter"
    CompareAgainIfShown();       // the shown result was made under the old filter
}

void WindowController::OnExcludePath() {
    const CKirvoView::PointedItem item = view_.pointedItem();
    if (comparing_ || !item.valid() || item.relativePath.empty()) return;
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

void WindowController::CompareAgainIfShown() {
    if (view_.ShowsResult() && !comparison_.matcher().sourceRoot().empty()) OnPfadeVergleichen();
}

void WindowController::OnSyncMode(SyncMode value) {
    if (comparing_ || options_.syncMode() == value) return;
    options_.setSyncMode(value);
    emit commandStateChanged();
    CompareAgainIfShown();  // the list shows the plan of the mode
}

void WindowController::OnCompareBy(CompareBy value) {
    if (comparing_ || options_.compareBy() == value) return;
    options_.setCompareBy(value);
    emit commandStateChanged();
    CompareAgainIfShown();
}

// The shown list was made with the old setting, and the file operations
// act as the list shows links: it is made anew.
void WindowController::OnLinks(LinkMode value) {
    if (comparing_ || options_.links() == value) return;
    options_.setLinks(value);
    emit commandStateChanged();
    CompareAgainIfShown();
}

void WindowController::RunFileOperation(CommandId cmd) {
    if (comparing_) return;
    const std::vector<int> selectedRows = view_.selectedRows();
    const std::vector<size_t> selected(selectedRows.begin(), selectedRows.end());
    const ResultRows& rows = view_.rows();
    const TreeMatcher& matcher = comparison_.matcher();
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
    const OperationSummary::Kind kind =
        cmd == CommandId::DeleteSelected ? OperationSummary::Kind::Delete : OperationSummary::Kind::Copy;
    const OperationSummary summary = outcome.kinds.empty() ? OperationSummary(kind, outcome.results)
                                                           : OperationSummary(outcome.kinds, outcome.results, kind);
    summaryShown_ = true;
    emit operationSummary(FromUtf8(summary.text()), summary.failures());
    CompareAgainWithNote(FromUtf8(outcome.note));
}

void WindowController::CompareAgainWithNote(const QString& note) {
    if (comparing_) return;
    noteAfterComparison_ = note;
    OnPfadeVergleichen();
    if (comparing_) return;
    noteAfterComparison_.clear();  // no comparison started: the note stands as it is
    if (!note.isEmpty()) emit statusMessage(note);
}

}  // namespace kirvo
