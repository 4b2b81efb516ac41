#include "fileops/qt/qt_file_operation_ui.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "fileops/file_operation_texts.h"
#include "platform/qt/qt_translation.h"

namespace kirvo {
namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString FileName(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return QtFileOperationUi::Display(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

QString Folder(std::string_view path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? QString() : QtFileOperationUi::Display(path.substr(0, slash + 1));
}

// A button's text with its mnemonic: the key that answers the question
// (J, A, N as kirvo-cli's j, a, N in German).
QString ButtonText(std::string_view text) {
    const struct {
        std::string_view text;
        const char* withKey;
    } kKeys[] = {
        {FileOperationTexts::kYes, TrNoop("&Ja")},
        {FileOperationTexts::kYesToAll, TrNoop("Ja, &alle")},
        {FileOperationTexts::kNo, TrNoop("&Nein")},
        {FileOperationTexts::kRetry, TrNoop("&Wiederholen")},
        {FileOperationTexts::kSkip, TrNoop("Ü&berspringen")},
        {FileOperationTexts::kSkipAll, TrNoop("&Alle überspringen")},
    };
    for (const auto& key : kKeys)
        if (key.text == text) return QTr(key.withKey);
    return QTr(text.data());
}

constexpr int kProgressSteps = 1000;
// The speed is that of the last few seconds.
constexpr qint64 kSpeedWindowMilliseconds = 5000;

}  // namespace

QtFileOperationUi::QtFileOperationUi(QWidget* parent, std::chrono::milliseconds showProgressAfter)
    : parent_(parent), showProgressAfter_(showProgressAfter) {}

QtFileOperationUi::~QtFileOperationUi() { endRequest(); }

QString QtFileOperationUi::Display(std::string_view bytes) { return Text(bytes); }

void QtFileOperationUi::beginRequest(Request request) {
    endRequest();
    request_ = request;
    cancelled_ = false;
    samples_.clear();
    sinceStart_.start();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++cursorsPushed_;
}

void QtFileOperationUi::endRequest() {
    delete progress_.data();
    sinceStart_.invalidate();
    for (; cursorsPushed_ > 0; --cursorsPushed_) QApplication::restoreOverrideCursor();
}

int QtFileOperationUi::ask(QMessageBox::Icon icon, const QString& text, std::initializer_list<Button> buttons,
                           int defaultIndex, int escapeIndex) {
    QMessageBox box(icon, Text(FileOperationTexts::kTitle), text, QMessageBox::NoButton, parent_.data());
    box.setTextFormat(Qt::PlainText);
    std::vector<QPushButton*> pushButtons;
    for (const Button& button : buttons) pushButtons.push_back(box.addButton(ButtonText(button.text), button.role));
    box.setDefaultButton(pushButtons[static_cast<size_t>(defaultIndex)]);
    box.setEscapeButton(pushButtons[static_cast<size_t>(escapeIndex)]);

    // The question is answered with the pointer, whatever the request shows meanwhile.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    QApplication::restoreOverrideCursor();

    QAbstractButton* clicked = box.clickedButton();
    for (size_t i = 0; i < pushButtons.size(); ++i) {
        if (pushButtons[i] == clicked) return static_cast<int>(i);
    }
    return escapeIndex;
}

ConfirmAnswer QtFileOperationUi::askConfirm(QMessageBox::Icon icon, const std::string& text, int defaultIndex) {
    const int answer = ask(icon, Text(text),
                           {{FileOperationTexts::kYes, QMessageBox::YesRole},
                            {FileOperationTexts::kYesToAll, QMessageBox::YesRole},
                            {FileOperationTexts::kNo, QMessageBox::NoRole},
                            {FileOperationTexts::kCancel, QMessageBox::RejectRole}},
                           defaultIndex, 3);
    static constexpr ConfirmAnswer kAnswers[] = {ConfirmAnswer::Yes, ConfirmAnswer::YesToAll, ConfirmAnswer::No,
                                                 ConfirmAnswer::Cancel};
    return kAnswers[answer];
}

ConfirmAnswer QtFileOperationUi::confirmFolderCreation(const std::string& folder) {
    return askConfirm(QMessageBox::Question, FileOperationTexts::FolderCreationQuestion(folder), 0);
}

ConfirmAnswer QtFileOperationUi::confirmOverwrite(const FileFacts& source, const FileFacts& destination,
                                                  bool destinationNewer) {
    // Replacing a newer file loses work: the warning stands out and Enter does not confirm it.
    return askConfirm(destinationNewer ? QMessageBox::Warning : QMessageBox::Question,
                      FileOperationTexts::OverwriteQuestion(source, destination, destinationNewer),
                      destinationNewer ? 2 : 0);
}

bool QtFileOperationUi::confirmDelete(const DeleteRequest& request) {
    // Deleting for good: Enter and Escape both keep the files. Into the trash,
    // which gives them back, Enter agrees.
    return ask(request.toTrash ? QMessageBox::Question : QMessageBox::Warning,
               Text(FileOperationTexts::DeleteQuestion(request)),
               {{FileOperationTexts::kYes, QMessageBox::YesRole}, {FileOperationTexts::kNo, QMessageBox::NoRole}},
               request.toTrash ? 0 : 1, 1) == 0;
}

ConfirmAnswer QtFileOperationUi::confirmChanged(const ChangedFile& file) {
    // Someone's newer work: Enter keeps it.
    return askConfirm(QMessageBox::Warning, FileOperationTexts::ChangedQuestion(file), 2);
}

ConfirmAnswer QtFileOperationUi::confirmWithoutTrash(const std::string& path, TreeSide side, FileAction action,
                                                     const std::string& reason) {
    return askConfirm(QMessageBox::Warning, FileOperationTexts::WithoutTrashQuestion(path, side, action, reason), 2);
}

ErrorAnswer QtFileOperationUi::reportError(const std::string& path, const std::string& reason) {
    const int answer = ask(QMessageBox::Critical, Text(FileOperationTexts::ErrorMessage(path, reason)),
                           {{FileOperationTexts::kRetry, QMessageBox::AcceptRole},
                            {FileOperationTexts::kSkip, QMessageBox::AcceptRole},
                            {FileOperationTexts::kSkipAll, QMessageBox::AcceptRole},
                            {FileOperationTexts::kCancel, QMessageBox::RejectRole}},
                           1, 3);
    static constexpr ErrorAnswer kAnswers[] = {ErrorAnswer::Retry, ErrorAnswer::Skip, ErrorAnswer::SkipAll,
                                               ErrorAnswer::Cancel};
    return kAnswers[answer];
}

void QtFileOperationUi::notify(const std::string& text) {
    ask(QMessageBox::Information, Text(text), {{FileOperationTexts::kOk, QMessageBox::AcceptRole}}, 0, 0);
}

void QtFileOperationUi::showProgress(const QString& label) {
    auto* dialog = new QProgressDialog(parent_.data());
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setWindowTitle(Text(FileOperationTexts::kTitle) + QStringLiteral(" – ") +
                           (request_ == Request::Copy     ? QTr("Kopieren")
                            : request_ == Request::Move   ? QTr("Umbenennen")
                            : request_ == Request::Delete ? QTr("Löschen")
                                                          : QTr("Rückgängig machen")));
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setCancelButtonText(QTr(FileOperationTexts::kCancel.data()));
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setRange(0, kProgressSteps);
    dialog->setMinimumWidth(480);
    QObject::connect(dialog, &QProgressDialog::canceled, dialog, [this] { cancelled_ = true; });
    progress_ = dialog;
    dialog->setLabelText(label);
    // Centred on the main window, every time, at the size its texts need.
    dialog->resize(dialog->sizeHint().expandedTo(QSize(480, 0)));
    if (parent_) {
        const QRect frame = parent_->window()->frameGeometry();
        dialog->move(frame.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
    }
    dialog->show();
    // The dialog takes the pointer; the wait cursor stays for the rest of the request.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    ++cursorsPushed_;
}

QString QtFileOperationUi::progressLines(const ProgressInfo& info) {
    const qint64 now = sinceStart_.elapsed();
    if (samples_.empty() || now - samples_.back().first >= 100) samples_.emplace_back(now, info.bytesDone);
    while (samples_.size() > 2 && now - samples_[1].first >= kSpeedWindowMilliseconds) samples_.pop_front();
    QString lines = Text(FileOperationTexts::TransferLine(info));
    if (info.flushing) return lines + u'\n' + QTr(FileOperationTexts::kFlushing.data());
    const qint64 span = now - samples_.front().first;
    if (info.bytesTotal == 0 || span < 500) return lines + u'\n';
    const double rate = static_cast<double>(info.bytesDone - samples_.front().second) * 1000.0 / static_cast<double>(span);
    const double left = rate > 0 ? static_cast<double>(info.bytesTotal - std::min(info.bytesDone, info.bytesTotal)) / rate : -1;
    return lines + u'\n' + Text(FileOperationTexts::RateLine(rate, now >= 1000 ? left : -1));
}

bool QtFileOperationUi::progress(const ProgressInfo& info) {
    if (!sinceStart_.isValid()) sinceStart_.start();
    const QString folder = Folder(info.file);
    const QString label = FileName(info.file) + (folder.isEmpty() ? QString() : QStringLiteral("\n") + folder) +
                          QStringLiteral("\n\n") + progressLines(info);
    if (!progress_ && !cancelled_ && sinceStart_.elapsed() >= showProgressAfter_.count()) showProgress(label);
    if (progress_) {
        progress_->setLabelText(label);
        int value = 0;
        if (info.bytesTotal > 0) {
            value = static_cast<int>(static_cast<double>(info.bytesDone) * kProgressSteps /
                                     static_cast<double>(info.bytesTotal));
        } else if (info.filesTotal > 0) {
            value = static_cast<int>(static_cast<int64_t>(info.filesDone) * kProgressSteps / info.filesTotal);
        }
        progress_->setValue(std::min(value, kProgressSteps));
    }
    keepEventsFlowing();
    return !cancelled_;
}

void QtFileOperationUi::keepEventsFlowing() {
    // Before the modal progress dialog is up, the user's input would reach the
    // main window and could start another command in the middle of this one.
    QCoreApplication::processEvents(progress_ ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

}  // namespace kirvo
