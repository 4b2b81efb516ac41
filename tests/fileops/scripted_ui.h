#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "fileops/file_operation_ui.h"

namespace kirvo::test {

// A FileOperationUi that answers from scripts and records what it was asked.
// An unscripted question fails the test through the default answers below.
class ScriptedUi : public FileOperationUi {
public:
    struct Overwrite {
        FileFacts source;
        FileFacts destination;
        bool destinationNewer;
    };
    struct Error {
        std::string path;
        std::string reason;
    };

    std::deque<ConfirmAnswer> folderAnswers;
    std::deque<ConfirmAnswer> overwriteAnswers;
    std::deque<bool> deleteAnswers;
    std::deque<ConfirmAnswer> changedAnswers;
    std::deque<ConfirmAnswer> withoutTrashAnswers;
    std::deque<ErrorAnswer> errorAnswers;
    std::function<void(const Error&)> onError;  // runs before the answer is given
    std::function<void(const ProgressInfo&)> onProgress;  // runs before the answer is given
    // Returns false (Cancel) on the n-th progress call (0-based); -1: never.
    int cancelAtProgressCall = -1;

    std::vector<std::string> folderQuestions;
    std::vector<Overwrite> overwriteQuestions;
    std::vector<DeleteRequest> deleteQuestions;
    std::vector<ChangedFile> changedQuestions;
    std::vector<std::string> withoutTrashQuestions;  // path: reason
    std::vector<Error> errors;
    std::vector<std::string> notices;
    std::vector<ProgressInfo> progressCalls;

    ConfirmAnswer confirmFolderCreation(const std::string& folder) override {
        folderQuestions.push_back(folder);
        return Next(folderAnswers, ConfirmAnswer::Cancel);
    }
    ConfirmAnswer confirmOverwrite(const FileFacts& source, const FileFacts& destination,
                                   bool destinationNewer) override {
        overwriteQuestions.push_back({source, destination, destinationNewer});
        return Next(overwriteAnswers, ConfirmAnswer::Cancel);
    }
    bool confirmDelete(const DeleteRequest& request) override {
        deleteQuestions.push_back(request);
        return Next(deleteAnswers, false);
    }
    ConfirmAnswer confirmChanged(const ChangedFile& file) override {
        changedQuestions.push_back(file);
        return Next(changedAnswers, ConfirmAnswer::Cancel);
    }
    ConfirmAnswer confirmWithoutTrash(const std::string& path, TreeSide, FileAction,
                                      const std::string& reason) override {
        withoutTrashQuestions.push_back(path + ": " + reason);
        return Next(withoutTrashAnswers, ConfirmAnswer::Cancel);
    }
    void notify(const std::string& text) override { notices.push_back(text); }
    ErrorAnswer reportError(const std::string& path, const std::string& reason) override {
        errors.push_back({path, reason});
        if (onError) onError(errors.back());
        return Next(errorAnswers, ErrorAnswer::Cancel);
    }
    bool progress(const ProgressInfo& info) override {
        if (onProgress) onProgress(info);
        ProgressInfo copy = info;
        copy.file = {};  // the view is only valid during the call
        progressCalls.push_back(copy);
        return static_cast<int>(progressCalls.size()) - 1 != cancelAtProgressCall;
    }

private:
    template <class T>
    static T Next(std::deque<T>& answers, T fallback) {
        if (answers.empty()) return fallback;
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace kirvo::test
