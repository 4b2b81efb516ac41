// CKirvoView: "Pfade vergleichen" and what follows it. The folders are read
// on a worker thread (ComparisonRun) while the window stays responsive:
// progress in the bar "Ausgabe" and the status bar, "Abbrechen" and Escape
// stop it. Comparing by content, the reading of the files follows as a phase
// of its own, with bytes read of the total. Only the scan and the reading
// leave the user-interface thread; the question for large results, the
// filling with its progress and the marks stay on it, as does everything
// that touches a widget.
#include <QFile>
#include <algorithm>

#include "app/qt/output_bar.h"
#include "app/qt/path_bar.h"
#include "app/user_prompts.h"
#include "engine/content_progress.h"
#include "engine/scan_progress.h"
#include "view/qt/comparison_run.h"
#include "view/qt/kirvo_view.h"
#include "view/qt/list_fill_progress.h"
#include "view/qt/result_list_model.h"
#include "view/selection_stats.h"
#include "view/value_format.h"

namespace kirvo {
namespace {

constexpr const char* kLargeResultQuestion =
    "Es wurden mehr als 5000 Vergleiche gemacht . Das verlangsamt die Anzeige und das später darauf "
    "folgende Löschen der Anzeige sehr ! Trotzdem anzeigen ?";
constexpr int32_t kLargeResult = 5000;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void CKirvoView::OnPfadeVergleichen() {
    if (!pathBar_ || comparing_) return;
    const QString sourceText = pathBar_->text(PathBar::Side::Source);
    const QString targetText = pathBar_->text(PathBar::Side::Target);
    if (sourceText.isEmpty() || targetText.isEmpty()) return;
    pathBar_->UpdateHistories();

    // No row may point into the engine while it runs or after it is cleared.
    if (resultModel_) resultModel_->Clear();
    scanProgress_ = std::make_unique<ScanProgress>();
    contentProgress_ = std::make_unique<ContentProgress>();
    contentsStopped_ = false;
    RunOptions run;
    run.excludeSubFolders = options_.subOrdner();
    run.excludeSystemFolders = options_.systemOrdner();
    run.twoSecondTolerance = options_.oneSecond();
    run.ignoreHour = options_.stunde();
    run.compareBy = options_.compareBy();
    run.filter = pathFilter_.LeavesOutNothing() ? nullptr : &pathFilter_;
    run.parallel = options_.parallel();
    run.progress = scanProgress_.get();
    run.listers = listers_;
    run.deferContents = true;  // a phase of its own, below
    run.contentProgress = contentProgress_.get();
    run.readers = readers_;
    std::string source = QFile::encodeName(sourceText).toStdString();
    std::string target = QFile::encodeName(targetText).toStdString();

    std::vector<ComparisonRun::Phase> phases(1);
    ComparisonRun::Phase& scan = phases[0];
    rootProblem_.clear();
    scan.work = [this, source, target, run]() mutable {
        if (rootPreparation_.prepare) {
            for (const std::string* root : {&source, &target}) {
                rootProblem_ = rootPreparation_.prepare(*root);
                if (!rootProblem_.empty()) return;
            }
        }
        matcher_.Run(source, target, run);
        if (rootPreparation_.check && !run.progress->stopRequested()) rootProblem_ = rootPreparation_.check();
    };
    scan.showProgress = [this] { ShowScanProgress(); };
    ScanProgress* progress = scanProgress_.get();
    scan.cancel = [this, progress] {
        progress->RequestStop();
        if (rootPreparation_.cancel) rootPreparation_.cancel();
    };
    if (run.compareBy == CompareBy::Content) {
        ComparisonRun::Phase contents;
        contents.work = [this] {
            if (rootProblem_.empty()) contentsStopped_ = !matcher_.CompareContents();
        };
        contents.showProgress = [this] { ShowContentProgress(); };
        ContentProgress* reading = contentProgress_.get();
        contents.cancel = [reading] { reading->RequestStop(); };
        phases.push_back(std::move(contents));
    }
    SetComparing(true);
    comparison_->Start(std::move(phases));
}

void CKirvoView::OnCancelComparison() {
    if (comparison_->running()) comparison_->Cancel();
}

void CKirvoView::SetComparing(bool comparing) {
    comparing_ = comparing;
    if (comparing) {
        busyCursor_.emplace(Qt::BusyCursor);  // the window still takes input
    } else {
        busyCursor_.reset();
    }
    if (pathBar_) pathBar_->setEnabled(!comparing);
    viewport()->setAcceptDrops(!comparing);
    emit commandStateChanged();
}

void CKirvoView::ShowScanProgress() {
    if (!scanProgress_) return;
    if (OutputBar* bar = OutputBar::Published()) {
        for (Side side : {kSourceSide, kTargetSide}) {
            const QString text = QStringLiteral("%1 Dateien gefunden").arg(scanProgress_->files(side));
            bar->setFieldText(side == kSourceSide ? OutputBar::kSourceTotals : OutputBar::kTargetTotals, text);
        }
    }
    const std::string folder = scanProgress_->currentFolder();
    if (!folder.empty()) emit statusMessage(QStringLiteral("Lese ") + QFile::decodeName(folder.c_str()));
}

void CKirvoView::ShowContentProgress() {
    if (!contentProgress_) return;
    const int64_t total = contentProgress_->bytesTotal();
    const int64_t done = std::min(contentProgress_->bytesDone(), total);
    const std::string text = "Vergleiche Inhalte: " + FormatTotalSize(static_cast<double>(done)) + " von " +
                             FormatTotalSize(static_cast<double>(total)) + " gelesen – " +
                             contentProgress_->currentFile();
    emit statusMessage(QFile::decodeName(text.c_str()));
    emit contentProgress(total > 0 ? static_cast<int>(done * 1000 / total) : 0);
    if (OutputBar* bar = OutputBar::Published()) {
        const QString files = QStringLiteral("Inhalte: %1 von %2 Dateien verglichen")
                                  .arg(contentProgress_->pairsDone())
                                  .arg(contentProgress_->pairsTotal());
        bar->setFieldText(OutputBar::kSourceTotals, files);
        bar->setFieldText(OutputBar::kTargetTotals, files);
    }
}

void CKirvoView::OnComparisonFinished(bool cancelled) {
    busyCursor_.reset();  // the wait cursor takes over for the filling
    emit contentProgress(-1);
    // Stopped while the folders were read: nothing to show. Stopped while
    // contents were read: the engine went back to the comparison by time.
    // A root out of reach, or a listing cut short: no list that would show
    // its files as missing, and a warning that says why.
    const bool stoppedScan = cancelled && scanProgress_->stopRequested();
    if (!rootProblem_.empty() && !stoppedScan) {
        matcher_.Clear();
        FillList();
        emit statusMessage(QStringLiteral("Vergleich abgebrochen."));
        prompts_->ShowWarning(rootProblem_);
    } else if (stoppedScan) {
        matcher_.Clear();
        emit statusMessage(QStringLiteral("Vergleich abgebrochen."));
        FillList();
    } else {
        if (contentsStopped_) {
            emit statusMessage(QStringLiteral("Inhaltsvergleich abgebrochen: die Liste zeigt den Vergleich nach "
                                              "Änderungszeit."));
        } else {
            emit statusMessage(noteAfterComparison_);
        }
        const WaitCursor wait;
        if (options_.ueber5000() && matcher_.pairCount() > kLargeResult) {
            if (options_.beep()) prompts_->Beep(BeepKind::Question);
            if (!prompts_->AskOkCancel(kLargeResultQuestion)) matcher_.Clear();
        }
        FillList();
        if (options_.beep()) prompts_->Beep(BeepKind::Done);
        if (!matcher_.unknownPlaces().empty())
            prompts_->ShowWarning(
                UnknownPlacesWarning(matcher_.unknownPlaces(), matcher_.sourceRoot(), matcher_.targetRoot()));
    }
    noteAfterComparison_.clear();
    scanProgress_.reset();
    contentProgress_.reset();
    SetComparing(false);
    emit comparisonFinished();
}

void CKirvoView::FillList() { FillRows(matcher_.pairs(), matcher_.sourceRoot(), matcher_.targetRoot(), &matcher_); }

void CKirvoView::FillListFrom(std::span<const FilePair> pairs, const std::string& sourceRoot,
                              const std::string& targetRoot) {
    FillRows(pairs, sourceRoot, targetRoot, nullptr);
}

void CKirvoView::FillRows(std::span<const FilePair> pairs, const std::string& sourceRoot,
                          const std::string& targetRoot, const TreeMatcher* reasons) {
    if (!resultModel_) return;
    if (model() != resultModel_) setModel(resultModel_);
    OutputBar* bar = OutputBar::Published();
    ListFillProgress progress(bar, pathBar_.data());
    if (reasons) {
        resultModel_->Rebuild(*reasons, filter_, &progress);
    } else {
        resultModel_->Rebuild(pairs, sourceRoot, targetRoot, filter_, &progress);
    }
    if (bar) {
        const ResultRows& rows = resultModel_->rows();
        bar->setFieldText(OutputBar::kSourceTotals, FromUtf8(rows.SourceSummaryText()), true);
        bar->setFieldText(OutputBar::kTargetTotals, FromUtf8(rows.TargetSummaryText()), true);
    }
    UpdateSelectionStats();
    emit commandStateChanged();
}

void CKirvoView::UpdateSelectionStats() {
    OutputBar* bar = OutputBar::Published();
    if (!bar || !resultModel_) return;
    const SelectionStats stats(resultModel_->rows());
    bar->setFieldText(OutputBar::kSourceSelection, FromUtf8(stats.SourceText()), true);
    bar->setFieldText(OutputBar::kTargetSelection, FromUtf8(stats.TargetText()), true);
}

// Rebuilds from the pairs the engine holds: no scan, and never the question
// for large results.
void CKirvoView::OnDisplayFilter(DisplayFilterValue value) {
    const WaitCursor wait;
    filter_.SetDisplayFilter(value);
    FillList();
    if (options_.beep()) prompts_->Beep(BeepKind::Done);
}

}  // namespace kirvo
