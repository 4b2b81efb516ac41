#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/run_result.h"
#include "fileops/file_operation_service.h"
#include "platform/root.h"
#include "sync/sync_session.h"

namespace kirvo {

class ResultRows;
class RootAccess;
class TreeMatcher;

// The questions of copying a selection: those of a sync (a missing root to
// be made), and which way the rows without a direction go.
class SelectionQuestions : public SyncQuestions {
public:
    // The conflicts among the rows copied: +1 to the target, -1 to the
    // source, 0 left as they are.
    virtual int32_t ConflictDirection(const std::string& question) = 0;
};

// The window's commands on the rows a user selected: "Kopieren" (each row
// in the direction of its arrow), "Nach rechts kopieren" and "Nach links
// kopieren" (every row that way) and "Löschen" (both sides' files). Each
// reads the rows, applies the rules of the roots (RootRules), asks what is
// to be asked, hands the files to the service as one run in the log and
// keeps what was done in one RunResult. The comparison that follows is the
// caller's.
class SelectionUseCase {
public:
    // The roots as the comparison found them; `roots` looks at them again
    // and makes a missing one. It must outlive the use case.
    SelectionUseCase(Root source, Root target, RootAccess& roots, CopyFlags copyFlags, DeleteFlags deleteFlags);

    const RunResult& result() const { return result_; }

    // rows are the list's, their pairs the matcher's; selected are row
    // indexes in ascending order. Each returns false when nothing was
    // started (nothing selected, or the roots refused: result() says why).
    bool Copy(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher,
              SelectionQuestions& questions, FileOperationService& service);
    // +1 "Nach rechts kopieren", -1 "Nach links kopieren".
    bool CopyInDirection(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher,
                         int32_t direction, SelectionQuestions& questions, FileOperationService& service);
    bool Delete(const ResultRows& rows, std::span<const size_t> selected, const TreeMatcher& matcher,
                SyncQuestions& questions, FileOperationService& service);

private:
    bool Refused(const CopyList& copies);
    bool RefusedOnSnapshot(bool touchesSource, bool touchesTarget);
    void KeepCopiesIntoUsableRoots(std::vector<CopyPair>& pairs, SyncQuestions& questions);
    void Copy(const char* what, const CopyList& copies, FileOperationService& service);
    void Note(std::string note, SyncQuestions& questions);

    Root source_;
    Root target_;
    RootAccess& roots_;
    CopyFlags copyFlags_;
    DeleteFlags deleteFlags_;
    RunResult result_;
};

}  // namespace kirvo
