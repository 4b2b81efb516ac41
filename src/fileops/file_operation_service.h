#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fileops/delete_plan.h"
#include "fileops/file_stamp.h"
#include "fileops/operation_log.h"
#include "fileops/sync_plan.h"
#include "platform/content_hash.h"
#include "platform/link_mode.h"
#include "platform/root.h"

namespace kirvo {

// Options vorUeberschreiben, vorDir, Papierkorb and Verknuepfungen. Only files
// (and with links Copy, links as links) are ever copied.
struct CopyFlags {
    bool confirmOverwrite = true;       // vorUeberschreiben
    bool confirmFolderCreation = true;  // vorDir
    bool keepReplaced = false;          // Papierkorb: a replaced file goes to the trash first
    // Verknuepfungen, as the comparison listed links: a source link is copied
    // as the file it leads to, as a link, or not at all; a destination link is
    // the file it leads to or itself.
    LinkMode links = LinkMode::Follow;
    // The run decided to replace files whatever their times (a mirror, or a
    // file changed on one side only since the last synchronisation): a
    // destination newer than its source is then asked about like any other
    // (confirmOverwrite), not always. A destination changed since the
    // comparison is still never replaced without asking.
    bool newerExpected = false;
    // Pruefen: each copy is read back from the disk and compared with what was
    // read from its source before it replaces anything; one that differs is
    // removed and reported, and nothing is replaced by it.
    bool verify = false;
};

// Options vorLoeschen, Papierkorb and Verknuepfungen. Only files (and links
// themselves) are ever deleted; with useTrash they go to the trash, otherwise
// for good.
struct DeleteFlags {
    bool confirmDelete = true;  // vorLoeschen
    bool useTrash = false;      // Papierkorb
    // Verknuepfungen: what the comparison listed for a link (the file it leads
    // to, or itself), for telling whether it changed since.
    LinkMode links = LinkMode::Follow;
};

enum class FileOutcome {
    Done,       // copied / deleted (or put into the trash)
    Skipped,    // the user answered "Nein" to a question about it
    Failed,     // an error, reported to the user; reason says which
    Cancelled,  // not done because the request was cancelled
};

struct FileReport {
    std::string path;         // full path of the file copied from, or of the file deleted
    std::string destination;  // copy only: full path of where it was to go
    FileOutcome outcome = FileOutcome::Cancelled;
    std::string reason;  // Failed: what went wrong; Skipped: which question was declined
    // Done: where the deleted file, or the version the copy replaced, lies in the trash.
    std::string trashedTo;
    // A copy that is Done: the bytes written, and whether a file stood there before.
    uint64_t bytes = 0;
    bool replaced = false;
    // A copy that is Done: the copy as it stands at its destination (inode,
    // size and time after they were set), where the service can tell.
    std::optional<FileStamp> placed;
    // Done: the copy's content hash with the copy's identity right after it was
    // placed, where Kirvo read every byte it copied (always for a checked copy);
    // and whether it was read back from the disk and found equal to its source.
    std::optional<ContentRecord> content;
    bool verified = false;
};

// One report per file of the request, in request order. Nothing that failed,
// was skipped or cancelled is reported as done.
struct OperationResult {
    std::vector<FileReport> files;
    bool cancelled = false;  // the user stopped the request (or declined the delete question)
    int32_t foldersMade = 0;  // copies and moves: folders made on the way (and a missing root)

    int32_t count(FileOutcome outcome) const {
        int32_t n = 0;
        for (const FileReport& f : files) n += f.outcome == outcome ? 1 : 0;
        return n;
    }
    // Files that went to the trash: deleted ones, or the versions copies replaced.
    int32_t trashedCount() const {
        int32_t n = 0;
        for (const FileReport& f : files) n += f.outcome == FileOutcome::Done && !f.trashedTo.empty() ? 1 : 0;
        return n;
    }
    bool allDone() const { return count(FileOutcome::Done) == static_cast<int32_t>(files.size()); }
};

// One file to give another name on its own side, both paths below the same
// root: nothing is copied. `listed` is what the comparison saw at `from`, and
// `inode` its identity where known (0: not checked); a file that changed
// since is left where it is. With `folder`, a folder is renamed instead (a
// change of letter case: `to` may name the same entry on a file system that
// ignores case).
struct MovePair {
    RootedPath from;
    RootedPath to;
    ListedFile listed;
    uint64_t inode = 0;
    bool folder = false;

    friend bool operator==(const MovePair&, const MovePair&) = default;
};

// Copies and deletes files for the window and for kirvo-cli; each brings its own
// FileOperationUi to the real implementation. Tests of callers use a fake.
class FileOperationService {
public:
    virtual ~FileOperationService() = default;

    // Copies every pairs[i].from to its own destination pairs[i].to. Each path is
    // reached below its own root only (see RootedPath); the plans fill them so.
    virtual OperationResult copy(std::span<const CopyPair> pairs, const CopyFlags& flags) = 0;

    // Deletes every file (files and links themselves; never folders), each reached
    // below its own root only, after checking it against what was listed.
    virtual OperationResult remove(std::span<const ListedPath> files, const DeleteFlags& flags) = 0;

    // Renames every moves[i].from to moves[i].to on its side, after checking
    // it against what was listed; never over anything at `to`; missing folders
    // on the way to `to` are made. A service that cannot reports every file
    // as failed.
    virtual OperationResult move(std::span<const MovePair> moves);

    // Removes each folder that is empty, in the order given (deepest first);
    // one that is not (any more) is left and reported as skipped.
    virtual OperationResult removeEmptyFolders(std::span<const RootedPath> folders);

    // Makes each folder, in the order given (parents first), with the folders
    // missing on the way; one that is there already counts as made. A service
    // that cannot reports every folder as failed.
    virtual OperationResult makeFolders(std::span<const RootedPath> folders);

    // Every request from beginRun to endRun is one run of one command, to be
    // undone as a whole (see OperationLog); a service without a log ignores
    // it. The run's id in the log, or "".
    virtual std::string beginRun(const OperationLog::RunStart& start) {
        (void)start;
        return {};
    }
    virtual void endRun() {}
};

// One command's run on a service (none: nothing), from construction to end.
class ServiceRun {
public:
    ServiceRun(FileOperationService* service, const OperationLog::RunStart& start) : service_(service) {
        if (service_) id_ = service_->beginRun(start);
    }
    // The run of command `what` between two roots, named in the log by where they lie.
    ServiceRun(FileOperationService* service, std::string_view what, const Root& source, const Root& target)
        : ServiceRun(service, OperationLog::RunStart{what, source.location(), target.location()}) {}
    ~ServiceRun() {
        if (service_) service_->endRun();
    }
    ServiceRun(const ServiceRun&) = delete;
    ServiceRun& operator=(const ServiceRun&) = delete;

    // Its id in the log; "" without one.
    const std::string& id() const { return id_; }

private:
    FileOperationService* service_;
    std::string id_;
};

}  // namespace kirvo
