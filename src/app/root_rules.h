#pragma once
#include <string>

#include "app/run_result.h"
#include "fileops/listed_file.h"
#include "platform/root.h"

namespace kirvo {

class RootAccess;
class SyncQuestions;

// The rules every command that changes files applies to its two roots,
// each judged on one inspection of it (Root::Inspect, or its connection's).
class RootRules {
public:
    // "Die Quelle" / "Das Ziel".
    static const char* SideName(TreeSide side);
    // Why nothing can be done between the roots: one lies inside the other
    // (every run would copy the inner tree into itself once more), one is a
    // snapshot (nothing is written into one, nor read from it), or one is
    // no folder (copying into or out of it cannot be meant). "" when neither;
    // `end` says how such a run ends.
    static std::string Unusable(const Root& source, const Root& target, RunEnd& end);
    // Why a command that would write into a snapshot, or read its files,
    // rests ("" when no side it touches is one).
    static std::string OnSnapshot(const Root& source, const Root& target, bool touchesSource, bool touchesTarget);
    // A root missing together with the folder above it: a drive that is not
    // connected, which never turns into folders on another disk.
    static bool DriveMissing(const Root& root) { return root.state() == Root::State::Missing && !root.parentExists(); }
    // Before copying into a root: one that was missing is looked at again (it
    // may be there by now); one still missing is made for the copies only
    // where the folder above it is there and the user says so. False, with
    // the note that says so, when nothing is to be copied into it (a drive
    // not connected is warned about at once).
    static bool MayCopyInto(TreeSide side, Root& root, RootAccess& roots, SyncQuestions& questions, std::string& note);
};

}  // namespace kirvo
