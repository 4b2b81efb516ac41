#include "app/selection_use_case.h"

#include <algorithm>

#include "app/root_rules.h"
#include "engine/tree_matcher.h"
#include "fileops/delete_plan.h"
#include "fileops/sync_plan.h"
#include "platform/root_access.h"
#include "platform/translation.h"
#include "view/plan_rows.h"
#include "view/result_rows.h"

namespace kirvo {
namespace {

// "2 übergangen: WHY („first“ …)."
std::string PassedOverNote(const std::vector<std::string>& paths, const char* why) {
    return Format(TrN("%d übergangen: ", "%d übergangen: ", paths.size()), paths.size()) + why + " („" + paths.front() +
           "“" + (paths.size() > 1 ? " …)." : ").");
}

// The question before copying rows whose direction is open.
std::string ConflictQuestion(const TreeMatcher& matcher, const ResultRows& list, std::span<const size_t> selected) {
    std::vector<size_t> conflicts;
    for (size_t row : selected)
        if (list.StateImage(row) == ResultRows::kConflict) conflicts.push_back(row);
    if (conflicts.size() == 1) {
        const FilePair* pair = list.Pair(conflicts[0]);  // a conflict has both files
        const std::string_view reason = matcher.conflictReason(static_cast<size_t>(list.PairIndex(conflicts[0])));
        return "„" + pair->source->relativePath() + Tr("“ hat keine Richtung (Konflikt: ") + std::string(reason) +
               Tr(")\n\nIn welche Richtung soll die Datei kopiert werden?");
    }
    return Format(TrN("%d der markierten Dateien haben keine Richtung (Konflikte).\n\n",
                      "%d der markierten Dateien haben keine Richtung (Konflikte).\n\n", conflicts.size()),
                  conflicts.size()) +
           Tr("In welche Richtung sollen sie kopiert werden?");
}

}  // namespace

SelectionUseCase::SelectionUseCase(Root source, Root target, RootAccess& roots, CopyFlags copyFlags,
                                   DeleteFlags deleteFlags)
    : source_(std::move(source)), target_(std::move(target)), roots_(roots), copyFlags_(copyFlags),
      deleteFlags_(deleteFlags) {}

// One root inside the other (or no folder): refused before any question.
bool SelectionUseCase::Refused(const CopyList& copies) {
    if (copies.empty()) return false;
    RunEnd end = RunEnd::InLine;
    result_.refusal = RootRules::Unusable(source_, target_, end);
    result_.end = end;
    return result_.refused();
}

// Files beside a snapshot may go; none in it, and none is copied into or out of one.
bool SelectionUseCase::RefusedOnSnapshot(bool touchesSource, bool touchesTarget) {
    result_.refusal = RootRules::OnSnapshot(source_, target_, touchesSource, touchesTarget);
    if (result_.refused()) result_.end = RunEnd::Unusable;
    return result_.refused();
}

void SelectionUseCase::Note(std::string note, SyncQuestions& questions) {
    questions.Tell(note);  // said now, before the files are copied
    result_.notes.push_back(std::move(note));
}

void SelectionUseCase::KeepCopiesIntoUsableRoots(std::vector<CopyPair>& pairs, SyncQuestions& questions) {
    for (const TreeSide side : {TreeSide::Target, TreeSide::Source}) {
        const auto into = [side](const CopyPair& pair) { return pair.to.side == side; };
        std::string note;
        if (std::none_of(pairs.begin(), pairs.end(), into) ||
            RootRules::MayCopyInto(side, side == TreeSide::Target ? target_ : source_, roots_, questions, note))
            continue;
        result_.notes.push_back(note);
        pairs.erase(std::remove_if(pairs.begin(), pairs.end(), into), pairs.end());
    }
}

void SelectionUseCase::Copy(const char* what, const CopyList& copies, FileOperationService& service) {
    const ServiceRun run(&service, what, source_, target_);
    if (!copies.empty()) result_.Add(RunResult::Request::Copy, TreeSide::None, service.copy(copies.pairs, copyFlags_));
    if (result_.Counts().done() > 0 || result_.Count(FileOutcome::Failed) + result_.Count(FileOutcome::Skipped) > 0)
        result_.runId = run.id();
}

bool SelectionUseCase::Copy(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher,
                            SelectionQuestions& questions, FileOperationService& service) {
    if (selected.empty() || RefusedOnSnapshot(true, true)) return false;
    const std::vector<PlanRow> planRows = PlanRows::Selected(rows, selected, matcher.utcOffset());
    // Conflicts have no arrow: the user says which way, once for all of them.
    int32_t conflictDirection = 0;
    if (std::any_of(planRows.begin(), planRows.end(), [](const PlanRow& row) { return row.conflict; }))
        conflictDirection = questions.ConflictDirection(ConflictQuestion(matcher, rows, selected));
    CopyList copies = BuildCopyPlan(planRows, matcher.source(), matcher.target(), conflictDirection);
    if (Refused(copies)) return false;
    result_.compared = true;
    result_.work.toTarget = copies;  // both directions, in list order
    KeepCopiesIntoUsableRoots(copies.pairs, questions);
    Copy("Kopieren", copies, service);
    return true;
}

bool SelectionUseCase::CopyInDirection(const ResultRows& rows, std::span<const size_t> selected,
                                       const TreeMatcher& matcher, int32_t direction, SelectionQuestions& questions,
                                       FileOperationService& service) {
    if (selected.empty() || RefusedOnSnapshot(true, true)) return false;
    std::vector<std::string> passedOver, unread;
    CopyList copies = BuildDirectedCopyPlan(PlanRows::Selected(rows, selected, matcher.utcOffset()), matcher.source(),
                                            matcher.target(), direction, &passedOver, &unread);
    if (Refused(copies)) return false;
    result_.compared = true;
    (direction > 0 ? result_.work.toTarget : result_.work.toSource) = copies;
    std::string note;
    if (!passedOver.empty())
        note = PassedOverNote(passedOver, direction > 0 ? Tr("in der Quelle fehlt die Datei") : Tr("im Ziel fehlt die Datei"));
    if (!unread.empty())
        note += (note.empty() ? "" : " ") +
                PassedOverNote(unread, direction > 0 ? Tr("im Ziel nicht lesbar") : Tr("in der Quelle nicht lesbar"));
    if (!note.empty()) Note(std::move(note), questions);
    KeepCopiesIntoUsableRoots(copies.pairs, questions);
    Copy(direction > 0 ? "Nach rechts kopieren" : "Nach links kopieren", copies, service);
    return true;
}

bool SelectionUseCase::Delete(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher,
                              SyncQuestions& questions, FileOperationService& service) {
    if (selected.empty()) return false;
    const DeletePlan plan =
        BuildDeletePlan(PlanRows::Selected(rows, selected, matcher.utcOffset()), matcher.source(), matcher.target());
    if (RefusedOnSnapshot(plan.sourceCount() > 0, plan.targetCount() > 0)) return false;
    result_.compared = true;
    result_.work.deleteInSource = plan.sourceFiles;
    result_.work.deleteInTarget = plan.targetFiles;
    if (!plan.passedOver.empty()) Note(PassedOverNote(plan.passedOver, Tr("nicht lesbar, nichts wird dort gelöscht")), questions);
    const ServiceRun run(&service, "Löschen", source_, target_);
    // Declining the source side's question does not stop the target side.
    if (plan.sourceCount() > 0)
        result_.Add(RunResult::Request::Delete, TreeSide::Source, service.remove(plan.sourceFiles, deleteFlags_));
    if (plan.targetCount() > 0)
        result_.Add(RunResult::Request::Delete, TreeSide::Target, service.remove(plan.targetFiles, deleteFlags_));
    if (result_.Counts().done() > 0 || result_.Count(FileOutcome::Failed) + result_.Count(FileOutcome::Skipped) > 0)
        result_.runId = run.id();
    return true;
}

}  // namespace kirvo
