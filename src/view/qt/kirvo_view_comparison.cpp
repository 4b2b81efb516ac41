// CKirvoView: "Pfade vergleichen" and what follows it. The folders are read
// on a worker thread (ComparisonRun) while the window stays responsive:
// progress in the bar "Ausgabe" and the status bar, "Abbrechen" and Escape
// stop it. Only the scan leaves the user-interface thread; the question for
// large results, the filling with its progress and the marks stay on it, as
// does everything that touches a widget.
#include <QFile>

#include "app/qt/output_bar.h"
#include "app/qt/path_bar.h"
#include "app/user_prompts.h"
#include "engine/scan_progress.h"
#include "view/qt/comparison_run.h"
#include "view/qt/kirvo_view.h"
#include "view/qt/list_fill_progress.h"
#include "view/qt/result_list_model.h"
#include "view/selection_stats.h"

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
    RunOptions run;
    run.excludeSubFolders = options_.subOrdner();
    run.excludeSystemFolders = options_.systemOrdner();
    run.twoSecondTolerance = options_.oneSecond();
    run.filter = pathFilter_.LeavesOutNothing() ? nullptr : &pathFilter_;
    run.parallel = options_.parallel();
    run.progress = scanProgress_.get();
    run.listers = listers_;
    std::string source = QFile::encodeName(sourceText).toStdString();
    std::string target = QFile::encodeName(targetText).toStdString();

    ComparisonRun::Phase scan;
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
    SetComparing(true);
    comparison_->Start({std::move(scan)});
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

void CKirvoView::OnComparisonFinished(bool cancelled) {
    busyCursor_.reset();  // the wait cursor takes over for the filling
    if (!cancelled && !rootProblem_.empty()) {
        // A root out of reach, or a listing cut short: no list that would show its files as missing.
        matcher_.Clear();
        FillList();
        emit statusMessage(QStringLiteral("Vergleich abgebrochen."));
        prompts_->ShowWarning(rootProblem_);
    } else if (cancelled) {
        matcher_.Clear();
        emit statusMessage(QStringLiteral("Vergleich abgebrochen."));
        FillList();
    } else {
        emit statusMessage(QString());
        const WaitCursor wait;
        if (options_.ueber5000() && matcher_.pairCount() > kLargeResult) {
            if (options_.beep()) prompts_->Beep(BeepKind::Question);
            if (!prompts_->AskOkCancel(kLargeResultQuestion)) matcher_.Clear();
        }
        FillList();
        if (options_.beep()) prompts_->Beep(BeepKind::Done);
    }
    scanProgress_.reset();
    SetComparing(false);
    emit comparisonFinished();
}

void CKirvoView::FillList() { FillRows(matcher_.pairs(), matcher_.sourceRoot(), matcher_.targetRoot()); }

void CKirvoView::FillListFrom(std::span<const FilePair> pairs, const std::string& sourceRoot,
                              const std::string& targetRoot) {
    FillRows(pairs, sourceRoot, targetRoot);
}

void CKirvoView::FillRows(std::span<const FilePair> pairs, const std::string& sourceRoot,
                          const std::string& targetRoot) {
    if (!resultModel_) return;
    if (model() != resultModel_) setModel(resultModel_);
    OutputBar* bar = OutputBar::Published();
    ListFillProgress progress(bar, pathBar_.data());
    resultModel_->Rebuild(pairs, sourceRoot, targetRoot, filter_, &progress);
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
