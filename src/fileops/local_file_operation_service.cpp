#include "fileops/local_file_operation_service.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fileops/file_operation_texts.h"
#include "platform/file_node.h"
#include "platform/file_transfer.h"
#include "platform/folder_handle.h"

namespace kirvo {
namespace {

// How one attempt at one file ended.
struct Attempt {
    enum Kind { Done, Skipped, Cancelled, Error, Pending } kind = Done;
    std::string path;    // Error: the file or folder concerned
    std::string reason;  // Error, Skipped
};

Attempt Skip(std::string_view reason) { return {Attempt::Skipped, {}, std::string(reason)}; }

Attempt Fail(std::string path, std::string_view what, int code) {
    if (code == kLinkOnTheWay) return {Attempt::Error, std::move(path), std::string(FileOperationTexts::kLinkOnTheWay)};
    return {Attempt::Error, std::move(path), FileOperationTexts::Reason(what, code)};
}

bool IsWithin(std::string_view folder, std::string_view ancestor) {
    return folder == ancestor ||
           (folder.size() > ancestor.size() && folder.substr(0, ancestor.size()) == ancestor &&
            (ancestor.empty() || ancestor.back() == '/' || folder[ancestor.size()] == '/'));
}

FileFacts Facts(const std::string& path, const NodeInfo& info) {
    return {path, info.size, info.modifiedSeconds, info.modifiedNanoseconds};
}

bool Newer(const NodeInfo& a, const NodeInfo& b) {
    return a.modifiedSeconds != b.modifiedSeconds ? a.modifiedSeconds > b.modifiedSeconds
                                                  : a.modifiedNanoseconds > b.modifiedNanoseconds;
}

// A path taken apart: the root it is reached from, the folder below the root and the name.
struct Parts {
    std::string root;              // "" = the current folder
    std::string_view folder;       // "" or "a/b", relative to root
    std::string_view name;
    std::string_view fullFolder;   // root + folder, for messages
};

Parts Split(const RootedPath& p) {
    Parts parts;
    std::string_view relative = p.relative();
    if (p.rootSize == 0 && !relative.empty() && relative[0] == '/') {
        parts.root = "/";  // no root given: every name from / on is checked
        relative.remove_prefix(1);
    } else {
        parts.root = std::string(p.root());
    }
    SplitRelative(relative, parts.folder, parts.name);
    const size_t folderEnd = static_cast<size_t>(parts.folder.data() + parts.folder.size() - p.path.data());
    parts.fullFolder = std::string_view(p.path).substr(0, parts.folder.empty() ? p.rootSize : folderEnd);
    return parts;
}

// The roots of one request, each opened once.
class RootCache {
public:
    int open(const std::string& root, const FolderHandle*& handle) {
        for (Entry& e : entries_) {
            if (e.root == root) {
                if (e.error != 0) e.error = FolderHandle::OpenRoot(root, e.handle);  // it may exist by now
                handle = &e.handle;
                return e.error;
            }
        }
        Entry& e = entries_.emplace_back();
        e.root = root;
        e.error = FolderHandle::OpenRoot(root, e.handle);
        handle = &e.handle;
        return e.error;
    }

private:
    struct Entry {
        std::string root;
        FolderHandle handle;
        int error = 0;
    };
    std::vector<Entry> entries_;
};

// Opens the folder of p below its root; on failure fills a failed attempt
// naming the folder concerned.
Attempt OpenFolderOf(RootCache& roots, const RootedPath& p, const Parts& parts, std::string_view what,
                     FolderHandle& folder, bool missingIsError = true) {
    const FolderHandle* root = nullptr;
    if (const int error = roots.open(parts.root, root))
        return Fail(std::string(p.root().empty() ? std::string_view(parts.root) : p.root()), what, error);
    size_t failedAt = 0;
    const int error = root->openBeneath(parts.folder, folder, &failedAt);
    if (error == 0 || (error == ENOENT && !missingIsError)) return {};
    const size_t start = static_cast<size_t>(parts.folder.data() - p.path.data());
    return Fail(p.path.substr(0, start + failedAt), what, error);
}

// Creates a missing root folder and the missing folders above it.
int MakeFolders(const std::string& root, std::string& failed) {
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::vector<std::string> missing;  // deepest first
    for (std::string current = path; !current.empty();) {
        NodeInfo info;
        if (const int error = InspectPath(current, true, info)) {
            failed = current;
            return error;
        }
        if (info.kind == NodeKind::Folder) break;
        if (info.kind != NodeKind::Missing) {
            failed = current;
            return ENOTDIR;
        }
        missing.push_back(current);
        const size_t slash = current.rfind('/');
        if (slash == std::string::npos || slash == 0) break;
        current.resize(slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (const int error = MakeFolder(*it)) {
            failed = *it;
            return error;
        }
    }
    return 0;
}

// The state of one copy request.
class CopyRun {
public:
    CopyRun(FileOperationUi& ui, const CopyFlags& flags) : ui_(ui), flags_(flags) {}

    OperationResult run(std::span<const CopyPair> pairs) {
        OperationResult result;
        result.files.reserve(pairs.size());
        pairs_ = pairs;
        result_ = &result;
        filesTotal_ = static_cast<int32_t>(pairs.size());
        // The total for the progress only: pairs in one folder share one opening of it.
        FolderHandle folder;
        bool opened = false;
        std::string_view openedPath;  // root and folder of `folder`
        for (const CopyPair& pair : pairs) {
            const Parts from = Split(pair.from);
            const std::string_view path = std::string_view(pair.from.path).substr(0, pair.from.path.size() - from.name.size());
            if (path != openedPath || !opened) {
                openedPath = path;
                opened = OpenFolderOf(roots_, pair.from, from, {}, folder).kind == Attempt::Done;
            }
            NodeInfo info;
            if (opened && folder.inspect(from.name, true, info) == 0 && info.kind == NodeKind::File)
                bytesTotal_ += info.size;
        }
        for (const CopyPair& pair : pairs) result.files.push_back({pair.from.path, pair.to.path, FileOutcome::Cancelled, {}});
        for (size_t i = 0; i < pairs.size(); ++i) {
            if (!cancelled_) copyWithRetries(pairs[i], result.files[i], i);
            ++filesDone_;
        }
        // Files copied before a cancel are finished too.
        while (!pending_.empty()) flushPending();
        result.cancelled = cancelled_;
        return result;
    }

private:
    // A file copied into its temporary file, waiting for the shared flush and its rename.
    struct Pending {
        size_t index;
        std::unique_ptr<FileTransfer> transfer;
    };
    // Files are flushed to disk together, before any of them is renamed: one flush
    // per batch instead of two per file, and a destination is still old or complete
    // after a crash. A file is reported done only after its rename.
    static constexpr size_t kBatchFiles = 128;  // two open handles each
    static constexpr uint64_t kBatchBytes = 64u << 20;

    // Makes the pending files durable and renames them over their destinations;
    // failures go through the error question like any other.
    void flushPending() {
        std::span<const CopyPair> pairs = pairs_;
        OperationResult& result = *result_;
        std::vector<Pending> batch = std::move(pending_);
        pending_.clear();
        pendingNames_.clear();
        pendingBytes_ = 0;
        std::vector<FileTransfer*> sealed;
        for (Pending& p : batch) sealed.push_back(p.transfer.get());
        std::vector<int> errors;
        FileTransfer::FlushSealed(sealed, errors);
        std::vector<FileTransfer*> published;
        std::vector<std::pair<size_t, int>> failed;
        for (size_t i = 0; i < batch.size(); ++i) {
            const int error = errors[i] != 0 ? errors[i] : batch[i].transfer->publish();
            if (error != 0) {
                failed.emplace_back(batch[i].index, error);
                continue;
            }
            published.push_back(batch[i].transfer.get());
            result.files[batch[i].index].outcome = FileOutcome::Done;
        }
        FileTransfer::FlushPublished(published);
        batch.clear();  // removes the temporary files of failed ones
        for (const auto& [index, error] : failed) {
            const CopyPair& pair = pairs[index];
            FileReport& report = result.files[index];
            const Attempt attempt = Fail(pair.to.path, FileOperationTexts::kCannotWrite, error);
            report.outcome = FileOutcome::Failed;
            report.reason = attempt.reason;
            if (cancelled_ || skipAllErrors_) continue;
            switch (ui_.reportError(attempt.path, attempt.reason)) {
            case ErrorAnswer::Retry: copyWithRetries(pair, report, index); break;
            case ErrorAnswer::Skip: break;
            case ErrorAnswer::SkipAll: skipAllErrors_ = true; break;
            case ErrorAnswer::Cancel: cancelled_ = true; break;
            }
        }
    }

    // Whether the file `name` in `folder` is the destination of a pending file.
    bool isPending(const FolderHandle& folder, std::string_view name) const {
        if (pendingNames_.count(std::string(name)) == 0) return false;
        uint64_t device = 0, inode = 0;
        if (folder.identify(device, inode) != 0) return true;  // unknown: assume so
        return std::any_of(pending_.begin(), pending_.end(), [&](const Pending& p) {
            return p.transfer->folderDevice() == device && p.transfer->folderInode() == inode &&
                   p.transfer->destinationName() == name;
        });
    }

    void copyWithRetries(const CopyPair& pair, FileReport& report, size_t index) {
        const uint64_t bytesBefore = bytesDone_;
        while (true) {
            bytesDone_ = bytesBefore;
            if (!ui_.progress({pair.from.path, filesDone_, filesTotal_, bytesDone_, bytesTotal_})) {
                cancelled_ = true;
                report.outcome = FileOutcome::Cancelled;
                return;
            }
            std::unique_ptr<FileTransfer> transfer;
            const Attempt attempt = copyOnce(pair, transfer);
            switch (attempt.kind) {
            case Attempt::Pending:
                // A file already pending at the source or destination: finish those first.
                flushPending();
                continue;
            case Attempt::Done:
                report.outcome = FileOutcome::Cancelled;  // Done once renamed
                pendingBytes_ += transfer->bytes();
                pendingNames_.insert(transfer->destinationName());
                pending_.push_back({index, std::move(transfer)});
                if (pending_.size() >= kBatchFiles || pendingBytes_ >= kBatchBytes) flushPending();
                return;
            case Attempt::Skipped:
                report.outcome = FileOutcome::Skipped;
                report.reason = attempt.reason;
                return;
            case Attempt::Cancelled:
                cancelled_ = true;
                report.outcome = FileOutcome::Cancelled;
                return;
            case Attempt::Error: break;
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
    Attempt copyOnce(const CopyPair& pair, std::unique_ptr<FileTransfer>& sealed) {
        auto owned = std::make_unique<FileTransfer>();  // abandons the temporary file on every early return
        FileTransfer& transfer = *owned;
        const Parts from = Split(pair.from);
        const Parts to = Split(pair.to);
        if (from.name.empty()) return Fail(pair.from.path, FileOperationTexts::kSourceNotFile, kNotRegularFile);
        if (to.name.empty()) return Fail(pair.to.path, FileOperationTexts::kDestinationNotFile, kNotRegularFile);
        FolderHandle sourceFolder;
        if (Attempt opened = OpenFolderOf(roots_, pair.from, from, FileOperationTexts::kSourceFolderUnusable,
                                          sourceFolder, false);
            opened.kind != Attempt::Done)
            return opened;
        if (sourceFolder.valid() && isPending(sourceFolder, from.name)) return {Attempt::Pending, {}, {}};
        NodeInfo source;
        const int error = sourceFolder.valid() ? transfer.openSource(sourceFolder, from.name, source) : ENOENT;
        if (error != 0) {
            return Fail(pair.from.path,
                        error == ENOENT            ? FileOperationTexts::kSourceMissing
                        : error == kNotRegularFile ? FileOperationTexts::kSourceNotFile
                                                   : FileOperationTexts::kSourceUnreadable,
                        error);
        }
        FolderHandle folder;
        if (Attempt prepared = prepareFolder(pair.to, to, folder); prepared.kind != Attempt::Done) return prepared;
        if (isPending(folder, to.name)) return {Attempt::Pending, {}, {}};
        if (Attempt existing = checkDestination(pair, to.name, folder, source); existing.kind != Attempt::Done)
            return existing;

        if (const int e = transfer.createTemporary(folder, to.name))
            return Fail(pair.to.path, FileOperationTexts::kCannotCreate, e);
        const uint64_t bytesBefore = bytesDone_;
        for (bool finished = false; !finished;) {
            uint64_t copied = 0;
            if (const int e = transfer.copySome(LocalFileOperationService::kChunkBytes, copied, finished))
                return e == kSourceChanged ? Fail(pair.from.path, FileOperationTexts::kSourceChanged, 0)
                                           : Fail(pair.to.path, FileOperationTexts::kCopyFailed, e);
            bytesDone_ += copied;
            if (!finished && bytesDone_ - bytesBefore < source.size &&
                !ui_.progress({pair.from.path, filesDone_, filesTotal_, bytesDone_, bytesTotal_}))
                return {Attempt::Cancelled, {}, {}};
        }
        if (const int e = transfer.seal()) return Fail(pair.to.path, FileOperationTexts::kCannotWrite, e);
        sealed = std::move(owned);
        return {};
    }

    // Opens the destination's folder below its root, creating missing folders.
    Attempt prepareFolder(const RootedPath& to, const Parts& parts, FolderHandle& folder) {
        for (const std::string& declined : declinedFolders_) {
            if (IsWithin(parts.fullFolder, declined)) return Skip(FileOperationTexts::kFolderDeclined);
        }
        const FolderHandle* root = nullptr;
        const int rootError = roots_.open(parts.root, root);
        if (rootError != 0 && rootError != ENOENT)
            return Fail(std::string(to.root()), FileOperationTexts::kFolderUnusable, rootError);
        size_t failedAt = 0;
        const int error = rootError != 0 ? ENOENT : root->openBeneath(parts.folder, folder, &failedAt);
        if (error == 0) return {};
        const size_t start = static_cast<size_t>(parts.folder.data() - to.path.data());
        if (error != ENOENT) {
            return Fail(to.path.substr(0, start + failedAt),
                        error == ENOTDIR ? FileOperationTexts::kFolderIsFile : FileOperationTexts::kFolderUnusable,
                        error);
        }
        if (flags_.confirmFolderCreation && !allFolders_) {
            switch (ui_.confirmFolderCreation(std::string(parts.fullFolder))) {
            case ConfirmAnswer::Yes: break;
            case ConfirmAnswer::YesToAll: allFolders_ = true; break;
            case ConfirmAnswer::No:
                declinedFolders_.emplace_back(parts.fullFolder);
                return Skip(FileOperationTexts::kFolderDeclined);
            case ConfirmAnswer::Cancel: return {Attempt::Cancelled, {}, {}};
            }
        }
        if (rootError != 0) {
            // The root itself is missing: it is made as the user named it.
            std::string failed;
            if (const int e = MakeFolders(parts.root, failed)) return Fail(failed, FileOperationTexts::kCannotMakeFolder, e);
            if (const int e = roots_.open(parts.root, root))
                return Fail(std::string(to.root()), FileOperationTexts::kFolderUnusable, e);
        }
        // Walk down again name by name, creating what is missing; nothing on the way is a link.
        if (const int e = root->openBeneath({}, folder))
            return Fail(std::string(to.root()), FileOperationTexts::kFolderUnusable, e);
        for (size_t pos = 0; pos < parts.folder.size();) {
            size_t next = parts.folder.find('/', pos);
            if (next == std::string_view::npos) next = parts.folder.size();
            if (next > pos) {
                FolderHandle child;
                if (const int e = folder.openChild(parts.folder.substr(pos, next - pos), true, child)) {
                    return Fail(to.path.substr(0, start + next),
                                e == ENOTDIR || e == EEXIST ? FileOperationTexts::kFolderIsFile
                                                            : FileOperationTexts::kCannotMakeFolder,
                                e == EEXIST ? ENOTDIR : e);
                }
                folder = std::move(child);
            }
            pos = next + 1;
        }
        return {};
    }

    // Decides about what is at the destination now; Done means go ahead.
    Attempt checkDestination(const CopyPair& pair, std::string_view name, const FolderHandle& folder,
                             const NodeInfo& source) {
        NodeInfo existing;
        if (const int error = folder.inspect(name, false, existing))
            return Fail(pair.to.path, FileOperationTexts::kDestinationUnusable, error);
        switch (existing.kind) {
        case NodeKind::Missing: return {};
        case NodeKind::File: break;
        case NodeKind::Folder: return Fail(pair.to.path, FileOperationTexts::kDestinationIsFolder, EISDIR);
        case NodeKind::Other: return Fail(pair.to.path, FileOperationTexts::kDestinationNotFile, kNotRegularFile);
        case NodeKind::Link:
            // A link to a file stands for that file (the comparison saw it so) and is
            // replaced by the copy; anything else behind a link is not ours to replace.
            if (folder.inspect(name, true, existing) != 0 || existing.kind != NodeKind::File)
                return Fail(pair.to.path, FileOperationTexts::kDestinationOddLink, kNotRegularFile);
            break;
        }
        const bool newer = Newer(existing, source);
        const bool ask = newer ? !allNewer_ : flags_.confirmOverwrite && !allOverwrite_;
        if (!ask) return {};
        switch (ui_.confirmOverwrite(Facts(pair.from.path, source), Facts(pair.to.path, existing), newer)) {
        case ConfirmAnswer::Yes: return {};
        case ConfirmAnswer::YesToAll:
            allOverwrite_ = true;
            allNewer_ = allNewer_ || newer;
            return {};
        case ConfirmAnswer::No: return Skip(FileOperationTexts::kOverwriteDeclined);
        case ConfirmAnswer::Cancel: return {Attempt::Cancelled, {}, {}};
        }
        return {};
    }

    FileOperationUi& ui_;
    CopyFlags flags_;
    RootCache roots_;
    int32_t filesDone_ = 0;
    int32_t filesTotal_ = 0;
    uint64_t bytesDone_ = 0;
    uint64_t bytesTotal_ = 0;
    bool cancelled_ = false;
    bool skipAllErrors_ = false;
    bool allFolders_ = false;
    bool allOverwrite_ = false;
    bool allNewer_ = false;
    std::vector<std::string> declinedFolders_;
    std::vector<Pending> pending_;
    std::unordered_multiset<std::string> pendingNames_;
    uint64_t pendingBytes_ = 0;
    std::span<const CopyPair> pairs_;
    OperationResult* result_ = nullptr;
};

// One delete attempt; 0 or the error, with the path it concerns.
int RemoveOnce(RootCache& roots, const RootedPath& p, std::string& reportPath, std::string& reason) {
    const Parts parts = Split(p);
    reportPath = p.path;
    if (parts.name.empty()) {
        reason = FileOperationTexts::Reason(FileOperationTexts::kDeleteFolder, EISDIR);
        return EISDIR;
    }
    FolderHandle folder;
    Attempt opened = OpenFolderOf(roots, p, parts, FileOperationTexts::kCannotDelete, folder, false);
    if (opened.kind != Attempt::Done) {
        reportPath = opened.path;
        reason = opened.reason;
        return -1;
    }
    const int error = folder.valid() ? folder.removeFileOrLink(parts.name) : ENOENT;
    if (error != 0) {
        reason = FileOperationTexts::Reason(error == ENOENT   ? FileOperationTexts::kDeleteMissing
                                            : error == EISDIR ? FileOperationTexts::kDeleteFolder
                                                              : FileOperationTexts::kCannotDelete,
                                            error);
    }
    return error;
}

}  // namespace

OperationResult LocalFileOperationService::copy(std::span<const CopyPair> pairs, const CopyFlags& flags) {
    return CopyRun(ui_, flags).run(pairs);
}

OperationResult LocalFileOperationService::remove(std::span<const RootedPath> paths, const DeleteFlags& flags) {
    OperationResult result;
    if (paths.empty()) return result;
    result.files.reserve(paths.size());
    for (const RootedPath& path : paths) result.files.push_back({path.path, {}, FileOutcome::Cancelled, {}});
    if (flags.confirmDelete && !ui_.confirmDelete(static_cast<int32_t>(paths.size()))) {
        result.cancelled = true;
        return result;
    }
    const auto total = static_cast<int32_t>(paths.size());
    RootCache roots;
    bool skipAll = false;
    for (int32_t i = 0; i < total && !result.cancelled; ++i) {
        FileReport& report = result.files[static_cast<size_t>(i)];
        while (true) {
            if (!ui_.progress({report.path, i, total, 0, 0})) {
                result.cancelled = true;
                break;
            }
            std::string reportPath;
            if (RemoveOnce(roots, paths[static_cast<size_t>(i)], reportPath, report.reason) == 0) {
                report.outcome = FileOutcome::Done;
                report.reason.clear();
                break;
            }
            report.outcome = FileOutcome::Failed;
            if (skipAll) break;
            const ErrorAnswer answer = ui_.reportError(reportPath, report.reason);
            if (answer == ErrorAnswer::Retry) continue;
            if (answer == ErrorAnswer::SkipAll) skipAll = true;
            if (answer == ErrorAnswer::Cancel) result.cancelled = true;
            break;
        }
    }
    return result;
}

}  // namespace kirvo
