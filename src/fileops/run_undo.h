#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fileops/root_cache.h"
#include "fileops/run_log.h"
#include "fileops/undo_step.h"
#include "platform/trash.h"

namespace kirvo {

class FileOperationUi;
class OperationLog;

// Takes one run back, in the reverse order of its lines: removes the files it
// made while they are still exactly as it left them, moves moved files back,
// brings replaced and removed files back from the trash to their paths (by a
// rename, which keeps their times and metadata, or else a copy with them;
// their entry and record in the trash go), and removes the folders it made
// once they are empty again. Nothing the run did not make is ever removed or
// replaced: a file changed since stays, and a file whose place is taken by
// another stays in the trash; each is named with why. What undo removes goes
// into the trash, and undo writes a run of its own to the log, so it can be
// taken back in turn. Paths are reached below the run's two roots only (a
// root the run made, from the folder above it).
class RunUndo {
public:
    // lines: those of `run`, as the log has them.
    RunUndo(LoggedRun run, const std::vector<LoggedLine>& lines, RootAccess& roots);
    ~RunUndo();
    RunUndo(const RunUndo&) = delete;
    RunUndo& operator=(const RunUndo&) = delete;

    // Looks at everything undo would touch and settles each step's state;
    // changes nothing.
    void look();

    const LoggedRun& run() const { return run_; }
    const std::vector<UndoStep>& steps() const { return steps_; }
    int32_t count(UndoStep::State state) const;
    int32_t count(UndoStep::Kind kind) const;  // those to do
    // Nothing can be put back, because what it needs is gone (the trash was
    // emptied, or nothing was kept): the run cannot be undone at all.
    bool impossible() const;

    // Does each step to do, looking at it once more right before; progress
    // and notices go to ui (Cancel stops after the step under way). Writes
    // its own run to the log (when given). False when cancelled.
    bool carryOut(FileOperationUi& ui, OperationLog* log);
    // After carryOut: the id of undo's own run in the log ("" without one), and
    // how many steps it carried out.
    const std::string& undoRunId() const { return undoRun_; }
    int32_t carriedOut() const { return carried_; }

private:
    struct TrashFolders {
        FolderHandle files;
        FolderHandle info;
        int error = 0;
    };

    void addStep(const LoggedLine& line);
    bool locate(const std::string& path, RootedPath& out) const;
    // Inspects what is at path now (kind Missing when nothing); false, with why, when it cannot be looked at.
    bool inspect(const std::string& path, NodeInfo& info, std::string& why);
    bool inspectKept(const UndoStep& step, NodeInfo& info, std::string& why);
    TrashFolders& trashFolders(const std::string& base);
    void lookAt(UndoStep& step);

    void carryOut(UndoStep& step);
    bool removeMade(UndoStep& step, const NodeInfo& expected, TrashedFile* into = nullptr);
    bool bringBack(UndoStep& step);
    bool copyBack(UndoStep& step, const FolderHandle& from, const FolderHandle& folder, std::string_view name,
                  bool& removed);
    int openFolder(const RootedPath& path, bool create, FolderHandle& folder);
    void stays(UndoStep& step, std::string why, bool gone = false);
    void logStep(std::string_view action, std::string_view source, std::string_view destination,
                 const std::optional<FileStamp>& after, const std::optional<FileStamp>& before,
                 const TrashedFile* trashed = nullptr, std::string_view result = {});

    LoggedRun run_;
    std::vector<std::string> roots_;  // the run's two roots
    std::set<std::string> ownRoots_;  // those of them it made or removed
    RootCache access_;
    Trash trash_;
    std::map<std::string, TrashFolders> trashFolders_;
    std::vector<UndoStep> steps_;
    // While looking: what the steps to do before will have left at a path.
    std::map<std::string, NodeInfo> planned_;
    std::string undoRun_;
    int32_t carried_ = 0;
    FileOperationUi* ui_ = nullptr;
    OperationLog* log_ = nullptr;
};

}  // namespace kirvo
