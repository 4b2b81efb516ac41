#pragma once
#include <string>

#include "app/undo_questions.h"
#include "app/undo_result.h"

namespace kirvo {

class OperationLog;
class RemoteConnections;

// What is to be undone, and how.
struct UndoRequest {
    enum class Confirm {
        Ask,         // ask before anything is done
        Yes,         // do it without asking
        NoOneToAsk,  // nobody could answer: refuse unless it is a dry run
    };
    std::string run;      // the run's id; "" for the last that can be undone
    bool dryRun = false;  // look only: nothing is locked, changed or forgotten
    Confirm confirm = Confirm::Ask;
};

// Undoing a run, the one use case behind "kirvo-cli undo" and the window's
// undo: read the runs → choose one → check that it can be undone → connect
// its roots → lock the pair → read its lines → look at every step → ask →
// set the pair's sync state aside → carry the steps out (RunUndo). The state
// goes before the first file does, in a committed transaction: undo killed at
// any moment leaves the old trees with the old state, or a state that deletes
// nothing, never a state that takes what undo took away for deleted.
class UndoUseCase {
public:
    // log: where the runs are read and undo writes its own; roots: the
    // connections to roots on other machines (they ask for logins their own
    // way); stateFolder: that of the pairs' sync state and locks.
    UndoUseCase(OperationLog& log, RemoteConnections& roots, std::string stateFolder);

    UndoResult run(const UndoRequest& request, UndoQuestions& questions);

private:
    OperationLog& log_;
    RemoteConnections& roots_;
    std::string stateFolder_;
};

}  // namespace kirvo
