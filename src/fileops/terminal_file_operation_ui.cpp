#include "fileops/terminal_file_operation_ui.h"

#include <cctype>
#include <istream>
#include <ostream>

#include "fileops/file_operation_texts.h"
#include "fileops/terminal_text.h"

namespace kirvo {
namespace {

// Names, reasons and notices are shown escaped, so that they can neither break
// the layout nor steer the terminal.
std::string Shown(std::string_view text) { return DisplayEscaped(text); }

FileFacts Shown(const FileFacts& facts) {
    FileFacts shown = facts;
    shown.path = Shown(facts.path);
    return shown;
}

}  // namespace

std::string TerminalFileOperationUi::readAnswer() {
    std::string line;
    if (!std::getline(in_, line)) return {};
    size_t start = 0;
    while (start < line.size() && std::isspace(static_cast<unsigned char>(line[start]))) ++start;
    std::string answer;
    for (size_t i = start; i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])); ++i)
        answer.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(line[i]))));
    return answer;
}

void TerminalFileOperationUi::endProgressLine() {
    if (!progressShown_) return;
    progressOut_ << "\r\033[K" << std::flush;
    progressShown_ = false;
}

ConfirmAnswer TerminalFileOperationUi::askConfirm(const std::string& question) {
    endProgressLine();
    out_ << question << " [j = Ja / a = Ja, alle / N = Nein / x = Abbrechen] " << std::flush;
    const std::string answer = readAnswer();
    if (answer == "j" || answer == "ja") return ConfirmAnswer::Yes;
    if (answer == "a" || answer == "alle") return ConfirmAnswer::YesToAll;
    if (answer == "x" || answer == "abbrechen") return ConfirmAnswer::Cancel;
    return ConfirmAnswer::No;
}

ConfirmAnswer TerminalFileOperationUi::confirmFolderCreation(const std::string& folder) {
    return askConfirm(FileOperationTexts::FolderCreationQuestion(Shown(folder)));
}

ConfirmAnswer TerminalFileOperationUi::confirmOverwrite(const FileFacts& source, const FileFacts& destination,
                                                        bool destinationNewer) {
    return askConfirm(FileOperationTexts::OverwriteQuestion(Shown(source), Shown(destination), destinationNewer));
}

bool TerminalFileOperationUi::confirmDelete(const DeleteRequest& request) {
    endProgressLine();
    DeleteRequest shown = request;
    for (std::string& name : shown.firstNames) name = Shown(name);
    out_ << FileOperationTexts::DeleteQuestion(shown) << " [j/N] " << std::flush;
    const std::string answer = readAnswer();
    return answer == "j" || answer == "ja";
}

ConfirmAnswer TerminalFileOperationUi::confirmChanged(const ChangedFile& file) {
    ChangedFile shown = file;
    shown.path = Shown(file.path);
    return askConfirm(FileOperationTexts::ChangedQuestion(shown));
}

ConfirmAnswer TerminalFileOperationUi::confirmWithoutTrash(const std::string& path, TreeSide side, FileAction action,
                                                           const std::string& reason) {
    return askConfirm(FileOperationTexts::WithoutTrashQuestion(Shown(path), side, action, Shown(reason)));
}

void TerminalFileOperationUi::notify(const std::string& text) {
    endProgressLine();
    out_ << "Hinweis: " << Shown(text) << "\n" << std::flush;
}

ErrorAnswer TerminalFileOperationUi::reportError(const std::string& path, const std::string& reason) {
    endProgressLine();
    out_ << "Fehler: " << FileOperationTexts::ErrorMessage(Shown(path), Shown(reason)) << "\n"
         << "[w = Wiederholen / U = Überspringen / a = Alle überspringen / x = Abbrechen] " << std::flush;
    const std::string answer = readAnswer();
    if (answer == "w" || answer == "wiederholen") return ErrorAnswer::Retry;
    if (answer == "a" || answer == "alle") return ErrorAnswer::SkipAll;
    if (answer == "x" || answer == "abbrechen") return ErrorAnswer::Cancel;
    return ErrorAnswer::Skip;
}

bool TerminalFileOperationUi::progress(const ProgressInfo& info) {
    if (cancelRequested_.load()) return false;
    if (!showProgress_) return true;
    progressOut_ << "\r\033[K" << FileOperationTexts::ProgressLine(info) << ": "
                 << (info.flushing ? std::string(FileOperationTexts::kFlushing) : Shown(info.file)) << std::flush;
    progressShown_ = true;
    return true;
}

}  // namespace kirvo
