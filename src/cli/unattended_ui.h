#pragma once
#include <ostream>
#include <string>

#include "fileops/file_operation_ui.h"

namespace kirvo {

// kirvo-cli sync --yes: the service's questions are answered without asking.
// Folders are made, files replaced and the run's deletions done (they were
// planned and passed the guards). A destination changed after its source or
// since the comparison is still not replaced, nor a file deleted that changed
// since, nor is a file replaced or deleted for good that should go to the
// trash: that is never done without a person's answer. Errors are reported
// and skipped. Progress goes to the terminal's own UI.
class UnattendedUi final : public FileOperationUi {
public:
    // prefix: what each line begins with ("kirvo-cli sync: ").
    UnattendedUi(FileOperationUi& progress, std::string prefix, std::ostream& err)
        : progress_(progress), prefix_(std::move(prefix)), err_(err) {}

    ConfirmAnswer confirmFolderCreation(const std::string&) override { return ConfirmAnswer::YesToAll; }
    ConfirmAnswer confirmOverwrite(const FileFacts&, const FileFacts& destination, bool destinationNewer) override;
    bool confirmDelete(const DeleteRequest&) override { return true; }
    ConfirmAnswer confirmChanged(const ChangedFile& file) override;
    ConfirmAnswer confirmWithoutTrash(const std::string& path, TreeSide, FileAction action,
                                      const std::string& reason) override;
    void notify(const std::string& text) override;
    ErrorAnswer reportError(const std::string& path, const std::string& reason) override;
    bool progress(const ProgressInfo& info) override { return progress_.progress(info); }

private:
    void say(const std::string& what, const std::string& path);

    FileOperationUi& progress_;
    std::string prefix_;
    std::ostream& err_;
};

}  // namespace kirvo
