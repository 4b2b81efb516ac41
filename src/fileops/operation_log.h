#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fileops/file_stamp.h"
#include "fileops/run_counts.h"
#include "platform/translation.h"

namespace kirvo {

// The log ("Protokoll") of what the file operations did: one line per copy,
// replacement, move to the trash, delete, folder made and move, appended to a
// plain text file ($XDG_STATE_HOME/kirvo/protokoll.log, else
// ~/.local/state/kirvo/). Fields are tab-separated and escaped as in kirvo-cli's
// TSV output, paths absolute:
//   time  action  source  destination  size  size before  result
// and, where there is something to say, after these seven:
//   run  trash  entry  stamp after  stamp before
// "run" is the id of the run the line belongs to: every command that copies
// or deletes is one run, framed by a line "Lauf begonnen" (source and target
// root, the command in the result) and a line "Lauf beendet" (the counts).
// "trash" and "entry" say where a file put into the trash lies (the trash
// folder, and the name in its "files"); the stamps what a file made by the
// run looked like right after, and what a file put into the trash looked like
// (see FileStamp). That is all undo needs; lines without a run are older
// and simply not undoable.
//
// Each line is one write() to a file opened for appending, so lines of
// programs writing at once never mix. A log that cannot be written never stops
// an operation: writing just fails, and failureNotice() has the sentence to
// tell the user, once.
class OperationLog {
public:
    struct Entry {
        std::string_view action;  // kCopied, kReplaced, kTrashed, kDeleted, kMoved, kFolderRemoved
        std::string_view source;
        std::string_view destination;       // "" where there is none
        std::optional<uint64_t> size;       // of the file acted on
        std::optional<uint64_t> sizeBefore; // of the file replaced
        std::string_view result;            // kOk, or "übersprungen: …" / "fehlgeschlagen: …"
        std::string_view trash = {};        // the trash folder the file (or the replaced one) went to
        std::string_view trashName = {};    // its name in that trash's "files"
        std::optional<FileStamp> after = {};   // the file (or folder) made, as it was right after
        std::optional<FileStamp> before = {};  // the file put into the trash, as it was
    };
    // What a run is, for its first line.
    struct RunStart {
        std::string_view what;  // the command: "Dateien abgleichen", "kirvo-cli sync", ...
        std::string_view sourceRoot;
        std::string_view targetRoot;
        std::string_view undoes = {};  // an undo: the id of the run it takes back
    };

    static constexpr std::string_view kCopied = "kopiert";
    static constexpr std::string_view kReplaced = "ersetzt";
    static constexpr std::string_view kTrashed = "Papierkorb";
    static constexpr std::string_view kDeleted = "gelöscht";
    static constexpr std::string_view kFolderMade = "Ordner angelegt";
    static constexpr std::string_view kFolderRemoved = "Ordner entfernt";  // an empty folder, in source
    static constexpr std::string_view kMoved = "umbenannt";  // source: the old path, destination: the new one
    static constexpr std::string_view kFolderMoved = "Ordner umbenannt";  // the same for a folder
    static constexpr std::string_view kRestored = "zurückgeholt";
    static constexpr std::string_view kRunStarted = "Lauf begonnen";
    static constexpr std::string_view kRunEnded = "Lauf beendet";
    // A pair's synchronisation state forgotten: source and destination are the two roots.
    static constexpr std::string_view kStateForgotten = "Abgleichstand vergessen";
    static constexpr std::string_view kOk = "ok";
    static constexpr std::string_view kSkippedPrefix = "übersprungen: ";
    static constexpr std::string_view kFailedPrefix = "fehlgeschlagen: ";
    static constexpr std::string_view kUndoesPrefix = "rückgängig: ";
    // Written German; shown translated (LogText).
    static constexpr std::string_view kHeader = TrNoop(
        "# Zeit\tAktion\tQuelle\tZiel\tGröße\tGröße vorher\tErgebnis\tLauf\tPapierkorb\tEintrag\tStand danach\t"
        "Stand vorher");

    explicit OperationLog(std::string path = DefaultPath());
    ~OperationLog();
    OperationLog(const OperationLog&) = delete;
    OperationLog& operator=(const OperationLog&) = delete;

    static std::string DefaultPath();
    const std::string& path() const { return path_; }

    // Appends one line (the file and its folders are made when missing); false
    // when it could not be written.
    bool write(const Entry& entry);

    // Starts a run: every line written until endRun() carries its id. The
    // first line comes with the first action, so a run that did nothing leaves
    // nothing, unless `now` (an undo: that it ran is what counts). Returns the
    // id, time-based and unique ("20261208T031522-4f3a").
    std::string beginRun(const RunStart& start, bool now = false);
    // Ends it with its counts (when it wrote anything) and makes the log
    // durable. A run cancelled before its end says so.
    void endRun(bool cancelled = false);
    static constexpr std::string_view kCancelledPrefix = "abgebrochen; ";
    const std::string& runId() const { return run_; }

    // After the first failure: the notice for the user; "" afterwards and before.
    std::string failureNotice();

    // "übersprungen: <reason>" / "fehlgeschlagen: <reason>"
    static std::string Skipped(std::string_view reason);
    static std::string Failed(std::string_view reason);

    // Local paths as given are made absolute against the folder the program
    // started in, without a separator at the end; those on another machine
    // ("sftp://...") stay as they are.
    std::string absolute(std::string_view path) const;

private:
    bool open();
    bool append(const std::string& lines);
    std::string line(std::string_view time, const Entry& entry) const;

    std::string path_;
    std::string workingFolder_;
    int fd_ = -1;
    std::string failure_;  // the first failure, until told
    bool failed_ = false;
    bool told_ = false;
    // The run under way.
    std::string run_;
    std::string runTime_;
    std::string runWhat_;
    std::string runSource_;
    std::string runTarget_;
    bool runStarted_ = false;  // its first line is written
    RunCounts counts_;
};

}  // namespace kirvo
