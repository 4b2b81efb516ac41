#pragma once
#include <vector>

#include "fileops/run_log.h"
#include "fileops/undo_step.h"

namespace kirvo {

class FileOperationUi;

// What undo asks of the one who started it (the window, kirvo-cli): the one
// question before anything is done, and where its progress goes.
class UndoQuestions {
public:
    virtual ~UndoQuestions() = default;
    // Whether to go ahead, with the run and its steps as they were found
    // (UndoTexts::Question words it). Asked only when there is something to do.
    virtual bool confirm(const LoggedRun& run, const std::vector<UndoStep>& steps) = 0;
    // Progress and notices while undo works, from startWork() to endWork().
    virtual FileOperationUi& startWork() = 0;
    virtual void endWork() {}
};

}  // namespace kirvo
