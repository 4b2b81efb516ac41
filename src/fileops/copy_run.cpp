#include "fileops/copy_run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

#include "fileops/file_operation_texts.h"
#include "fileops/operation_log.h"
#include "platform/disk_kind.h"
#include "platform/process_limits.h"

namespace kirvo {
namespace {

bool OutOfHandles(int code) { return code == EMFILE || code == ENFILE; }

// Copies at once at most: few on a spinning disk, which seeks between them.
constexpr int kCopiesAtOnce = 16;
constexpr int kCopiesAtOnceSpinning = 4;

}  // namespace

CopyRun::CopyRun(FileOperationUi& ui, const CopyFlags& flags, OperationLog* log, RootAccess& roots)
    : ui_(ui), flags_(flags), log_(log), roots_(roots) {
    // Handles for the files of two batches, and some to spare for roots, folders and the trash.
    const int64_t limit = OpenFileLimit();
    batchFiles_ = static_cast<size_t>(std::clamp<int64_t>((limit - 40) / 6, 1, kBatchFiles));
}

CopyRun::~CopyRun() = default;

OperationResult CopyRun::run(std::span<const CopyPair> pairs) {
    OperationResult result;
    result.files.reserve(pairs.size());
    pairs_ = pairs;
    result_ = &result;
    filesTotal_ = static_cast<int32_t>(pairs.size());
    decisions_.assign(pairs.size(), Decision{});
    placed_.assign(pairs.size(), Placed{});
    sizes_.assign(pairs.size(), 0);
    logged_.assign(pairs.size(), false);
    countBytes();
    for (const CopyPair& pair : pairs) result.files.push_back({pair.from.path, pair.to.path, FileOutcome::Cancelled, {}, {}});
    for (size_t i = 0; i < pairs.size(); ++i) {
        if (i >= foreseenTo_) foresee(i);
        if (!cancelled_) {
            copyWithRetries(pairs[i], result.files[i], i);
            logOutcome(i);
        }
        if (std::exchange(rootMade_, false)) foreseenTo_ = i + 1;
        ++filesDone_;
    }
    // Files copied before a cancel are finished too (and a retry asked for
    // on the way may send more off).
    do {
        drain();
        while (!pending_.empty() || !held_.empty()) flushPending();
    } while (workers_ && workers_->inFlight() > 0);
    collectFolderFlush();
    trash_.flush();
    tell();
    result.cancelled = cancelled_;
    return result;
}

// Whether the user wants another attempt after `attempt` failed (told unless all errors are skipped).
bool CopyRun::retryAfter(const FileAttempt& attempt, FileReport& report) {
    report.outcome = FileOutcome::Failed;
    report.reason = attempt.reason;
    if (cancelled_ || skipAllErrors_) return false;
    switch (ui_.reportError(attempt.path, attempt.reason)) {
    case ErrorAnswer::Retry: return true;
    case ErrorAnswer::Skip: break;
    case ErrorAnswer::SkipAll: skipAllErrors_ = true; break;
    case ErrorAnswer::Cancel: cancelled_ = true; break;
    }
    return false;
}

// A copy sealed in its temporary file waits for the shared flush and its rename.
void CopyRun::await(size_t index, std::unique_ptr<FileTransfer> transfer) {
    sizes_[index] = transfer->bytes();
    pendingBytes_ += transfer->bytes();
    pendingNames_.insert(transfer->destinationName());
    pending_.push_back({index, std::move(transfer), decisions_[index]});
    const auto away = [](const Pending& p) { return p.transfer->flushesInBackground(); };
    const size_t most = std::any_of(pending_.begin(), pending_.end(), away)
                            ? std::min(batchFiles_, kRemoteBatchFiles)
                            : batchFiles_;
    if (pending_.size() < most && pendingBytes_ < kBatchBytes) return;
    const bool writingBack = std::all_of(pending_.begin(), pending_.end(), away);
    const bool local = std::all_of(pending_.begin(), pending_.end(),
                                   [](const Pending& p) { return p.transfer->writesLocally(); });
    if (!writingBack && !local) return flushPending();
    // This batch is flushed without us (by the server there, or by the
    // disk on a thread of ours) while the next one is copied; the oldest
    // held are placed now (their flush has had the longest).
    holdPending(local, writingBack);
}

void CopyRun::copyWithRetries(const CopyPair& pair, FileReport& report, size_t index) {
    // A failed attempt's bytes are counted again by the next one; those of
    // copies that came back from the workers meanwhile stay.
    const uint64_t bytesBefore = bytesDone_;
    const uint64_t settledBefore = settledBytes_;
    while (true) {
        bytesDone_ = bytesBefore + (settledBytes_ - settledBefore);
        if (!ui_.progress({pair.from.path, filesDone_, filesTotal_, bytesDone_, bytesTotal_})) {
            cancelled_ = true;
            report.outcome = FileOutcome::Cancelled;
            return;
        }
        std::unique_ptr<FileTransfer> transfer;
        Decision decision;
        const FileAttempt attempt = copyOnce(pair, transfer, decision, index);
        decisions_[index] = decision;
        switch (attempt.kind) {
        case FileAttempt::Pending:
            // A file already pending at the source or destination: finish those first.
            drain();
            flushPending();
            continue;
        case FileAttempt::Done:
            report.outcome = FileOutcome::Cancelled;  // Done once renamed
            if (transfer) await(index, std::move(transfer));  // none: on a worker
            return;
        case FileAttempt::Skipped:
            report.outcome = FileOutcome::Skipped;
            report.reason = attempt.reason;
            return;
        case FileAttempt::Cancelled:
            cancelled_ = true;
            report.outcome = FileOutcome::Cancelled;
            return;
        case FileAttempt::Error: break;
        }
        if (OutOfHandles(attempt.code) && (!pending_.empty() || !held_.empty() || !away_.empty())) {
            // The open-file limit: the waiting files hold the handles. Finish them,
            // wait for fewer from now on, and try again without asking.
            drain();
            batchFiles_ = std::max<size_t>(1, pending_.size() / 2);
            flushPending();
            continue;
        }
        if (!retryAfter(attempt, report)) return;
    }
}

// Takes in copies that came back from the workers.
void CopyRun::settle(std::vector<CopyWorkers::Job>& finished) {
    for (CopyWorkers::Job& job : finished) {
        away_.erase(std::remove_if(away_.begin(), away_.end(), [&](const Away& a) { return a.index == job.index; }),
                    away_.end());
        bytesDone_ += job.copied;
        settledBytes_ += job.copied;
        FileReport& report = result_->files[job.index];
        if (job.attempt.kind == FileAttempt::Done) {
            await(job.index, std::move(job.transfer));
            continue;
        }
        job.transfer.reset();  // removes its temporary file
        if (retryAfter(job.attempt, report)) copyWithRetries(pairs_[job.index], report, job.index);
        logOutcome(job.index);
    }
    finished.clear();
}

void CopyRun::drain() {
    while (workers_ && workers_->inFlight() > 0) {
        std::vector<CopyWorkers::Job> finished = workers_->take(true);
        settle(finished);
    }
}

bool CopyRun::openSourceFolder(const CopyPair& pair, const PathParts& from, FolderHandle& folder, FileAttempt& failed) {
    const std::string_view key = std::string_view(pair.from.path).substr(0, pair.from.path.size() - from.name.size());
    if (sourceFolder_.usable() && key == sourceFolderKey_) {
        folder = sourceFolder_.share();
        return true;
    }
    failed = roots_.openFolderOf(pair.from, from, FileOperationTexts::kSourceFolderUnusable, folder, false);
    if (failed.kind != FileAttempt::Done) return false;
    sourceFolderKey_ = std::string(key);
    sourceFolder_ = folder.share();
    return true;
}

// Done: `sealed` holds the copy, ready for the shared flush and its rename;
// or, left empty, the copy went to a worker and comes back through settle().
FileAttempt CopyRun::copyOnce(const CopyPair& pair, std::unique_ptr<FileTransfer>& sealed, Decision& decision,
                              size_t index) {
    const PathParts from = PathParts::Of(pair.from);
    const PathParts to = PathParts::Of(pair.to);
    if (from.name.empty()) return FileAttempt::Fail(pair.from.path, FileOperationTexts::kSourceNotFile, kNotRegularFile);
    if (to.name.empty()) return FileAttempt::Fail(pair.to.path, FileOperationTexts::kDestinationNotFile, kNotRegularFile);
    FolderHandle sourceFolder;
    if (FileAttempt failed; !openSourceFolder(pair, from, sourceFolder, failed)) return failed;
    if (sourceFolder.valid() && isPending(sourceFolder, from.name)) return {FileAttempt::Pending, {}, {}, 0};
    // Abandons the temporary file on every early return.
    std::unique_ptr<FileTransfer> owned;
    if (FileAttempt chosen = chooseTransfer(pair, from, to, sourceFolder, owned); chosen.kind != FileAttempt::Done)
        return chosen;
    FileTransfer& transfer = *owned;
    transfer.checkCopies(flags_.verify);
    NodeInfo source;
    const int error = sourceFolder.valid() ? transfer.openSource(sourceFolder, from.name, source) : ENOENT;
    if (error != 0) {
        return FileAttempt::Fail(pair.from.path,
                                 error == ENOENT            ? FileOperationTexts::kSourceMissing
                                 : error == kNotRegularFile ? FileOperationTexts::kSourceNotFile
                                 : error == kTimeNotStorable ? FileOperationTexts::kCopyFailed
                                                            : FileOperationTexts::kSourceUnreadable,
                                 error);
    }
    FolderHandle folder;
    if (FileAttempt prepared = prepareFolder(pair, to, folder); prepared.kind != FileAttempt::Done) return prepared;
    if (isPending(folder, to.name)) return {FileAttempt::Pending, {}, {}, 0};
    decision.source = source;
    // Where the comparison saw nothing, a local copy takes the name only while
    // it is still free; what is there after all is looked at then (place()).
    decision.looked = pair.listedTo.state != ListedFile::State::Absent || folder.native() < 0;
    if (FileAttempt existing = decision.looked ? checkDestination(pair, to.name, folder, source, decision) : FileAttempt{};
        existing.kind != FileAttempt::Done)
        return existing;

    removeStaleOnce(folder);
    if (const int e = transfer.createTemporary(folder, to.name))
        return FileAttempt::Fail(pair.to.path, FileOperationTexts::kCannotCreate, e);
    // Small local files: copied on a worker where several at once pay.
    const bool local = folder.native() >= 0 && sourceFolder.native() >= 0;
    if (local && source.size <= kParallelBytes) {
        if (!workers_)
            workers_ = std::make_unique<CopyWorkers>(OnSpinningDisk(source.device) ? kCopiesAtOnceSpinning
                                                                                    : kCopiesAtOnce);
        if (workers_->parallel()) {
            decisions_[index] = decision;
            away_.push_back({index, transfer.folderDevice(), transfer.folderInode(), transfer.destinationName()});
            std::vector<CopyWorkers::Job> finished;
            workers_->post({index, std::move(owned), {}, 0},
                           [this, &pair](FileTransfer& t, uint64_t& copied) { return copyData(pair, t, copied, false); },
                           finished);
            settle(finished);
            return {};
        }
    }
    const CopyWorkers::Watch watch;
    uint64_t copied = 0;
    const FileAttempt copiedAll = copyData(pair, transfer, copied, true);
    if (local && source.size <= kParallelBytes) workers_->note(watch);
    if (copiedAll.kind != FileAttempt::Done) return copiedAll;
    sealed = std::move(owned);
    return {};
}

// Fills the temporary file and seals it. With tellProgress (on the caller's
// thread only) the user sees it go and may cancel.
FileAttempt CopyRun::copyData(const CopyPair& pair, FileTransfer& transfer, uint64_t& copied, bool tellProgress) {
    copied = 0;
    for (bool finished = false; !finished;) {
        uint64_t n = 0;
        if (const int e = transfer.copySome(kChunkBytes, n, finished))
            return e == kSourceChanged ? FileAttempt::Fail(pair.from.path, FileOperationTexts::kSourceChanged, 0)
                                       : FileAttempt::Fail(pair.to.path, FileOperationTexts::kCopyFailed, e);
        copied += n;
        if (!tellProgress) continue;
        bytesDone_ += n;
        if (!finished && !ui_.progress({pair.from.path, filesDone_, filesTotal_, bytesDone_, bytesTotal_}))
            return FileAttempt::Cancel();
    }
    if (const int e = transfer.seal())
        return e == kSourceChanged ? FileAttempt::Fail(pair.from.path, FileOperationTexts::kSourceChanged, 0)
                                   : FileAttempt::Fail(pair.to.path, FileOperationTexts::kCannotWrite, e);
    return {};
}

// The transfer for one file: a link is copied as a link where the links are
// copied so, and every other source is read as a file (following a link only
// where links are followed).
FileAttempt CopyRun::chooseTransfer(const CopyPair& pair, const PathParts& from, const PathParts& to,
                                    const FolderHandle& sourceFolder, std::unique_ptr<FileTransfer>& transfer) const {
    const bool sourceLocal = !roots_.remote(from.root);
    const bool destinationLocal = !roots_.remote(to.root);
    NodeInfo node;
    if (flags_.links == LinkMode::Copy && sourceFolder.valid() && sourceFolder.inspect(from.name, false, node) == 0 &&
        node.kind == NodeKind::Link) {
        transfer = FileTransfer::LinkBetween(sourceLocal, destinationLocal);
        if (!transfer) return FileAttempt::Fail(pair.to.path, FileOperationTexts::kLinkNotCopiedThere, kNotSupportedThere);
        return {};
    }
    transfer = FileTransfer::Between(sourceLocal, destinationLocal);
    if (!transfer) return FileAttempt::Fail(pair.to.path, FileOperationTexts::kRemoteToRemote, 0);
    transfer->followLinks(flags_.links == LinkMode::Follow);
    return {};
}

// What the user should know once the request is over.
void CopyRun::tell() {
    for (const std::string& notice : trash_.takeNotices()) ui_.notify(notice);
    for (const auto& [destination, kinds] : metadataNotKept_)
        ui_.notify(FileOperationTexts::MetadataNotice(destination, kinds));
    if (!notDurable_.empty()) ui_.notify(notDurable_);
}

}  // namespace kirvo
