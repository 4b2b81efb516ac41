#pragma once
#include "fileops/file_operation_service.h"
#include "fileops/file_operation_ui.h"

namespace kirvo {

// The real file operations: does its own I/O through the platform's FileTransfer
// and asks and reports everything through ui.
//
// Copy, per pair: regular files only; missing destination folders are created
// (after asking when confirmFolderCreation is set; folders declined are not asked
// about again in the same request); an existing destination is replaced only after
// asking when confirmOverwrite is set, and a destination newer than its source only
// after asking whatever the flags; a link at the destination is replaced by the
// file when it points to a file, otherwise it is an error; a destination that is a
// folder or anything but a file is an error, nothing is removed. Each file goes
// through a temporary file renamed over the destination (see FileTransfer). The
// temporary files are flushed to disk in batches (one flush per file system for up
// to 128 files or 64 MiB) and renamed only after their flush, so after a crash each
// destination is old or complete; a file is reported done only after its rename,
// and a failure at the rename is reported then, with the same answers. A pair whose
// source or destination is a file still waiting in the batch waits for it.
// Delete: one question naming the count when confirmDelete is set; files and links
// themselves only.
// Each failure is reported once with "Wiederholen", "Überspringen", "Alle
// überspringen", "Abbrechen"; the rest of the request goes on unless cancelled.
// Cancel in the progress stops at once: the file being copied is abandoned (its
// destination stays as it was, its temporary file is removed) and the rest is not
// started.
class LocalFileOperationService final : public FileOperationService {
public:
    explicit LocalFileOperationService(FileOperationUi& ui) : ui_(ui) {}

    OperationResult copy(std::span<const CopyPair> pairs, const CopyFlags& flags) override;
    OperationResult remove(std::span<const RootedPath> paths, const DeleteFlags& flags) override;

    // Bytes copied between two progress calls within one file.
    static constexpr uint64_t kChunkBytes = 4u << 20;

private:
    FileOperationUi& ui_;
};

}  // namespace kirvo
