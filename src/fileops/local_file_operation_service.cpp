#include "fileops/local_file_operation_service.h"

#include "fileops/copy_run.h"
#include "fileops/delete_run.h"
#include "fileops/move_run.h"
#include "fileops/operation_log.h"

namespace kirvo {

OperationResult LocalFileOperationService::copy(std::span<const CopyPair> pairs, const CopyFlags& flags) {
    return CopyRun(ui_, flags, log_, roots_).run(pairs);
}

OperationResult LocalFileOperationService::remove(std::span<const ListedPath> files, const DeleteFlags& flags) {
    return DeleteRun(ui_, flags, log_, roots_).run(files);
}

OperationResult LocalFileOperationService::move(std::span<const MovePair> moves) {
    return MoveRun(ui_, log_, roots_).run(moves);
}

OperationResult LocalFileOperationService::removeEmptyFolders(std::span<const RootedPath> folders) {
    return MoveRun(ui_, log_, roots_).removeEmptyFolders(folders);
}

OperationResult LocalFileOperationService::makeFolders(std::span<const RootedPath> folders) {
    return MoveRun(ui_, log_, roots_).makeFolders(folders);
}

std::string LocalFileOperationService::beginRun(const OperationLog::RunStart& start) {
    return log_ ? log_->beginRun(start) : std::string();
}

void LocalFileOperationService::endRun() {
    if (log_) log_->endRun();
}

}  // namespace kirvo
