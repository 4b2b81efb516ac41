#pragma once
#include <optional>
#include <string>

class QWidget;

namespace kirvo {

class OperationLog;
class RemoteConnections;
class UserPrompts;

// Undo in the window: "Letzten Abgleich rückgängig machen" and the undo of a
// run chosen in the "Protokoll" window, through UndoUseCase: asks with the
// run's name, time, roots and counts, shows the progress in a dialog, and
// names what stayed in a warning.
class UndoActions {
public:
    // All must outlive the object.
    UndoActions(QWidget* parent, OperationLog& log, RemoteConnections& roots) : parent_(parent), log_(log), roots_(roots) {}

    // Undoes the run `id` ("" for the last that can be undone). The sentence
    // for the status bar when anything was undone (the comparison is to run
    // again then); nothing when nothing was.
    std::optional<std::string> Undo(UserPrompts& prompts, const std::string& id = {});

private:
    QWidget* parent_;
    OperationLog& log_;
    RemoteConnections& roots_;
};

}  // namespace kirvo
