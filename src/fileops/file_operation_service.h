#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fileops/sync_plan.h"

namespace kirvo {

// Options vorUeberschreiben and vorDir. Only files are ever copied.
struct CopyFlags {
    bool confirmOverwrite = true;       // vorUeberschreiben
    bool confirmFolderCreation = true;  // vorDir
};

// Option vorLoeschen. Only files (and links themselves) are ever deleted, for good.
struct DeleteFlags {
    bool confirmDelete = true;  // vorLoeschen
};

enum class FileOutcome {
    Done,       // copied / deleted
    Skipped,    // the user answered "Nein" to a question about it
    Failed,     // an error, reported to the user; reason says which
    Cancelled,  // not done because the request was cancelled
};

struct FileReport {
    std::string path;         // full path of the file copied from, or of the file deleted
    std::string destination;  // copy only: full path of where it was to go
    FileOutcome outcome = FileOutcome::Cancelled;
    std::string reason;  // Failed: what went wrong; Skipped: which question was declined
};

// One report per file of the request, in request order. Nothing that failed,
// was skipped or cancelled is reported as done.
struct OperationResult {
    std::vector<FileReport> files;
    bool cancelled = false;  // the user stopped the request (or declined the delete question)

    int32_t count(FileOutcome outcome) const {
        int32_t n = 0;
        for (const FileReport& f : files) n += f.outcome == outcome ? 1 : 0;
        return n;
    }
    bool allDone() const { return count(FileOutcome::Done) == static_cast<int32_t>(files.size()); }
};

// Copies and deletes files for the window and for kirvo-cli; each brings its own
// FileOperationUi to the real implementation. Tests of callers use a fake.
class FileOperationService {
public:
    virtual ~FileOperationService() = default;

    // Copies every pairs[i].from to its own destination pairs[i].to. Each path is
    // reached below its own root only (see RootedPath); the plans fill them so.
    virtual OperationResult copy(std::span<const CopyPair> pairs, const CopyFlags& flags) = 0;

    // Deletes every path (files and links themselves; never folders), each reached
    // below its own root only.
    virtual OperationResult remove(std::span<const RootedPath> paths, const DeleteFlags& flags) = 0;
};

}  // namespace kirvo
