#include "app/file_operation_controller.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/app_options.h"
#include "app/user_prompts.h"
#include "engine/tree_matcher.h"
#include "fileops/delete_plan.h"
#include "fileops/nested_roots.h"
#include "fileops/sync_plan.h"
#include "sync/sync_session.h"
#include "view/plan_rows.h"
#include "view/result_rows.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

std::string CountText(const char* format, int32_t count) {
    char text[128];
    std::snprintf(text, sizeof text, format, count);
    return text;
}

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

// "2 übergangen: WHY („first“ …)."
std::string PassedOverNote(const std::vector<std::string>& paths, const char* why) {
    return CountText(TrN("%i übergangen: ", "%i übergangen: ", paths.size()), static_cast<int32_t>(paths.size())) + why + " („" + paths.front() + "“" +
           (paths.size() > 1 ? " …)." : ").");
}

// Beyond update, the conflicts a synchronisation left as they are: named once
// it is over, so that a summary without errors does not read as "all in line".
std::string ConflictsLeftNote(const SyncSession& session, const TreeMatcher& matcher) {
    if (session.mode() == SyncMode::Update) return {};
    std::vector<std::string> paths;
    const std::span<const FilePair> pairs = matcher.pairs();
    for (size_t i = 0; i < session.decisions().size() && i < pairs.size(); ++i)
        if (session.decisions()[i].planned.action == SyncAction::Conflict)
            paths.push_back((pairs[i].source ? pairs[i].source : pairs[i].target)->relativePath());
    if (paths.empty()) return {};
    const auto count = static_cast<int32_t>(paths.size());
    return CountText(TrN("%i Konflikt bleibt, wie er ist", "%i Konflikte bleiben, wie sie sind", paths.size()), count) +
           Format(TrN(" („%s“%s); \"Nach rechts kopieren\" oder \"Nach links kopieren\" löst ihn.",
                      " („%s“%s); \"Nach rechts kopieren\" oder \"Nach links kopieren\" löst sie.", paths.size()),
                  paths.front(), paths.size() > 1 ? " …" : "");
}

// The question before copying rows whose direction is open.
std::string ConflictQuestion(const TreeMatcher& matcher, const ResultRows& list, std::span<const size_t> selected) {
    std::vector<size_t> conflicts;
    for (size_t row : selected) {
        if (list.StateImage(row) == ResultRows::kConflict) conflicts.push_back(row);
    }
    if (conflicts.size() == 1) {
        const FilePair* pair = list.Pair(conflicts[0]);  // a conflict has both files
        const std::string_view reason = matcher.conflictReason(static_cast<size_t>(list.PairIndex(conflicts[0])));
        return "„" + pair->source->relativePath() + Tr("“ hat keine Richtung (Konflikt: ") + std::string(reason) +
               Tr(")\n\nIn welche Richtung soll die Datei kopiert werden?");
    }
    return CountText(TrN("%i der markierten Dateien haben keine Richtung (Konflikte).\n\n",
                         "%i der markierten Dateien haben keine Richtung (Konflikte).\n\n", conflicts.size()),
                     static_cast<int32_t>(conflicts.size())) +
           Tr("In welche Richtung sollen sie kopiert werden?");
}

// The run's questions as message boxes, each after the question sound when "Beep" is on.
class WindowQuestions final : public SyncQuestions {
public:
    WindowQuestions(UserPrompts& prompts, bool beep) : prompts_(prompts), beep_(beep) {}
    bool Confirm(Kind kind, const std::string& text) override {
        if (beep_) prompts_.Beep(BeepKind::Question);
        return kind == Kind::Guard ? prompts_.AskOkCancel(text) : prompts_.AskOkCancelNoIcon(text);
    }

private:
    UserPrompts& prompts_;
    bool beep_;
};

// Without a service nothing is copied, deleted or renamed (and the comparison still runs again).
class NoFileOperations final : public FileOperationService {
public:
    OperationResult copy(std::span<const CopyPair>, const CopyFlags&) override { return {}; }
    OperationResult remove(std::span<const ListedPath>, const DeleteFlags&) override { return {}; }
    OperationResult move(std::span<const MovePair>) override { return {}; }
    OperationResult removeEmptyFolders(std::span<const RootedPath>) override { return {}; }
};

}  // namespace

bool FileOperationController::RootsAreNested() {
    const std::string message = NestedRootsMessage(source_, target_);
    if (message.empty()) return false;
    prompts_->ShowWarning(message);
    return true;
}

