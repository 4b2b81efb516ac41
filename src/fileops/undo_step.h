#pragma once
#include <optional>
#include <string>

#include "fileops/file_stamp.h"

namespace kirvo {

// What undo does about one action of a run, and what it found.
struct UndoStep {
    enum class Kind {
        RemoveCopy,       // a file the run made goes (into the trash)
        PutBackReplaced,  // the copy goes, the version it replaced comes back from the trash
        Restore,          // a file the run put into the trash comes back
        MoveBack,         // a file the run moved goes back to where it was
        RemoveFolder,     // a folder the run made goes, once empty
        MakeFolder,       // a folder the run removed comes back
        NotKept,          // what the run removed or replaced was kept nowhere
    };
    enum class State {
        ToDo,   // to be done
        Done,   // as before the run already
        Stays,  // left as it is, for the reason in `why`
    };

    Kind kind = Kind::NotKept;
    State state = State::ToDo;
    std::string path;  // where it is put back or removed
    std::string from;  // MoveBack: where it is now
    std::optional<FileStamp> left;  // what the run left at path (or at from)
    std::optional<FileStamp> kept;  // what lies in the trash
    std::string trash;              // that trash folder, and the name in its "files"
    std::string trashName;
    std::string why;    // Stays: in German
    bool gone = false;  // Stays because what it needs is gone (the trash emptied, or it was kept nowhere)
    bool folder = false;  // MoveBack: a folder (renamed in letter case), known by its identity alone

    std::string trashPath() const { return trash + "/files/" + trashName; }
};

}  // namespace kirvo
