#include "app/file_operation_controller.h"

#include <memory>

#include "app/app_options.h"
#include "app/job_run.h"
#include "app/selection_use_case.h"
#include "app/user_prompts.h"
#include "engine/path_filter.h"
#include "engine/tree_matcher.h"
#include "platform/root_access.h"
#include "platform/translation.h"
#include "view/result_rows.h"

namespace kirvo {
namespace {

// Set while a command runs; the service's dialogs run the event loop, and no
// second command may start inside the first.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

// Without a service nothing is copied, deleted or renamed (and the comparison still runs again).
class NoFileOperations final : public FileOperationService {
public:
    OperationResult copy(std::span<const CopyPair>, const CopyFlags&) override { return {}; }
    OperationResult remove(std::span<const ListedPath>, const DeleteFlags&) override { return {}; }
    OperationResult move(std::span<const MovePair>) override { return {}; }
    OperationResult removeEmptyFolders(std::span<const RootedPath>) override { return {}; }
};

// Beyond update, the conflicts a synchronisation left as they are: named once
// it is over, so that a summary without errors does not read as "all in line".
std::string ConflictsLeftNote(const RunResult& result) {
    const size_t n = result.conflicts.size();
    if (n == 0) return {};
    return Format(TrN("%d Konflikt bleibt, wie er ist", "%d Konflikte bleiben, wie sie sind", n), n) +
           Format(TrN(" („%s“%s); \"Nach rechts kopieren\" oder \"Nach links kopieren\" löst ihn.",
                      " („%s“%s); \"Nach rechts kopieren\" oder \"Nach links kopieren\" löst sie.", n),
                  result.conflicts.front().path, n > 1 ? " …" : "");
}

}  // namespace

// The use cases' questions as message boxes, each after the question sound when "Beep" is on.
class FileOperationController::Questions final : public SelectionQuestions {
public:
    Questions(UserPrompts& prompts, bool beep, const std::function<void(const std::string&)>& tell)
        : prompts_(prompts), beep_(beep), tell_(tell) {}
    bool Confirm(Kind kind, const std::string& text) override {
        if (beep_) prompts_.Beep(BeepKind::Question);
        return kind == Kind::Guard || kind == Kind::MakeRoot ? prompts_.AskOkCancel(text) : prompts_.AskOkCancelNoIcon(text);
    }
    bool ConfirmPlan(SyncPlanSummary& plan) override {
        if (!prompts_.ShowsPlans()) return SyncQuestions::ConfirmPlan(plan);
        if (beep_) prompts_.Beep(BeepKind::Question);
        return prompts_.ConfirmSyncPlan(plan);
    }
    int32_t ConflictDirection(const std::string& question) override {
        if (beep_) prompts_.Beep(BeepKind::Question);
        switch (prompts_.AskConflictDirection(question)) {
        case ConflictChoice::ToTarget: return 1;
        case ConflictChoice::ToSource: return -1;
        case ConflictChoice::Skip: break;
        }
        return 0;
    }
    void Tell(const std::string& text) override {
        if (tell_) tell_(text);
    }
    void Warn(const std::string& text) override { prompts_.ShowWarning(text); }

private:
    UserPrompts& prompts_;
    bool beep_;
    const std::function<void(const std::string&)>& tell_;
};

FileOperationController::FileOperationController(const AppOptions& options)
    : options_(options), roots_(&RootAccess::Local()) {}

FileOperationController::~FileOperationController() = default;

void FileOperationController::setRootAccess(RootAccess* roots) { roots_ = roots ? roots : &RootAccess::Local(); }

CopyFlags FileOperationController::copyFlags() const {
    CopyFlags flags{options_.vorUeberschreiben(), options_.vorDir(), options_.papierkorb(), options_.links()};
    flags.verify = options_.pruefen();
    return flags;
}

DeleteFlags FileOperationController::deleteFlags() const {
    return DeleteFlags{options_.vorLoeschen(), options_.papierkorb(), options_.links()};
}

FileOperationService& FileOperationController::Service() {
    static NoFileOperations none;
    return service_ ? *service_ : none;
}

SyncMode FileOperationController::syncMode() const { return job_ ? job_->mode : options_.syncMode(); }

const SyncRequest& FileOperationController::BeginComparison(const PathFilter& filter, const Root& source,
                                                            const Root& target) {
    if (job_ && !job_->Covers(source.location(), target.location())) job_.reset();
    SyncRequest request;
    // A snapshot is never synchronised: the list shows the comparison, no plan with a state.
    request.mode = source.snapshot() || target.snapshot() ? SyncMode::Update : syncMode();
    if (job_) {
        request.sides = job_->sides;
        request.limit = job_->limit;
    }
    request.scan.excludeSubFolders = options_.subOrdner();
    request.scan.excludeSystemFolders = options_.systemOrdner();
    request.scan.twoSecondTolerance = options_.oneSecond();
    request.scan.ignoreHour = options_.stunde();
    request.scan.compareBy = options_.compareBy();
    request.scan.links = options_.links();
    request.scan.parallel = options_.parallel();
    request.filter = filter;
    request.copyFlags = copyFlags();
    request.deleteFlags = deleteFlags();
    request.runName = "Dateien abgleichen";
    request.stateFolder = stateFolder_;
    shown_ = std::make_unique<SyncUseCase>(std::move(request), *roots_, log_);
    planError_ = {};
    return shown_->request();
}

std::string FileOperationController::ComparisonEnded(const Root& source, const Root& target,
                                                     const TreeMatcher* matcher) {
    source_ = source;
    target_ = target;
    std::string warning;
    if (finishing_) {
        // The state is recorded from a comparison of the run's own roots only
        // (another path may have been typed since).
        const bool same = finishing_->source().location() == source.location() &&
                          finishing_->target().location() == target.location();
        const size_t before = finishing_->result().notes.size();
        last_ = finishing_->Finish(same ? matcher : nullptr);
        for (size_t i = before; i < last_.notes.size(); ++i) warning += (warning.empty() ? "" : "\n") + last_.notes[i];
        finishing_.reset();
        EndJobRun(last_);
    }
    if (!shown_) return warning;
    shown_->Open(source, target);  // a sync refused for the roots says so when it is asked for
    if (matcher == nullptr) return warning;
    planError_ = shown_->LoadState();
    if (!planError_) shown_->Decide(*matcher);
    shown_->ReleasePair();  // the list may be looked at for hours
    return warning;
}

bool FileOperationController::LookAgainAfterRun(const PathFilter& filter, TreeMatcher& matcher, std::string& warning) {
    if (!finishing_ || !finishing_->LookAgain(matcher)) return false;
    // The roots as the run left them (it looks at a missing one again).
    const Root source = finishing_->source();
    const Root target = finishing_->target();
    BeginComparison(filter, source, target);
    warning = ComparisonEnded(source, target, &matcher);
    return true;
}

std::string FileOperationController::AfreshQuestion(const StoreError& error) {
    switch (error.kind) {
    case StoreError::Kind::NotMounted: return {};
    case StoreError::Kind::OtherDisk:
        return Tr("\n\nSoll der Abgleich dieser Ordner mit diesem Datenträger von vorn beginnen? Der nächste Abgleich "
                  "kopiert dann wie „Neuere kopieren“.");
    default:
        return Tr("\n\nOhne den Stand des letzten Abgleichs kann nicht mit Gedächtnis abgeglichen werden: gelöschte "
                  "Dateien kämen zurück. Soll der Abgleich dieser Ordner von vorn beginnen? Der alte Stand wird dann "
                  "vergessen, und der nächste Abgleich kopiert wie „Neuere kopieren“.");
    }
}

StoreError FileOperationController::StartAfresh(const TreeMatcher& matcher, std::string* notice) {
    if (!shown_) return {};
    if (StoreError error = shown_->ForgetState(notice)) return error;
    planError_ = shown_->LoadState();
    if (!planError_) shown_->Decide(matcher);
    return planError_;
}

void FileOperationController::Drop() {
    if (shown_) shown_->session().Clear();
}

OperationOutcome FileOperationController::Synchronize(const ResultRows& rows, const TreeMatcher& matcher) {
    OperationOutcome outcome;
    if (running_) return outcome;
    const RunningFlag running(running_);
    if (plan() == nullptr) {
        // The state of the pair could not be read: no plan to act on.
        if (planError_) prompts_->ShowWarning(planError_.message + Tr("\n\nEs wird nicht abgeglichen."));
        outcome.compareAgain = !planError_;
        return outcome;
    }
    // The marked rows take part, the rest (unmarked, or not shown) does nothing.
    std::unique_ptr<bool[]> takesPart(new bool[matcher.pairs().size()]());
    for (const ResultRows::RowRecord& row : rows.records())
        if (row.state == ResultRows::kMarked && row.pair >= 0 && static_cast<size_t>(row.pair) < matcher.pairs().size())
            takesPart[static_cast<size_t>(row.pair)] = true;
    shown_->TakePart({takesPart.get(), matcher.pairs().size()});
    shown_->UseFlags(copyFlags(), deleteFlags());
    if (job_) {
        // A job's run takes its turn as kirvo-cli run does; one under way elsewhere is not waited for here.
        jobRun_ = std::make_unique<JobRun>(job_->job, false);
        if (jobRun_->Begin(nullptr) != JobRun::Start::Go) {
            prompts_->ShowWarning(jobRun_->result().refusal);
            jobRun_->End(JobRun::StatusOf(jobRun_->result().end), nullptr, false);
            jobRun_.reset();
            return outcome;
        }
    }
    Questions questions(*prompts_, options_.beep(), showNote_);
    outcome.compareAgain = shown_->Run(questions, Service());
    const RunResult& result = shown_->result();
    // A question declined was the user's answer; every other refusal is said.
    if (result.refused() && !shown_->guardRefused()) prompts_->ShowWarning(result.refusal);
    if (shown_->request().mode != SyncMode::Update) outcome.note = ConflictsLeftNote(result);
    last_ = result;
    if (outcome.compareAgain) finishing_ = std::move(shown_);  // finished once compared again
    else EndJobRun(result);
    return outcome;
}

void FileOperationController::EndJobRun(const RunResult& result) {
    if (!jobRun_) return;
    // Every part declined at the plan: the job did not run, and leaves no line.
    const bool handled = result.Counts().done() + result.Count(FileOutcome::Skipped) + result.Count(FileOutcome::Failed) +
                             result.Count(FileOutcome::Cancelled) > 0;
    if (!handled && !result.work.empty() && !result.refused()) {
        jobRun_.reset();
        return;
    }
    jobRun_->result() = result;
    // The window shows the result itself: no notification beside it.
    jobRun_->End(JobRun::StatusOf(result.end), nullptr, false);
    jobRun_.reset();
}

OperationOutcome FileOperationController::Selection(
    const std::function<bool(SelectionUseCase&, Questions&, FileOperationService&)>& run) {
    OperationOutcome outcome;
    if (running_) return outcome;
    const RunningFlag running(running_);
    SelectionUseCase selection(source_, target_, *roots_, copyFlags(), deleteFlags());
    Questions questions(*prompts_, options_.beep(), showNote_);
    outcome.compareAgain = run(selection, questions, Service());
    const RunResult& result = selection.result();
    if (result.refused()) prompts_->ShowWarning(result.refusal);
    for (const std::string& note : result.notes) outcome.note += (outcome.note.empty() ? "" : " ") + note;
    if (outcome.compareAgain) last_ = result;
    return outcome;
}

OperationOutcome FileOperationController::CopySelected(const ResultRows& rows, std::span<const size_t> selected,
                                                       const TreeMatcher& matcher) {
    return Selection([&](SelectionUseCase& selection, Questions& questions, FileOperationService& service) {
        return selection.Copy(rows, selected, matcher, questions, service);
    });
}

OperationOutcome FileOperationController::CopyInDirection(const ResultRows& rows, std::span<const size_t> selected,
                                                          const TreeMatcher& matcher, int32_t direction) {
    return Selection([&](SelectionUseCase& selection, Questions& questions, FileOperationService& service) {
        return selection.CopyInDirection(rows, selected, matcher, direction, questions, service);
    });
}

OperationOutcome FileOperationController::DeleteSelected(const ResultRows& rows, std::span<const size_t> selected,
                                                         const TreeMatcher& matcher) {
    return Selection([&](SelectionUseCase& selection, Questions& questions, FileOperationService& service) {
        return selection.Delete(rows, selected, matcher, questions, service);
    });
}

}  // namespace kirvo
