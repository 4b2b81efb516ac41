#pragma once
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <chrono>
#include <deque>
#include <initializer_list>
#include <string_view>

#include "fileops/file_operation_ui.h"

class QWidget;

namespace kirvo {

// The file operations' questions, error reports and progress as dialogs of the
// window. Wording from FileOperationTexts; paths are shown as text converted
// from their bytes (bytes that are not UTF-8 show as replacement characters).
//
// A request is framed by beginRequest/endRequest (QtFileOperationService does
// that). The progress dialog appears only once a request has run longer than
// showProgressAfter, and closes at endRequest. While it runs, every progress
// call lets the event loop go on, so the dialog repaints and "Abbrechen" works;
// input to the other windows waits meanwhile, so no command can start a second
// request inside the first.
class QtFileOperationUi final : public FileOperationUi {
public:
    static constexpr std::chrono::milliseconds kShowProgressAfter{500};

    enum class Request { Copy, Delete, Move, Undo };

    // parent owns the dialogs (the main window); may be null.
    explicit QtFileOperationUi(QWidget* parent, std::chrono::milliseconds showProgressAfter = kShowProgressAfter);
    ~QtFileOperationUi() override;
    QtFileOperationUi(const QtFileOperationUi&) = delete;
    QtFileOperationUi& operator=(const QtFileOperationUi&) = delete;

    void beginRequest(Request request);
    void endRequest();

    ConfirmAnswer confirmFolderCreation(const std::string& folder) override;
    ConfirmAnswer confirmOverwrite(const FileFacts& source, const FileFacts& destination,
                                   bool destinationNewer) override;
    bool confirmDelete(const DeleteRequest& request) override;
    ConfirmAnswer confirmChanged(const ChangedFile& file) override;
    ConfirmAnswer confirmWithoutTrash(const std::string& path, TreeSide side, FileAction action,
                                      const std::string& reason) override;
    ErrorAnswer reportError(const std::string& path, const std::string& reason) override;
    void notify(const std::string& text) override;
    bool progress(const ProgressInfo& info) override;

    // The progress dialog of the running request; null until it is shown.
    QProgressDialog* progressDialog() const { return progress_.data(); }

    // Text of a byte string for display.
    static QString Display(std::string_view bytes);

private:
    struct Button {
        std::string_view text;
        QMessageBox::ButtonRole role;
    };
    // Shows one question; returns the index of the button pressed. Escape and
    // closing the box answer escapeIndex.
    int ask(QMessageBox::Icon icon, const QString& text, std::initializer_list<Button> buttons, int defaultIndex,
            int escapeIndex);
    // "Ja", "Ja, alle", "Nein", "Abbrechen" with Enter on defaultIndex.
    ConfirmAnswer askConfirm(QMessageBox::Icon icon, const std::string& text, int defaultIndex);
    void showProgress(const QString& label);
    void keepEventsFlowing();
    // The lines below the file: files and bytes done of all, then the speed
    // and the time left (or that the copies are being written to the disk).
    QString progressLines(const ProgressInfo& info);

    QPointer<QWidget> parent_;
    std::chrono::milliseconds showProgressAfter_;
    Request request_ = Request::Copy;
    QElapsedTimer sinceStart_;
    // Bytes done at moments of the last few seconds (milliseconds since the
    // start of the request), for the speed.
    std::deque<std::pair<qint64, uint64_t>> samples_;
    QPointer<QProgressDialog> progress_;
    bool cancelled_ = false;
    int cursorsPushed_ = 0;
};

}  // namespace kirvo
