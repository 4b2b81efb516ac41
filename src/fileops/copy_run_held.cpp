// Batches of copies that flush without us (big local files writing back, a
// server's flush) while the next ones are copied.
#include <algorithm>
#include <system_error>
#include <utility>

#include "fileops/copy_run.h"
#include "fileops/file_operation_texts.h"

namespace kirvo {
namespace {

// Runs work on a thread of its own; an invalid future where no thread is to
// be had (a process limit), and the caller does the work itself.
template <class Work>
auto Aside(Work work) -> std::future<decltype(work())> {
    try {
        return std::async(std::launch::async, std::move(work));
    } catch (const std::system_error&) {
        return {};
    }
}

}  // namespace

// The filled batch is held; the oldest held are placed while too much is:
// more than one batch, but for big local files writing back while up to
// kHeldBytes are (a batch of small files holds a handle per file).
void CopyRun::holdPending(bool local, bool writingBack) {
    heldBytes_ += std::exchange(pendingBytes_, 0);
    HeldBatch held{std::exchange(pending_, {}), {}};
    if (local) {
        // The disk is waited for on another thread while this one copies on.
        std::vector<FileTransfer*> sealed;
        for (const Pending& p : held.files) sealed.push_back(p.transfer.get());
        held.flushed = Aside([sealed = std::move(sealed)] {
            std::vector<int> errors;
            FileTransfer::FlushSealed(sealed, errors);
            return errors;
        });
    }
    held_.push_back(std::move(held));
    while (held_.size() > 1 && (!(local && writingBack) || heldBytes_ > kHeldBytes)) placeOldestHeld();
}

void CopyRun::placeOldestHeld() {
    HeldBatch oldest = std::move(held_.front());
    held_.pop_front();
    for (const Pending& p : oldest.files) heldBytes_ -= std::min(heldBytes_, p.transfer->bytes());
    if (!oldest.flushed.valid()) return placeBatch(std::move(oldest.files));
    std::vector<int> errors = oldest.flushed.get();
    placeBatch(std::move(oldest.files), &errors);
}

// The published files of the batch stay open until their folders are flushed.
void CopyRun::flushFoldersAside(std::vector<Pending>& batch, const std::vector<FileTransfer*>& published) {
    if (published.empty()) return;
    FolderFlush aside;
    aside.index = batch.front().index;
    for (Pending& p : batch)
        if (std::find(published.begin(), published.end(), p.transfer.get()) != published.end())
            aside.files.push_back(std::move(p));
    aside.flushed = Aside([published] { return FileTransfer::FlushPublished(published); });
    if (!aside.flushed.valid()) return noteNotDurable(aside.index, FileTransfer::FlushPublished(published));
    folderFlush_ = std::move(aside);
}

void CopyRun::collectFolderFlush() {
    if (!folderFlush_) return;
    const int error = folderFlush_->flushed.get();
    const size_t index = folderFlush_->index;
    folderFlush_.reset();
    noteNotDurable(index, error);
}

void CopyRun::noteNotDurable(size_t index, int error) {
    if (error == 0 || !notDurable_.empty()) return;
    const RootedPath& to = pairs_[index].to;
    notDurable_ = FileOperationTexts::ErrorMessage(std::string(to.root().empty() ? std::string_view(to.path) : to.root()),
                                                   FileOperationTexts::Reason(FileOperationTexts::kNotDurable, error));
}

}  // namespace kirvo
