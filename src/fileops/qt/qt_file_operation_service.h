#pragma once
#include "fileops/local_file_operation_service.h"
#include "fileops/qt/qt_file_operation_ui.h"

namespace kirvo {

// The window's file operations: the real service with its dialogs, each request
// framed so the progress dialog closes when the request is over.
class QtFileOperationService final : public FileOperationService {
public:
    // log, when given, and roots must outlive the service.
    explicit QtFileOperationService(QWidget* dialogParent,
                                    std::chrono::milliseconds showProgressAfter = QtFileOperationUi::kShowProgressAfter,
                                    OperationLog* log = nullptr, RootAccess& roots = RootAccess::Local())
        : ui_(dialogParent, showProgressAfter), service_(ui_, log, roots) {}

    OperationResult copy(std::span<const CopyPair> pairs, const CopyFlags& flags) override;
    OperationResult remove(std::span<const ListedPath> files, const DeleteFlags& flags) override;
    OperationResult move(std::span<const MovePair> moves) override;
    OperationResult removeEmptyFolders(std::span<const RootedPath> folders) override;
    std::string beginRun(const OperationLog::RunStart& start) override { return service_.beginRun(start); }
    void endRun() override { service_.endRun(); }

    QtFileOperationUi& ui() { return ui_; }

private:
    QtFileOperationUi ui_;
    LocalFileOperationService service_;
};

}  // namespace kirvo
