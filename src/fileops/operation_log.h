#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace kirvo {

// The log ("Protokoll") of what the file operations did: one line per copy,
// replacement, move to the trash and delete, appended to a plain text file
// ($XDG_STATE_HOME/kirvo/protokoll.log, else ~/.local/state/kirvo/). Fields
// are tab-separated and escaped as in kirvo-cli's TSV output, paths absolute:
//   time  action  source  destination  size  size before  result
// A log that cannot be written never stops an operation: writing just fails,
// and failureNotice() has the sentence to tell the user, once.
class OperationLog {
public:
    struct Entry {
        std::string_view action;  // kCopied, kReplaced, kTrashed, kDeleted, kMoved, kFolderRemoved
        std::string_view source;
        std::string_view destination;       // "" where there is none
        std::optional<uint64_t> size;       // of the file acted on
        std::optional<uint64_t> sizeBefore; // of the file replaced
        std::string_view result;            // kOk, or "übersprungen: …" / "fehlgeschlagen: …"
    };
    static constexpr std::string_view kCopied = "kopiert";
    static constexpr std::string_view kReplaced = "ersetzt";
    static constexpr std::string_view kTrashed = "Papierkorb";
    static constexpr std::string_view kDeleted = "gelöscht";
    static constexpr std::string_view kMoved = "umbenannt";          // source: old path, destination: new one
    static constexpr std::string_view kFolderRemoved = "Ordner entfernt";  // an empty folder
    // A pair's synchronisation state forgotten: source and destination are the two roots.
    static constexpr std::string_view kStateForgotten = "Abgleichstand vergessen";
    static constexpr std::string_view kOk = "ok";
    static constexpr std::string_view kHeader = "# Zeit\tAktion\tQuelle\tZiel\tGröße\tGröße vorher\tErgebnis";

    explicit OperationLog(std::string path = DefaultPath());
    ~OperationLog();
    OperationLog(const OperationLog&) = delete;
    OperationLog& operator=(const OperationLog&) = delete;

    static std::string DefaultPath();
    const std::string& path() const { return path_; }

    // Appends one line (the file and its folders are made when missing); false
    // when it could not be written.
    bool write(const Entry& entry);

    // After the first failure: the notice for the user; "" afterwards and before.
    std::string failureNotice();

    // "übersprungen: <reason>" / "fehlgeschlagen: <reason>"
    static std::string Skipped(std::string_view reason);
    static std::string Failed(std::string_view reason);

private:
    bool open();

    // Local paths as given are made absolute against the folder the program
    // started in; those on another machine ("sftp://...") stay as they are.
    std::string absolute(std::string_view path) const;

    std::string path_;
    std::string workingFolder_;
    std::FILE* file_ = nullptr;
    std::string failure_;  // the first failure, until told
    bool failed_ = false;
    bool told_ = false;
};

}  // namespace kirvo