bool FileOperationController::MayCopyInto(TreeSide side) {
    Root root = side == TreeSide::Source ? source_ : target_;
    if (root.state() != Root::State::Missing) return true;
    root.Inspect();  // a local root may be there by now (a remote one keeps what its connection found)
    if (root.state() != Root::State::Missing) return true;
    const std::string name = side == TreeSide::Source ? Tr("Die Quelle ") : Tr("Das Ziel ");
    if (!root.parentExists()) {
        prompts_->ShowWarning(name + root.MissingText() + Tr(" Dorthin wird nichts kopiert."));
        return false;
    }
    if (options_.beep()) prompts_->Beep(BeepKind::Question);
    return prompts_->AskOkCancel(name + root.MissingText() + Tr(" Soll der Ordner angelegt werden?"));
}

void FileOperationController::KeepCopiesIntoUsableRoots(std::vector<CopyPair>& pairs) {
    for (const TreeSide side : {TreeSide::Target, TreeSide::Source}) {
        const auto into = [side](const CopyPair& pair) { return pair.to.side == side; };
        if (std::any_of(pairs.begin(), pairs.end(), into) && !MayCopyInto(side))
            pairs.erase(std::remove_if(pairs.begin(), pairs.end(), into), pairs.end());
    }
}

CopyFlags FileOperationController::copyFlags() const {
    CopyFlags flags{options_.vorUeberschreiben(), options_.vorDir(), options_.papierkorb(), options_.links()};
    flags.verify = options_.pruefen();
    return flags;
}

DeleteFlags FileOperationController::deleteFlags() const {
    return DeleteFlags{options_.vorLoeschen(), options_.papierkorb(), options_.links()};
}

void FileOperationController::Copy(std::span<const CopyPair> pairs, OperationOutcome& outcome) {
    if (service_ && !pairs.empty()) outcome.results.push_back(service_->copy(pairs, copyFlags()));
}

OperationOutcome FileOperationController::Synchronize(const ResultRows& rows, const TreeMatcher& matcher) {
    OperationOutcome outcome;
    if (running_) return outcome;
    const RunningFlag running(running_);
    SyncSession* session = sync_.session();
    if (session == nullptr) {
        // The state of the pair could not be read: no plan to act on.
        if (!sync_.stateError().empty()) prompts_->ShowWarning(sync_.stateError() + Tr("\n\nEs wird nicht abgeglichen."));
        outcome.compareAgain = sync_.stateError().empty();
        return outcome;
    }
    // The marked rows take part, the rest (unmarked, or not shown) does nothing.
    std::unique_ptr<bool[]> takesPart(new bool[matcher.pairs().size()]());
    for (const ResultRows::RowRecord& row : rows.records())
        if (row.state == ResultRows::kMarked && row.pair >= 0 && static_cast<size_t>(row.pair) < matcher.pairs().size())
            takesPart[static_cast<size_t>(row.pair)] = true;
    session->TakePart({takesPart.get(), matcher.pairs().size()});
    SyncWork work = session->Work();
    // One root inside the other: refused before any question, the list stays as it is.
    if (!work.empty() && RootsAreNested()) return outcome;
    // Into a missing root only where it may be made (and the user says so).
    if (!work.toTarget.empty() && !MayCopyInto(TreeSide::Target)) {
        work.toTarget = {};
        work.copiedToTarget = {};
    }
    if (!work.toSource.empty() && !MayCopyInto(TreeSide::Source)) {
        work.toSource = {};
        work.copiedToSource = {};
    }
    if (const std::string refusal = sync_.Begin(); !refusal.empty()) {
        prompts_->ShowWarning(refusal);
        outcome.compareAgain = true;
        return outcome;
    }
    outcome.compareAgain = true;
    WindowQuestions questions(*prompts_, options_.beep());
    NoFileOperations none;
    SyncOutcome done;
    {
        // Everything the session does is one run in the log, undone as a whole.
        const ServiceRun unit(service_, {"Dateien abgleichen", matcher.sourceRoot(), matcher.targetRoot()});
        done = session->Run(work, questions, service_ ? *service_ : static_cast<FileOperationService&>(none),
                            copyFlags(), deleteFlags());
    }
    if (done.refused) {
        sync_.Finish(nullptr);  // nothing was done: nothing to record
        return outcome;
    }
    sync_.AwaitRecord();
    outcome.note = ConflictsLeftNote(*session, matcher);
    // Files only: the empty folders a mirror removes are no file operations of their own.
    using Kind = OperationSummary::Kind;
    const std::pair<const std::optional<OperationResult>*, Kind> requests[] = {
        {&done.movedInSource, Kind::Move},    {&done.movedInTarget, Kind::Move},
        {&done.deletedInSource, Kind::Delete}, {&done.deletedInTarget, Kind::Delete},
        {&done.copiedToTarget, Kind::Copy},    {&done.copiedToSource, Kind::Copy}};
    for (const auto& [result, kind] : requests) {
        if (!*result || !service_) continue;
        outcome.results.push_back(**result);
        outcome.kinds.push_back(kind);
    }
    return outcome;
}

