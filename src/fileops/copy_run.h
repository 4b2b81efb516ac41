#pragma once
#include <cstdint>
#include <deque>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "fileops/copy_workers.h"
#include "fileops/file_attempt.h"
#include "fileops/file_operation_service.h"
#include "fileops/file_operation_ui.h"
#include "fileops/root_cache.h"
#include "platform/file_node.h"
#include "platform/file_transfer.h"
#include "platform/trash.h"

namespace kirvo {

class OperationLog;

// The state of one copy request (see LocalFileOperationService for the rules).
// Its look at each destination before writing is in copy_run_destination.cpp,
// putting the copies in place in copy_run_placing.cpp.
class CopyRun {
public:
    CopyRun(FileOperationUi& ui, const CopyFlags& flags, OperationLog* log, RootAccess& roots);
    ~CopyRun();

    OperationResult run(std::span<const CopyPair> pairs);

    // Bytes copied between two progress calls within one file.
    static constexpr uint64_t kChunkBytes = 4u << 20;
    // Files flushed to disk together at most, and bytes; fewer where the
    // open-file limit is low (each file waiting holds two handles, and two
    // batches wait at once). Each batch of local files waits for the disk
    // twice (syncfs, on a thread of its own while the next is copied), so
    // they come in big ones; to another machine each file holds a handle of
    // the server there until it is flushed.
    static constexpr size_t kBatchFiles = 1024;
    static constexpr size_t kRemoteBatchFiles = 128;
    static constexpr uint64_t kBatchBytes = 64u << 20;
    // Local batches that write back on their own (big files) are copied past
    // while up to this much is on its way to the disk: waiting for one file's
    // flush then leaves the disk busy with the next ones.
    static constexpr uint64_t kHeldBytes = 1u << 30;
    // How often a destination that keeps changing under a copy is asked about
    // before the copy gives up on it.
    static constexpr int kPlacingAttempts = 4;
    // Local files up to this size may be copied several at once (CopyWorkers).
    static constexpr uint64_t kParallelBytes = 1u << 20;
    // Files whose looks on another machine are asked for together.
    static constexpr size_t kForesee = 64;

private:
    // What was decided about a destination before its copy was made.
    struct Decision {
        NodeInfo source;         // what the copy is made from
        NodeInfo expected;       // what is there now (not following a link)
        bool keepOld = false;    // put the replaced file into the trash first
        bool replacing = false;
        uint64_t replacedSize = 0;
        // Whether the destination was looked at before the copy was made (not
        // where the comparison saw nothing there: see copyOnce).
        bool looked = true;
    };
    // A file copied into its temporary file, waiting for the shared flush and its rename.
    struct Pending {
        size_t index;
        std::unique_ptr<FileTransfer> transfer;
        Decision decision;
    };
    // A batch held back while the next ones are copied. A local one is
    // flushed on a thread of its own meanwhile (the copying does not wait
    // for the disk); its errors come as FlushSealed gives them.
    struct HeldBatch {
        std::vector<Pending> files;
        std::future<std::vector<int>> flushed;  // declared last: waited for before the files go
    };

    void countBytes();
    void holdPending(bool local, bool writingBack);
    void placeOldestHeld();
    void flushFoldersAside(std::vector<Pending>& batch, const std::vector<FileTransfer*>& published);
    void collectFolderFlush();
    void noteNotDurable(size_t index, int error);
    void foresee(size_t from);
    void flushPending();
    void placeBatch(std::vector<Pending> batch, std::vector<int>* flushed = nullptr);
    int checkCopy(Pending& pending);
    bool isPending(const FolderHandle& folder, std::string_view name) const;
    void copyWithRetries(const CopyPair& pair, FileReport& report, size_t index);
    FileAttempt copyOnce(const CopyPair& pair, std::unique_ptr<FileTransfer>& sealed, Decision& decision, size_t index);
    FileAttempt copyData(const CopyPair& pair, FileTransfer& transfer, uint64_t& copied, bool tellProgress);
    void await(size_t index, std::unique_ptr<FileTransfer> transfer);
    void settle(std::vector<CopyWorkers::Job>& finished);
    void drain();
    bool retryAfter(const FileAttempt& attempt, FileReport& report);
    bool openSourceFolder(const CopyPair& pair, const PathParts& from, FolderHandle& folder, FileAttempt& failed);
    FileAttempt chooseTransfer(const CopyPair& pair, const PathParts& from, const PathParts& to,
                               const FolderHandle& sourceFolder, std::unique_ptr<FileTransfer>& transfer) const;
    FileAttempt prepareFolder(const CopyPair& pair, const PathParts& parts, FolderHandle& folder);
    FileAttempt checkDestination(const CopyPair& pair, std::string_view name, const FolderHandle& folder,
                                 const NodeInfo& source, Decision& decision, const NodeInfo* lookedAt = nullptr);
    FileAttempt place(Pending& pending, TrashedFile& kept);
    FileAttempt lookAgain(Pending& pending);
    int publish(Pending& pending, TrashedFile& kept, std::string& reason);
    void removeStaleOnce(const FolderHandle& folder);
    void noteMetadata(const CopyPair& pair, uint32_t notKept);
    int makeRoot(const std::string& root, std::string& failed);
    void logFolderMade(const std::string& path, const NodeInfo& folder);
    void logOutcome(size_t index);
    void tell();

