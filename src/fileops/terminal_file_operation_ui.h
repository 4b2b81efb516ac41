#pragma once
#include <atomic>
#include <iosfwd>
#include <string>

#include "fileops/file_operation_ui.h"

namespace kirvo {

// FileOperationUi on a terminal, for kirvo-cli: questions go to out and are
// answered by a line from in; an empty line, an unknown answer or the end of
// input takes the safe choice ("Nein" for questions, "Überspringen" for errors).
// Progress, when wanted, is one line on progressOut rewritten in place.
class TerminalFileOperationUi final : public FileOperationUi {
public:
    TerminalFileOperationUi(std::istream& in, std::ostream& out, std::ostream& progressOut, bool showProgress)
        : in_(in), out_(out), progressOut_(progressOut), showProgress_(showProgress) {}
    ~TerminalFileOperationUi() override { endProgressLine(); }

    ConfirmAnswer confirmFolderCreation(const std::string& folder) override;
    ConfirmAnswer confirmOverwrite(const FileFacts& source, const FileFacts& destination,
                                   bool destinationNewer) override;
    bool confirmDelete(const DeleteRequest& request) override;
    ConfirmAnswer confirmChanged(const ChangedFile& file) override;
    ConfirmAnswer confirmWithoutTrash(const std::string& path, TreeSide side, FileAction action,
                                      const std::string& reason) override;
    ErrorAnswer reportError(const std::string& path, const std::string& reason) override;
    // "Hinweis: <text>" on its own line.
    void notify(const std::string& text) override;
    bool progress(const ProgressInfo& info) override;

    // Makes the next progress call answer Cancel. Safe to call from a signal
    // handler (SIGINT), so Ctrl+C stops cleanly without a temporary file left over.
    void requestCancel() { cancelRequested_.store(true); }

private:
    ConfirmAnswer askConfirm(const std::string& question);
    std::string readAnswer();
    void endProgressLine();

    std::istream& in_;
    std::ostream& out_;
    std::ostream& progressOut_;
    bool showProgress_;
    bool progressShown_ = false;
    std::atomic<bool> cancelRequested_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};

}  // namespace kirvo
