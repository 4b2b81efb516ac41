#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/listed_file.h"

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

// What is about to happen to a file that a question is about.
enum class FileAction { Trash, Delete, Replace, ReplaceKeepingOld };

// The one question before a delete request: what goes, on which side, and how.
struct DeleteRequest {
    int32_t count = 0;
    TreeSide side = TreeSide::None;
    std::vector<std::string> firstNames;  // the first few, relative to their root
    bool toTrash = false;                 // false: for good
};

// A file that is not what the comparison listed.
struct ChangedFile {
    TreeSide side = TreeSide::None;
    FileAction action = FileAction::Delete;
    std::string path;
    bool listedPresent = true;  // false: the comparison saw no file there
    FileFacts listed;           // path unused
    FileFacts now;
};

struct ProgressInfo {
    std::string_view file;  // full path of the file being worked on
    int32_t filesDone = 0;
    int32_t filesTotal = 0;
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
    // The data copied so far is being written to the disk before the files
    // are renamed into place: nothing moves until that is over.
    bool flushing = false;
};

// Everything the file-operation service asks or tells the user goes through this:
// dialogs in the window, the terminal in kirvo-cli, a script in tests.
// FileOperationTexts has the wording. Every question that could lose a file
// keeps it on Enter.
class FileOperationUi {
public:
    virtual ~FileOperationUi() = default;

    // folder (and any missing folders above it) does not exist; create it?
    virtual ConfirmAnswer confirmFolderCreation(const std::string& folder) = 0;

    // Replace destination by source? destinationNewer: the destination was changed
    // after its source, which this question is then always asked about.
    virtual ConfirmAnswer confirmOverwrite(const FileFacts& source, const FileFacts& destination,
                                           bool destinationNewer) = 0;

    // One question per delete request, naming what goes. true = yes.
    virtual bool confirmDelete(const DeleteRequest& request) = 0;

    // The file changed (or appeared) since the comparison: go ahead all the same?
    virtual ConfirmAnswer confirmChanged(const ChangedFile& file) = 0;

    // No trash can take the file (reason says why): delete or replace it for good?
    virtual ConfirmAnswer confirmWithoutTrash(const std::string& path, TreeSide side, FileAction action,
                                              const std::string& reason) = 0;

    // One report per failure: path is the file concerned, reason says what went
    // wrong, with the system's own text.
    virtual ErrorAnswer reportError(const std::string& path, const std::string& reason) = 0;

    // Something to know that asks for no answer (metadata a destination could not
    // keep, a log that cannot be written); each is given once.
    virtual void notify(const std::string& text) = 0;

    // Called before each file and while large files are copied, so the UI can show
    // progress once the request takes longer than a moment. false = Cancel.
    virtual bool progress(const ProgressInfo& info) = 0;
};

}  // namespace kirvo
