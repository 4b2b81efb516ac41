#include "fileops/copy_run.h"

#include <algorithm>
#include <cerrno>

#include "fileops/file_operation_texts.h"
#include "fileops/operation_log.h"
#include "platform/process_limits.h"

namespace kirvo {
namespace {

bool OutOfHandles(int code) { return code == EMFILE || code == ENFILE; }

}  // namespace

CopyRun::CopyRun(FileOperationUi& ui, const CopyFlags& flags, OperationLog* log, RootAccess& roots)
    : ui_(ui), flags_(flags), log_(log), roots_(roots) {
    // Two handles per waiting file, and some to spare for roots, folders and the trash.
    const int64_t limit = OpenFileLimit();
    batchFiles_ = static_cast<size_t>(std::clamp<int64_t>((limit - 40) / 3, 1, kBatchFiles));
}

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
        if (i % kForesee == 0) foresee(i);
        if (!cancelled_) {
            copyWithRetries(pairs[i], result.files[i], i);
            logOutcome(i);
        }
        ++filesDone_;
    }
    // Files copied before a cancel are finished too.
    while (!pending_.empty()) flushPending();
    trash_.flush();
    tell();
    result.cancelled = cancelled_;
    return result;
}

// Files are flushed to disk together, before any of them is renamed: one flush
// per batch instead of two per file, and a destination is still old or complete
// after a crash. A file is reported done only after its rename.
void CopyRun::flushPending() {
    std::span<const CopyPair> pairs = pairs_;
    OperationResult& result = *result_;
    std::vector<Pending> batch = std::move(pending_);
    pending_.clear();
    pendingNames_.clear();
    pendingBytes_ = 0;
    std::vector<FileTransfer*> sealed;
    for (Pending& p : batch) sealed.push_back(p.transfer.get());
    std::vector<int> errors;
    // A big file may take a while here; the user sees why nothing moves
    // (after a cancel the user is told nothing more).
    if (!batch.empty() && !cancelled_) {
        ui_.progress({pairs[batch.back().index].from.path, filesDone_, filesTotal_, bytesDone_, bytesTotal_, true});
    }
    FileTransfer::FlushSealed(sealed, errors);
    // Renames on another machine go out together; each is still settled (and asked about) below, in turn.
    for (size_t i = 0; i < batch.size(); ++i)
        if (errors[i] == 0 && !batch[i].decision.keepOld) batch[i].transfer->publishAhead(batch[i].decision.expected);
    std::vector<FileTransfer*> published;
    std::vector<std::pair<size_t, FileAttempt>> failed;
    for (size_t i = 0; i < batch.size(); ++i) {
        Pending& pending = batch[i];
        FileReport& report = result.files[pending.index];
        TrashedFile kept;
        const FileAttempt placed =
            errors[i] != 0 ? FileAttempt::Fail(pairs[pending.index].to.path, FileOperationTexts::kCannotWrite, errors[i])
                           : place(pending, kept);
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
    if (const int error = FileTransfer::FlushPublished(published); error != 0 && notDurable_.empty()) {
        const RootedPath& to = pairs[batch.front().index].to;
        notDurable_ = FileOperationTexts::ErrorMessage(std::string(to.root().empty() ? std::string_view(to.path) : to.root()),
                                                       FileOperationTexts::Reason(FileOperationTexts::kNotDurable, error));
    }
    batch.clear();  // removes the temporary files of failed ones
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
    const FileAttempt looked =
        checkDestination(pair, to.name, folder, decision.source, decision, &pending.decision.expected);
    if (looked.kind == FileAttempt::Done) decisions_[pending.index] = pending.decision = decision;
    // No longer a file to replace (a folder now, say): changed while the copy was made.
    if (looked.kind == FileAttempt::Error)
        return {FileAttempt::Error, pair.to.path, std::string(FileOperationTexts::kDestinationChanged), kDestinationChanged};
    return looked;
}

int CopyRun::publish(Pending& pending, TrashedFile& kept, std::string& reason) {
    const Decision& d = pending.decision;
    return pending.transfer->publish(d.expected, d.keepOld ? &trash_ : nullptr, &kept, &reason);
}

// Whether the file `name` in `folder` is the destination of a pending file.
bool CopyRun::isPending(const FolderHandle& folder, std::string_view name) const {
    if (pendingNames_.count(std::string(name)) == 0) return false;
    uint64_t device = 0, inode = 0;
    if (folder.identify(device, inode) != 0) return true;  // unknown: assume so
    return std::any_of(pending_.begin(), pending_.end(), [&](const Pending& p) {
        return p.transfer->folderDevice() == device && p.transfer->folderInode() == inode &&
               p.transfer->destinationName() == name;
    });
}

void CopyRun::copyWithRetries(const CopyPair& pair, FileReport& report, size_t index) {
    const uint64_t bytesBefore = bytesDone_;
    while (true) {
        bytesDone_ = bytesBefore;
        if (!ui_.progress({pair.from.path, filesDone_, filesTotal_, bytesDone_, bytesTotal_})) {
            cancelled_ = true;
            report.outcome = FileOutcome::Cancelled;
            return;
        }
        std::unique_ptr<FileTransfer> transfer;
        Decision decision;
        const FileAttempt attempt = copyOnce(pair, transfer, decision);
        decisions_[index] = decision;
        switch (attempt.kind) {
        case FileAttempt::Pending:
            // A file already pending at the source or destination: finish those first.
            flushPending();
            continue;
        case FileAttempt::Done:
            report.outcome = FileOutcome::Cancelled;  // Done once renamed
            sizes_[index] = transfer->bytes();
            pendingBytes_ += transfer->bytes();
            pendingNames_.insert(transfer->destinationName());
            pending_.push_back({index, std::move(transfer), decision});
            if (pending_.size() >= batchFiles_ || pendingBytes_ >= kBatchBytes) flushPending();
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
        if (OutOfHandles(attempt.code) && !pending_.empty()) {
            // The open-file limit: the waiting files hold the handles. Finish them,
            // wait for fewer from now on, and try again without asking.
            batchFiles_ = std::max<size_t>(1, pending_.size() / 2);
            flushPending();
            continue;
        }
        report.outcome = FileOutcome::Failed;
        report.reason = attempt.reason;
        if (skipAllErrors_) return;
        switch (ui_.reportError(attempt.path, attempt.reason)) {
        case ErrorAnswer::Retry: continue;
        case ErrorAnswer::Skip: return;
        case ErrorAnswer::SkipAll: skipAllErrors_ = true; return;
        case ErrorAnswer::Cancel: cancelled_ = true; return;
        }
        return;
    }
}

// Done: `sealed` holds the copy, ready for the shared flush and its rename.
FileAttempt CopyRun::copyOnce(const CopyPair& pair, std::unique_ptr<FileTransfer>& sealed, Decision& decision) {
    const PathParts from = PathParts::Of(pair.from);
    const PathParts to = PathParts::Of(pair.to);
    if (from.name.empty()) return FileAttempt::Fail(pair.from.path, FileOperationTexts::kSourceNotFile, kNotRegularFile);
    if (to.name.empty()) return FileAttempt::Fail(pair.to.path, FileOperationTexts::kDestinationNotFile, kNotRegularFile);
    FolderHandle sourceFolder;
    if (FileAttempt opened =
            roots_.openFolderOf(pair.from, from, FileOperationTexts::kSourceFolderUnusable, sourceFolder, false);
        opened.kind != FileAttempt::Done)
        return opened;
    if (sourceFolder.valid() && isPending(sourceFolder, from.name)) return {FileAttempt::Pending, {}, {}, 0};
    // Abandons the temporary file on every early return.
    std::unique_ptr<FileTransfer> owned;
    if (FileAttempt chosen = chooseTransfer(pair, from, to, sourceFolder, owned); chosen.kind != FileAttempt::Done)
        return chosen;
    FileTransfer& transfer = *owned;
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
    if (FileAttempt existing = checkDestination(pair, to.name, folder, source, decision);
        existing.kind != FileAttempt::Done)
        return existing;

    removeStaleOnce(folder);
    if (const int e = transfer.createTemporary(folder, to.name))
        return FileAttempt::Fail(pair.to.path, FileOperationTexts::kCannotCreate, e);
    const uint64_t bytesBefore = bytesDone_;
    for (bool finished = false; !finished;) {
        uint64_t copied = 0;
        if (const int e = transfer.copySome(kChunkBytes, copied, finished))
            return e == kSourceChanged ? FileAttempt::Fail(pair.from.path, FileOperationTexts::kSourceChanged, 0)
                                       : FileAttempt::Fail(pair.to.path, FileOperationTexts::kCopyFailed, e);
        bytesDone_ += copied;
        if (!finished && bytesDone_ - bytesBefore < source.size &&
            !ui_.progress({pair.from.path, filesDone_, filesTotal_, bytesDone_, bytesTotal_}))
            return FileAttempt::Cancel();
    }
    if (const int e = transfer.seal())
        return e == kSourceChanged ? FileAttempt::Fail(pair.from.path, FileOperationTexts::kSourceChanged, 0)
                                   : FileAttempt::Fail(pair.to.path, FileOperationTexts::kCannotWrite, e);
    sealed = std::move(owned);
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

// What the user should know once the request is over.
void CopyRun::tell() {
    for (const std::string& notice : trash_.takeNotices()) ui_.notify(notice);
    for (const auto& [destination, kinds] : metadataNotKept_)
        ui_.notify(FileOperationTexts::MetadataNotice(destination, kinds));
    if (!notDurable_.empty()) ui_.notify(notDurable_);
}

}  // namespace kirvo
