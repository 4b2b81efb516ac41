#pragma once
#include <string>

#include "sync/sync_plan_summary.h"

namespace kirvo {

// The sounds the program makes on its own events.
enum class BeepKind {
    Question,  // before a question to the user
    Done,      // a finished comparison or list refill
};

// Which way conflicts are copied: answer to AskConflictDirection.
enum class ConflictChoice {
    ToTarget,  // "Nach rechts kopieren": source over target
    ToSource,  // "Nach links kopieren": target over source
    Skip,      // "Überspringen": left as they are
};

// Questions to the user and event sounds, so that the commands can run
// against a script in tests. Texts are UTF-8.
class UserPrompts {
public:
    virtual ~UserPrompts() = default;

    // An OK/Cancel message box with the question icon; true for OK.
    virtual bool AskOkCancel(const std::string& text) = 0;
    // The same without an icon (the file operations' count questions).
    virtual bool AskOkCancelNoIcon(const std::string& text) { return AskOkCancel(text); }
    // A message with the warning icon and "OK" only.
    virtual void ShowWarning(const std::string& text) = 0;
    virtual void Beep(BeepKind kind) = 0;
    // Which way the conflicts among the rows being copied go; Escape skips them.
    // Without a way to ask, they are skipped.
    virtual ConflictChoice AskConflictDirection(const std::string& /*text*/) { return ConflictChoice::Skip; }
    // Whether ConfirmSyncPlan shows a sync's whole plan in one question;
    // otherwise its parts are asked one by one with AskOkCancelNoIcon.
    virtual bool ShowsPlans() const { return false; }
    // The plan with its parts and files: false cancels the run, a part
    // unticked is declined (Group::accepted).
    virtual bool ConfirmSyncPlan(SyncPlanSummary& /*plan*/) { return false; }
};

}  // namespace kirvo
