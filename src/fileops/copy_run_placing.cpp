// Putting copies in place: the shared flush, the check of each copy where
// asked, and the rename over its destination, each in the log.
#include <algorithm>
#include <utility>

#include "fileops/copy_run.h"
#include "fileops/file_operation_texts.h"
#include "fileops/operation_log.h"

namespace kirvo {

// Places the batches held back, then the one filling (see placeBatch).
void CopyRun::flushPending() {
    while (!held_.empty()) placeOldestHeld();
    if (pending_.empty()) return;
    pendingBytes_ = 0;
    placeBatch(std::exchange(pending_, {}));
}

// Files are flushed to disk together, before any of them is renamed: one flush
// per batch instead of two per file, and a destination is still old or complete
// after a crash. A file is reported done only after its rename.
void CopyRun::placeBatch(std::vector<Pending> batch, std::vector<int>* flushed) {
    collectFolderFlush();
    std::span<const CopyPair> pairs = pairs_;
    OperationResult& result = *result_;
    for (const Pending& p : batch)
        if (const auto it = pendingNames_.find(p.transfer->destinationName()); it != pendingNames_.end())
            pendingNames_.erase(it);
    std::vector<FileTransfer*> sealed;
    for (Pending& p : batch) sealed.push_back(p.transfer.get());
    std::vector<int> errors;
    // A big file may take a while here; the user sees why nothing moves
    // (after a cancel the user is told nothing more).
    if (!batch.empty() && !cancelled_) {
        ui_.progress({pairs[batch.back().index].from.path, filesDone_, filesTotal_, bytesDone_, bytesTotal_, true});
    }
    if (flushed)
        errors = std::move(*flushed);
    else
        FileTransfer::FlushSealed(sealed, errors);
    for (size_t i = 0; i < batch.size(); ++i)
        if (errors[i] == 0 && flags_.verify) errors[i] = checkCopy(batch[i]);
    // Renames on another machine go out together; each is still settled (and asked about) below, in turn.
    for (size_t i = 0; i < batch.size(); ++i)
        if (errors[i] == 0 && !batch[i].decision.keepOld) batch[i].transfer->publishAhead(batch[i].decision.expected);
    std::vector<FileTransfer*> published;
    std::vector<std::pair<size_t, FileAttempt>> failed;
    for (size_t i = 0; i < batch.size(); ++i) {
        Pending& pending = batch[i];
        FileReport& report = result.files[pending.index];
        TrashedFile kept;
        const std::string& to = pairs[pending.index].to.path;
        const FileAttempt placed = errors[i] == 0 ? place(pending, kept)
                                   : errors[i] == kCopyDiffers || checked_.count(pending.index) != 0
                                       ? FileAttempt::Fail(to, FileOperationTexts::kCopyDamaged, errors[i])
                                       : FileAttempt::Fail(to, FileOperationTexts::kCannotWrite, errors[i]);
        switch (placed.kind) {
        case FileAttempt::Done:
            published.push_back(pending.transfer.get());
            report.outcome = FileOutcome::Done;
            report.trashedTo = kept.path;
            placed_[pending.index] = {kept, pending.transfer->placedAs()};
            if (pending.transfer->placedAs().kind != NodeKind::Missing)
                report.placed = FileStamp::Of(pending.transfer->placedAs());
            report.bytes = sizes_[pending.index];
            report.replaced = pending.decision.replacing;
            report.verified = flags_.verify && checked_.count(pending.index) != 0;
            if (const auto& hash = pending.transfer->contentHash(); hash && placed_[pending.index].copy.kind == NodeKind::File)
                report.content = ContentRecord{*hash, placed_[pending.index].copy};
            noteMetadata(pairs[pending.index], pending.transfer->metadataNotKept());
            break;
        case FileAttempt::Skipped:
            report.outcome = FileOutcome::Skipped;
            report.reason = placed.reason;
            break;
        case FileAttempt::Cancelled:
            cancelled_ = true;
            report.outcome = FileOutcome::Cancelled;
            break;
        case FileAttempt::Error:
        case FileAttempt::Pending: failed.emplace_back(pending.index, placed); continue;
        }
        logOutcome(pending.index);
    }
    if (flushed)
        flushFoldersAside(batch, published);
    else
        noteNotDurable(batch.front().index, FileTransfer::FlushPublished(published));
    batch.clear();  // removes the temporary files of failed ones
    checked_.clear();
    for (const auto& [index, attempt] : failed) {
        const CopyPair& pair = pairs[index];
        FileReport& report = result.files[index];
        report.outcome = FileOutcome::Failed;
        report.reason = attempt.reason;
        if (cancelled_ || skipAllErrors_) {
            logOutcome(index);
            continue;
        }
        switch (ui_.reportError(attempt.path, attempt.reason)) {
        case ErrorAnswer::Retry: copyWithRetries(pair, report, index); break;
        case ErrorAnswer::Skip: break;
        case ErrorAnswer::SkipAll: skipAllErrors_ = true; break;
        case ErrorAnswer::Cancel: cancelled_ = true; break;
        }
        logOutcome(index);
    }
}

// Puts one flushed copy in place. Where its old version cannot be kept, or the
// destination was changed by another program since the copy looked at it, the
// user is asked as before the copy, and the copy then goes in place or not.
FileAttempt CopyRun::place(Pending& pending, TrashedFile& kept) {
    const CopyPair& pair = pairs_[pending.index];
    int error = 0;
    for (int attempt = 0; attempt < kPlacingAttempts; ++attempt) {
        std::string reason;
        error = publish(pending, kept, reason);
        if (error == 0) return {};
        if (cancelled_) break;  // no more questions
        if (error == kNoTrash) {
            // The old version cannot be kept (no hard links there, say): asked now.
            ConfirmAnswer answer = ConfirmAnswer::Yes;
            if (!allWithoutTrash_) answer = ui_.confirmWithoutTrash(pair.to.path, pair.to.side, FileAction::Replace, reason);
            if (answer == ConfirmAnswer::YesToAll) allWithoutTrash_ = true;
            if (answer == ConfirmAnswer::No) return FileAttempt::Skip(FileOperationTexts::kNoTrashKept);
            if (answer == ConfirmAnswer::Cancel) return FileAttempt::Cancel();
            pending.decision.keepOld = false;
        } else if (error == kDestinationChanged) {
            if (FileAttempt again = lookAgain(pending); again.kind != FileAttempt::Done) return again;
        } else {
            break;
        }
    }
    if (error == kDestinationChanged)
        return {FileAttempt::Error, pair.to.path, std::string(FileOperationTexts::kDestinationChanged), error};
    return FileAttempt::Fail(pair.to.path, FileOperationTexts::kCannotWrite, error);
}

// The destination changed since the copy looked at it: looked at again, and
// asked about as a file changed since the comparison.
FileAttempt CopyRun::lookAgain(Pending& pending) {
    const CopyPair& pair = pairs_[pending.index];
    const PathParts to = PathParts::Of(pair.to);
    FolderHandle folder;
    if (FileAttempt opened = roots_.openFolderOf(pair.to, to, FileOperationTexts::kFolderUnusable, folder, true);
        opened.kind != FileAttempt::Done)
        return opened;
    Decision decision;
    decision.source = pending.decision.source;
    // Not looked at before the copy: this is the first look, as it would have been then.
    const bool first = !pending.decision.looked;
    const FileAttempt looked =
        checkDestination(pair, to.name, folder, decision.source, decision, first ? nullptr : &pending.decision.expected);
    if (looked.kind == FileAttempt::Done) decisions_[pending.index] = pending.decision = decision;
    // No longer a file to replace (a folder now, say): changed while the copy was made.
    if (looked.kind == FileAttempt::Error && !first)
        return {FileAttempt::Error, pair.to.path, std::string(FileOperationTexts::kDestinationChanged), kDestinationChanged};
    return looked;
}

int CopyRun::publish(Pending& pending, TrashedFile& kept, std::string& reason) {
    const Decision& d = pending.decision;
    return pending.transfer->publish(d.expected, d.keepOld ? &trash_ : nullptr, &kept, &reason);
}

// Reads one flushed copy back from the disk and compares it with its source.
// A transfer that cannot (to another machine) leaves its copy unchecked, and
// the user is told so once.
int CopyRun::checkCopy(Pending& pending) {
    const int error = pending.transfer->verify();
    if (error == kNotSupportedThere) {
        if (!notVerifiedTold_) ui_.notify(Tr(FileOperationTexts::kNotVerifiedThere));
        notVerifiedTold_ = true;
        return 0;
    }
    checked_.insert(pending.index);
    return error;
}

// Whether the file `name` in `folder` is the destination of a pending file.
bool CopyRun::isPending(const FolderHandle& folder, std::string_view name) const {
    const bool away = std::any_of(away_.begin(), away_.end(), [&](const Away& a) { return a.name == name; });
    if (!away && pendingNames_.count(std::string(name)) == 0) return false;
    uint64_t device = 0, inode = 0;
    if (folder.identify(device, inode) != 0) return true;  // unknown: assume so
    const auto same = [&](const Pending& p) {
        return p.transfer->folderDevice() == device && p.transfer->folderInode() == inode &&
               p.transfer->destinationName() == name;
    };
    return std::any_of(pending_.begin(), pending_.end(), same) || std::any_of(held_.begin(), held_.end(),
                       [&](const HeldBatch& batch) { return std::any_of(batch.files.begin(), batch.files.end(), same); }) ||
           std::any_of(away_.begin(), away_.end(), [&](const Away& a) {
               return a.device == device && a.inode == inode && a.name == name;
           });
}

// One line per file whose fate is settled (a file waiting for its rename is not yet).
void CopyRun::logOutcome(size_t index) {
    const FileReport& report = result_->files[index];
    if (log_ == nullptr || logged_[index] || report.outcome == FileOutcome::Cancelled) return;
    logged_[index] = true;
    const CopyPair& pair = pairs_[index];
    const Decision& d = decisions_[index];
    bool written = true;
    switch (report.outcome) {
    case FileOutcome::Cancelled: return;  // not done, or still waiting
    case FileOutcome::Done: {
        // What undo needs: the copy as it was placed, and where the version it replaced went.
        const Placed& placed = placed_[index];
        std::optional<FileStamp> before;
        if (!report.trashedTo.empty()) {
            before = FileStamp::Of(d.expected);
            written = log_->write({OperationLog::kTrashed, pair.to.path, report.trashedTo, d.replacedSize, {},
                                   OperationLog::kOk, placed.kept.base, placed.kept.name, {}, before});
        }
        std::optional<FileStamp> after;
        if (placed.copy.kind != NodeKind::Missing) after = FileStamp::Of(placed.copy);
        written = log_->write({d.replacing ? OperationLog::kReplaced : OperationLog::kCopied, pair.from.path,
                               pair.to.path, sizes_[index],
                               d.replacing ? std::optional<uint64_t>(d.replacedSize) : std::nullopt,
                               OperationLog::kOk, placed.kept.base, placed.kept.name, after, before}) &&
                  written;
        break;
    }
    case FileOutcome::Skipped:
        written = log_->write({d.replacing ? OperationLog::kReplaced : OperationLog::kCopied, pair.from.path,
                               pair.to.path, {}, {}, OperationLog::Skipped(report.reason)});
        break;
    case FileOutcome::Failed:
        written = log_->write({d.replacing ? OperationLog::kReplaced : OperationLog::kCopied, pair.from.path,
                               pair.to.path, {}, {}, OperationLog::Failed(report.reason)});
        break;
    }
    if (!written)
        if (const std::string notice = log_->failureNotice(); !notice.empty()) ui_.notify(notice);
}

}  // namespace kirvo
