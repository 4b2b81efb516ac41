#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// A file as a question shows it.
struct FileFacts {
    std::string path;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;  // UTC, seconds since 1970-01-01
    uint32_t modifiedNanoseconds = 0;
};

// "Ja", "Ja, alle", "Nein", "Abbrechen"
enum class ConfirmAnswer { Yes, YesToAll, No, Cancel };

// "Wiederholen", "Überspringen", "Alle überspringen", "Abbrechen"
enum class ErrorAnswer { Retry, Skip, SkipAll, Cancel };

struct ProgressInfo {
    std::string_view file;  // full path of the file being worked on
    int32_t filesDone = 0;
    int32_t filesTotal = 0;
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
};

// Everything the file-operation service asks or tells the user goes through this:
// dialogs in the window, the terminal in kirvo-cli, a script in tests.
// FileOperationTexts has the wording.
class FileOperationUi {
public:
    virtual ~FileOperationUi() = default;

    // folder (and any missing folders above it) does not exist; create it?
    virtual ConfirmAnswer confirmFolderCreation(const std::string& folder) = 0;

    // Replace destination by source? destinationNewer: the destination was changed
    // after its source, which this question is then always asked about.
    virtual ConfirmAnswer confirmOverwrite(const FileFacts& source, const FileFacts& destination,
                                           bool destinationNewer) = 0;

    // One question per delete request: delete count files for good? true = yes.
    virtual bool confirmDelete(int32_t count) = 0;

    // One report per failure: path is the file concerned, reason says what went
    // wrong, with the system's own text.
    virtual ErrorAnswer reportError(const std::string& path, const std::string& reason) = 0;

    // Called before each file and while large files are copied, so the UI can show
    // progress once the request takes longer than a moment. false = Cancel.
    virtual bool progress(const ProgressInfo& info) = 0;
};

}  // namespace kirvo
