#pragma once
#include "fileops/copy_run.h"
#include "fileops/file_operation_service.h"
#include "fileops/file_operation_ui.h"

namespace kirvo {

class OperationLog;

// The real file operations: does its own I/O through the platform's FileTransfer,
// FolderHandle and Trash, asks and reports everything through ui, and writes
// what it did to the log (when given one).
//
// Copy, per pair (CopyRun): regular files only; missing destination folders are
// created (after asking when confirmFolderCreation is set; folders declined are
// not asked about again in the same request), each with the metadata of its
// source folder; a destination that is not what the comparison listed (changed,
// or appeared since) is replaced only after asking, Enter keeping it; an existing
// destination is replaced only after asking when confirmOverwrite is set, and a
// destination newer than its source only after asking whatever the flags; with
// keepReplaced the replaced file goes to the trash first, the destination path
// holding the old or the new file at every moment, and where no trash can take
// it the user is asked whether to replace it for good; a link at the
// destination is replaced by the file when it points to a file, otherwise it is
// an error; a destination that is a folder or anything but a file is an error,
// nothing is removed. Each file goes through a temporary file of ours renamed
// over the destination (see FileTransfer), with the source's metadata; what a
// destination could not keep is told once per destination root. The temporary
// files are flushed to disk in batches (one flush per file system for up to 128
// files or 64 MiB, fewer under a low open-file limit; running out of handles
// flushes the batch and tries again) and renamed only after their flush, so
// after a crash each destination is old or complete; a file is reported done
// only after its rename, and a failure at the rename is reported then, with the
// same answers. A pair whose source or destination is a file still waiting in
// the batch waits for it.
//
// Delete (DeleteRun): one question naming count, side and the first names when
// confirmDelete is set; files and links themselves only; each file is checked
// against what the comparison listed first (changed: asked, Enter keeps it);
// with useTrash it goes to the trash, and where none can take it the user is
// asked whether to delete it for good.
//
// Move (MoveRun): files and links themselves, each checked against what the
// comparison listed first (changed, or another file by its inode: left where
// it is, skipped); renamed through open folders below its root, never over
// anything (a name taken since is a failure); missing folders on the way are
// made. A folder is renamed only within its own folder (a change of letter
// case). Removing empty folders: rmdir of each, a folder not empty is
// skipped; making folders: each with the folders missing on the way, every
// one made logged for undo.
//
// Each failure is reported once with "Wiederholen", "Überspringen", "Alle
// überspringen", "Abbrechen"; the rest of the request goes on unless cancelled.
// Cancel in the progress stops at once: the file being copied is abandoned (its
// destination stays as it was, its temporary file is removed) and the rest is not
// started.
class LocalFileOperationService final : public FileOperationService {
public:
    // roots: how roots are reached (the local file system unless remote roots take part).
    explicit LocalFileOperationService(FileOperationUi& ui, OperationLog* log = nullptr,
                                       RootAccess& roots = RootAccess::Local())
        : ui_(ui), log_(log), roots_(roots) {}

    OperationResult copy(std::span<const CopyPair> pairs, const CopyFlags& flags) override;
    OperationResult remove(std::span<const ListedPath> files, const DeleteFlags& flags) override;
    OperationResult move(std::span<const MovePair> moves) override;
    OperationResult removeEmptyFolders(std::span<const RootedPath> folders) override;
    OperationResult makeFolders(std::span<const RootedPath> folders) override;
    std::string beginRun(const OperationLog::RunStart& start) override;
    void endRun() override;

    // Bytes copied between two progress calls within one file.
    static constexpr uint64_t kChunkBytes = CopyRun::kChunkBytes;

private:
    FileOperationUi& ui_;
    OperationLog* log_;
    RootAccess& roots_;
};

}  // namespace kirvo
