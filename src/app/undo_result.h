#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fileops/run_log.h"
#include "fileops/undo_step.h"
#include "fileops/undo_texts.h"
#include "platform/sftp/ssh_login.h"

namespace kirvo {

// What one undo came to, for the terminal and the window alike: which run,
// each step as it ended (what stays, with why), the steps carried out by
// kind, undo's own run, and what became of the pair's sync state.
struct UndoResult {
    enum class Outcome {
        Undone,     // everything is as before the run (some of it was already)
        Partly,     // some steps stay, each with why
        Cancelled,  // stopped on the way: what was done is done, the rest is as it was
        Declined,   // the question was answered no: nothing was done
        Looked,     // a dry run: `steps` says what would be done and what would stay
        Refused,    // nothing was done: `refusal` and `message` say why
    };
    enum class Refusal {
        None,
        LogUnreadable,    // the log (or the run's lines) cannot be read
        UnknownRun,       // the run asked for is not in the log
        NothingToUndo,    // no run in the log can be undone
        NothingRecorded,  // the run has nothing undo could take back
        NoOneToAsk,       // nobody is there to answer the question (no message: the caller words it)
        BadRoot,          // a root in the log is no valid address
        Unreachable,      // a root on another machine could not be reached (`fault`)
        Locked,           // another run works on the two folders
        Impossible,       // what the run replaced or removed is gone (the trash was emptied)
        StateKept,        // the pair's sync state could not be set aside first
    };

    Outcome outcome = Outcome::Refused;
    Refusal refusal = Refusal::None;
    std::string message;                  // Refused: why, in German
    LoginFault fault = LoginFault::None;  // Unreachable: how the login failed
    std::optional<LoggedRun> run;         // the run taken back
    std::vector<LoggedRun> passedOver;    // newer runs that cannot be undone (the last run was asked for)
    std::vector<UndoStep> steps;          // as they ended (Looked, Impossible, Declined: as found)
    std::map<UndoStep::Kind, int32_t> carried;  // the steps carried out, by kind
    std::string undoRunId;                // undo's own run in the log; "" without one
    std::string stateNotice;              // German: the pair's sync state was forgotten, and why
    bool impossible = false;              // nothing can be put back: what it needs is gone (Looked too)

    int32_t count(UndoStep::State state) const;
    int32_t carriedOut() const;
    // The closing sentence: "Lauf … ist rückgängig gemacht.", "… nur zum Teil
    // …: 2 Dateien blieben (…)." naming those that stayed, "… abgebrochen …".
    std::string summary(UndoTexts::Shown shown = nullptr) const;
    // One line per step that stays ("\n• <path>: bleibt: <why>"), the first `named` of them.
    std::string stayingLines(size_t named, UndoTexts::Shown shown = nullptr) const;
};

}  // namespace kirvo
