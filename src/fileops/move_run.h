#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fileops/file_attempt.h"
#include "fileops/file_operation_service.h"
#include "fileops/file_operation_ui.h"
#include "fileops/file_stamp.h"
#include "fileops/operation_log.h"
#include "fileops/root_cache.h"

namespace kirvo {

// The state of one move request, and of one request to remove empty folders
// (see FileOperationService::move and removeEmptyFolders): one file or
// folder at a time, through open folders below its root, never following a
// link on the way.
class MoveRun {
public:
    MoveRun(FileOperationUi& ui, OperationLog* log, RootAccess& roots) : ui_(ui), log_(log), roots_(roots) {}

    OperationResult run(std::span<const MovePair> moves);
    OperationResult removeEmptyFolders(std::span<const RootedPath> folders);
    OperationResult makeFolders(std::span<const RootedPath> folders);

private:
    FileAttempt moveOnce(const MovePair& move, FileReport& report);
    FileAttempt moveFolderOnce(const MovePair& move, const FolderHandle& folder, const NodeInfo& node,
                               const PathParts& from, const PathParts& to);
    FileAttempt removeFolderOnce(const RootedPath& folder);
    // Opens the folder of p below its root, making what is missing on the way.
    FileAttempt openOrMakeFolderOf(const RootedPath& p, const PathParts& parts, FolderHandle& folder);
    void log(std::string_view action, const std::string& source, const std::string& destination,
             std::optional<uint64_t> size, const FileReport& report, std::optional<FileStamp> after = std::nullopt);
    void write(const OperationLog::Entry& entry);

    FileOperationUi& ui_;
    OperationLog* log_;
    RootCache roots_;
    uint64_t lastSize_ = 0;
    NodeInfo lastMoved_;  // the file moved last, at its new place
    int32_t foldersMade_ = 0;
};

}  // namespace kirvo
