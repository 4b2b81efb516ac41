#pragma once
#include <span>

#include "fileops/file_attempt.h"
#include "fileops/file_operation_service.h"
#include "fileops/file_operation_ui.h"
#include "fileops/root_cache.h"
#include "platform/trash.h"

namespace kirvo {

class OperationLog;

// The state of one delete request (see LocalFileOperationService for the rules).
class DeleteRun {
public:
    DeleteRun(FileOperationUi& ui, const DeleteFlags& flags, OperationLog* log, RootAccess& roots)
        : ui_(ui), flags_(flags), log_(log), roots_(roots) {}

    OperationResult run(std::span<const ListedPath> files);

    // How many names the question before a request shows.
    static constexpr size_t kNamesShown = 5;

private:
    FileAttempt removeOnce(const ListedPath& item, FileReport& report);
    void logOutcome(const ListedPath& item, const FileReport& report);

    FileOperationUi& ui_;
    DeleteFlags flags_;
    OperationLog* log_;
    RootCache roots_;
    Trash trash_;
    bool allChanged_ = false;
    bool allWithoutTrash_ = false;
    bool toTrash_ = false;     // the request's files go to the trash
    bool askForGood_ = false;  // they cannot, and no question before the request said so
    uint64_t lastSize_ = 0;
    NodeInfo lastNode_;        // the file last removed, as it was
    TrashedFile lastTrashed_;  // and where it went
};

}  // namespace kirvo
