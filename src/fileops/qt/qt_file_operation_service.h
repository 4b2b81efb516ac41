#pragma once
#include "fileops/delete_plan.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/qt/qt_file_operation_ui.h"

namespace kirvo {

// The window's file operations: the real service with its dialogs, each request
// framed so the progress dialog closes when the request is over.
class QtFileOperationService final : public FileOperationService {
public:
    explicit QtFileOperationService(QWidget* dialogParent,
                                    std::chrono::milliseconds showProgressAfter = QtFileOperationUi::kShowProgressAfter)
        : ui_(dialogParent, showProgressAfter), service_(ui_) {}

    OperationResult copy(std::span<const CopyPair> pairs, const CopyFlags& flags) override;
    // A path of a delete request, as the delete plan holds it.
    using DeletePath = decltype(DeletePlan::sourceFiles)::value_type;
    OperationResult remove(std::span<const DeletePath> paths, const DeleteFlags& flags) override;

    QtFileOperationUi& ui() { return ui_; }

private:
    QtFileOperationUi ui_;
    LocalFileOperationService service_;
};

}  // namespace kirvo