OperationOutcome FileOperationController::CopySelected(const ResultRows& rows, std::span<const size_t> selected,
                                                       const TreeMatcher& matcher) {
    OperationOutcome outcome;
    if (running_ || selected.empty()) return outcome;
    const RunningFlag running(running_);
    const std::vector<PlanRow> planRows = PlanRows::Selected(rows, selected, matcher.utcOffset());
    // Conflicts have no arrow: the user says which way, once for all of them.
    int32_t conflictDirection = 0;
    if (std::any_of(planRows.begin(), planRows.end(), [](const PlanRow& row) { return row.conflict; })) {
        if (options_.beep()) prompts_->Beep(BeepKind::Question);
        switch (prompts_->AskConflictDirection(ConflictQuestion(matcher, rows, selected))) {
        case ConflictChoice::ToTarget: conflictDirection = 1; break;
        case ConflictChoice::ToSource: conflictDirection = -1; break;
        case ConflictChoice::Skip: break;
        }
    }
    CopyList copies = BuildCopyPlan(planRows, matcher.sourceRoot(), matcher.targetRoot(), conflictDirection);
    if (!copies.empty() && RootsAreNested()) return outcome;
    outcome.compareAgain = true;
    KeepCopiesIntoUsableRoots(copies.pairs);
    const ServiceRun run(service_, {"Kopieren", matcher.sourceRoot(), matcher.targetRoot()});
    Copy(copies.pairs, outcome);
    return outcome;
}

OperationOutcome FileOperationController::CopyInDirection(const ResultRows& rows, std::span<const size_t> selected,
                                                          const TreeMatcher& matcher, int32_t direction) {
    OperationOutcome outcome;
    if (running_ || selected.empty()) return outcome;
    const RunningFlag running(running_);
    std::vector<std::string> passedOver, unread;
    CopyList copies =
        BuildDirectedCopyPlan(PlanRows::Selected(rows, selected, matcher.utcOffset()), matcher.sourceRoot(),
                              matcher.targetRoot(), direction, &passedOver, &unread);
    if (!copies.empty() && RootsAreNested()) return outcome;
    outcome.compareAgain = true;
    if (!passedOver.empty())
        outcome.note = PassedOverNote(passedOver, direction > 0 ? Tr("in der Quelle fehlt die Datei") : Tr("im Ziel fehlt die Datei"));
    if (!unread.empty())
        outcome.note += (outcome.note.empty() ? "" : " ") +
                        PassedOverNote(unread, direction > 0 ? Tr("im Ziel nicht lesbar") : Tr("in der Quelle nicht lesbar"));
    if (!outcome.note.empty() && showNote_) showNote_(outcome.note);  // said now, and again once the comparison is over
    KeepCopiesIntoUsableRoots(copies.pairs);
    const ServiceRun run(service_, {direction > 0 ? "Nach rechts kopieren" : "Nach links kopieren", matcher.sourceRoot(),
                                    matcher.targetRoot()});
    Copy(copies.pairs, outcome);
    return outcome;
}

OperationOutcome FileOperationController::DeleteSelected(const ResultRows& rows, std::span<const size_t> selected,
                                                         const TreeMatcher& matcher) {
    OperationOutcome outcome;
    if (running_ || selected.empty()) return outcome;
    const RunningFlag running(running_);
    const DeletePlan plan =
        BuildDeletePlan(PlanRows::Selected(rows, selected, matcher.utcOffset()), matcher.sourceRoot(), matcher.targetRoot());
    outcome.compareAgain = true;
    if (!plan.passedOver.empty()) {
        outcome.note = PassedOverNote(plan.passedOver, Tr("nicht lesbar, nichts wird dort gelöscht"));
        if (showNote_) showNote_(outcome.note);
    }
    if (service_) {
        const DeleteFlags flags = deleteFlags();
        const ServiceRun run(service_, {"Löschen", matcher.sourceRoot(), matcher.targetRoot()});
        // Declining the source side's question does not stop the target side.
        if (plan.sourceCount() > 0) outcome.results.push_back(service_->remove(plan.sourceFiles, flags));
        if (plan.targetCount() > 0) outcome.results.push_back(service_->remove(plan.targetFiles, flags));
    }
    return outcome;
}

}  // namespace kirvo