    FileOperationUi& ui_;
    CopyFlags flags_;
    OperationLog* log_;
    RootCache roots_;
    Trash trash_;
    int32_t filesDone_ = 0;
    int32_t filesTotal_ = 0;
    uint64_t bytesDone_ = 0;
    uint64_t settledBytes_ = 0;  // copied on workers, all told
    uint64_t bytesTotal_ = 0;
    bool cancelled_ = false;
    bool skipAllErrors_ = false;
    bool allFolders_ = false;
    bool allOverwrite_ = false;
    bool allNewer_ = false;
    bool allChanged_ = false;
    bool allWithoutTrash_ = false;
    size_t batchFiles_ = kBatchFiles;
    std::vector<std::string> declinedFolders_;
    std::vector<Pending> pending_;
    // Batches before, still being flushed elsewhere (another machine's
    // server, a disk's write-back) while pending_ fills: placed oldest first
    // once pending_ is full and too much is held, or sooner. To another
    // machine only one is held.
    std::deque<HeldBatch> held_;
    uint64_t heldBytes_ = 0;
    // The folders of the held batch placed last, flushed on a thread of
    // their own (a folder's flush waits for the journal, and so for the
    // write-back of the copies after it); collected before the next placing.
    struct FolderFlush {
        size_t index = 0;  // of a file in the batch (whose root a failure names)
        std::vector<Pending> files;
        std::future<int> flushed;  // declared last: waited for before the files go
    };
    std::optional<FolderFlush> folderFlush_;
    // The looks ahead reach this pair; a root made on the way asks again
    // from the next one (before it existed, none could be asked for there).
    size_t foreseenTo_ = 0;
    bool rootMade_ = false;
    std::unordered_multiset<std::string> pendingNames_;  // of pending_ and held_
    uint64_t pendingBytes_ = 0;
    std::vector<std::pair<uint64_t, uint64_t>> cleanedFolders_;  // device, inode
    std::vector<std::pair<std::string, uint32_t>> metadataNotKept_;  // destination root, kinds
    bool notVerifiedTold_ = false;
    std::unordered_set<size_t> checked_;  // of the batch being placed: read back and compared
    // The folder of the last source and of the last destination, kept open for
    // the next file in the same folder (root + folder as the key).
    std::string sourceFolderKey_;
    FolderHandle sourceFolder_;
    std::string destinationFolderKey_;
    FolderHandle destinationFolder_;
    std::unique_ptr<CopyWorkers> workers_;  // made for the first local copy
    // Copies on a worker: their destinations (folder device, inode, name).
    struct Away {
        size_t index;
        uint64_t device, inode;
        std::string name;
    };
    std::vector<Away> away_;
    std::string notDurable_;  // the notice for copies whose renames may not survive a crash
    std::vector<Decision> decisions_;  // per pair, for the log
    // Per pair, once in place: where the replaced version went and what the copy looks like.
    struct Placed {
        TrashedFile kept;
        NodeInfo copy;
    };
    std::vector<Placed> placed_;
    std::vector<uint64_t> sizes_;
    std::vector<bool> logged_;
    std::span<const CopyPair> pairs_;
    OperationResult* result_ = nullptr;
};

}  // namespace kirvo
