#include "view/qt/comparison_controller.h"

#include <QFile>

#include "engine/content_progress.h"
#include "engine/scan_progress.h"
#include "sync/pair_content_memory.h"
#include "view/qt/comparison_run.h"

namespace kirvo {

struct ComparisonController::Run {
    std::optional<PathFilter> filter;
    ScanProgress scanning;
    ContentProgress reading;
    ComparisonOutcome outcome;  // written by the worker, read once it has finished
    std::unique_ptr<PairContentMemory> memory;  // comparing by content: the pair's hashes read before
};

ComparisonController::ComparisonController(QObject* parent) : QObject(parent), run_(new ComparisonRun(this)) {
    connect(run_, &ComparisonRun::finished, this, &ComparisonController::OnRunFinished);
}

ComparisonController::~ComparisonController() {
    delete run_;  // stops a scan under way before the engine goes
    run_ = nullptr;
}

bool ComparisonController::running() const { return run_->running(); }

bool ComparisonController::Start(Root source, Root target, RunOptions options, std::optional<PathFilter> filter,
                                 ContentsPhase contents) {
    if (running()) return false;
    state_ = std::make_shared<Run>();
    Run* run = state_.get();
    run->filter = std::move(filter);
    options.filter = run->filter && !run->filter->LeavesOutNothing() ? &*run->filter : nullptr;
    options.progress = &run->scanning;
    options.listers = listers_;
    options.deferContents = true;  // a phase of its own, below
    options.contentProgress = &run->reading;
    options.readers = readers_;

    std::vector<ComparisonRun::Phase> phases(1);
    ComparisonRun::Phase& scan = phases[0];
    run->outcome.source = std::move(source);
    run->outcome.target = std::move(target);
    scan.work = [this, run, options]() mutable {
        for (Root* root : {&run->outcome.source, &run->outcome.target}) {
            if (!preparation_.prepare) {
                root->Inspect();
                continue;
            }
            run->outcome.rootProblem = preparation_.prepare(*root);
            if (!run->outcome.rootProblem.empty()) return;
        }
        run->memory = RememberedContent(options.compareBy, run->outcome.source, run->outcome.target);
        options.contentMemory = run->memory.get();
        matcher_.Run(run->outcome.source, run->outcome.target, options);
        if (preparation_.check && !run->scanning.stopRequested()) run->outcome.rootProblem = preparation_.check();
    };
    scan.showProgress = [this, run] {
        emit scanProgress(run->scanning.files(kSourceSide), run->scanning.files(kTargetSide),
                          QFile::decodeName(run->scanning.currentFolder().c_str()));
    };
    scan.cancel = [this, run] {
        run->scanning.RequestStop();
        if (preparation_.cancel) preparation_.cancel();
    };
    if (options.compareBy == CompareBy::Content || contents) {
        ComparisonRun::Phase phase;
        phase.work = [this, run, read = std::move(contents)] {
            if (!run->outcome.rootProblem.empty()) return;
            if (read) {
                read(matcher_, run->outcome.source, run->outcome.target, run->reading);
                run->outcome.contentsStopped = run->reading.stopRequested();
                return;
            }
            run->outcome.contentsStopped = !matcher_.CompareContents();
            if (run->memory) run->memory->Save();
        };
        phase.showProgress = [this, run] {
            const ContentProgress& reading = run->reading;
            emit contentProgress(reading.bytesDone(), reading.bytesTotal(), reading.pairsDone(), reading.pairsTotal(),
                                 QFile::decodeName(reading.currentFile().c_str()));
        };
        phase.cancel = [run] { run->reading.RequestStop(); };
        phases.push_back(std::move(phase));
    }
    return run_->Start(std::move(phases));
}

void ComparisonController::Cancel() {
    if (running()) run_->Cancel();
}

void ComparisonController::OnRunFinished(bool cancelled) {
    ComparisonOutcome outcome = state_->outcome;
    outcome.scanStopped = cancelled && state_->scanning.stopRequested();
    emit finished(outcome);
}

}  // namespace kirvo
