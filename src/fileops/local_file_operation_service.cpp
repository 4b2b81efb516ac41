#include "fileops/local_file_operation_service.h"

#include <cerrno>
#include <string_view>
#include <vector>

#include "fileops/file_operation_texts.h"
#include "platform/file_node.h"
#include "platform/file_transfer.h"

namespace kirvo {
namespace {

// How one attempt at one file ended.
struct Attempt {
    enum Kind { Done, Skipped, Cancelled, Error } kind = Done;
    std::string path;    // Error: the file or folder concerned
    std::string reason;  // Error, Skipped
};

Attempt Skip(std::string_view reason) { return {Attempt::Skipped, {}, std::string(reason)}; }

Attempt Fail(std::string path, std::string_view what, int code) {
    return {Attempt::Error, std::move(path), FileOperationTexts::Reason(what, code)};
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsWithin(const std::string& folder, const std::string& ancestor) {
    return folder == ancestor ||
           (folder.size() > ancestor.size() && folder.compare(0, ancestor.size(), ancestor) == 0 &&
            (ancestor.back() == '/' || folder[ancestor.size()] == '/'));
}

FileFacts Facts(const std::string& path, const NodeInfo& info) {
    return {path, info.size, info.modifiedSeconds, info.modifiedNanoseconds};
}

bool Newer(const NodeInfo& a, const NodeInfo& b) {
    return a.modifiedSeconds != b.modifiedSeconds ? a.modifiedSeconds > b.modifiedSeconds
                                                  : a.modifiedNanoseconds > b.modifiedNanoseconds;
}

// The state of one copy request.
class CopyRun {
public:
    CopyRun(FileOperationUi& ui, const CopyFlags& flags) : ui_(ui), flags_(flags) {}

    OperationResult run(std::span<const CopyPair> pairs) {
        OperationResult result;
        result.files.reserve(pairs.size());
        filesTotal_ = static_cast<int32_t>(pairs.size());
        for (const CopyPair& pair : pairs) {
            NodeInfo info;
            if (InspectPath(pair.from, true, info) == 0 && info.kind == NodeKind::File) bytesTotal_ += info.size;
        }
        for (const CopyPair& pair : pairs) {
            FileReport report{pair.from, pair.to, FileOutcome::Cancelled, {}};
            if (!cancelled_) copyWithRetries(pair, report);
            result.files.push_back(std::move(report));
            ++filesDone_;
        }
        result.cancelled = cancelled_;
        return result;
    }

private:
    void copyWithRetries(const CopyPair& pair, FileReport& report) {
        const uint64_t bytesBefore = bytesDone_;
        while (true) {
            bytesDone_ = bytesBefore;
            if (!ui_.progress({pair.from, filesDone_, filesTotal_, bytesDone_, bytesTotal_})) {
                cancelled_ = true;
                report.outcome = FileOutcome::Cancelled;
                return;
            }
            const Attempt attempt = copyOnce(pair);
            switch (attempt.kind) {
            case Attempt::Done: report.outcome = FileOutcome::Done; return;
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

    Attempt copyOnce(const CopyPair& pair) {
        FileTransfer transfer;  // abandons the temporary file on every early return
        NodeInfo source;
        if (const int error = transfer.openSource(pair.from, source)) {
            return Fail(pair.from,
                        error == ENOENT            ? FileOperationTexts::kSourceMissing
                        : error == kNotRegularFile ? FileOperationTexts::kSourceNotFile
                                                   : FileOperationTexts::kSourceUnreadable,
                        error);
        }
        if (Attempt folder = prepareFolder(FolderOf(pair.to)); folder.kind != Attempt::Done) return folder;
        if (Attempt existing = checkDestination(pair, source); existing.kind != Attempt::Done) return existing;

        if (const int error = transfer.createTemporary(pair.to))
            return Fail(pair.to, FileOperationTexts::kCannotCreate, error);
        const uint64_t bytesBefore = bytesDone_;
        for (bool finished = false; !finished;) {
            uint64_t copied = 0;
            if (const int error = transfer.copySome(LocalFileOperationService::kChunkBytes, copied, finished))
                return error == kSourceChanged ? Fail(pair.from, FileOperationTexts::kSourceChanged, 0)
                                               : Fail(pair.to, FileOperationTexts::kCopyFailed, error);
            bytesDone_ += copied;
            if (!finished && bytesDone_ - bytesBefore < source.size &&
                !ui_.progress({pair.from, filesDone_, filesTotal_, bytesDone_, bytesTotal_}))
                return {Attempt::Cancelled, {}, {}};
        }
        if (const int error = transfer.commit(pair.to))
            return Fail(pair.to, FileOperationTexts::kCannotWrite, error);
        return {};
    }

    // Makes sure the destination's folder exists, creating missing folders.
    Attempt prepareFolder(const std::string& folder) {
        for (const std::string& declined : declinedFolders_) {
            if (IsWithin(folder, declined)) return Skip(FileOperationTexts::kFolderDeclined);
        }
        std::vector<std::string> missing;  // deepest first
        for (std::string current = folder;;) {
            NodeInfo info;
            if (const int error = InspectPath(current, true, info))
                return Fail(current, FileOperationTexts::kFolderUnusable, error);
            if (info.kind == NodeKind::Folder) break;
            if (info.kind != NodeKind::Missing) return Fail(current, FileOperationTexts::kFolderIsFile, ENOTDIR);
            missing.push_back(current);
            const std::string parent = FolderOf(current);
            if (parent == current) break;
            current = parent;
        }
        if (missing.empty()) return {};
        if (flags_.confirmFolderCreation && !allFolders_) {
            switch (ui_.confirmFolderCreation(folder)) {
            case ConfirmAnswer::Yes: break;
            case ConfirmAnswer::YesToAll: allFolders_ = true; break;
            case ConfirmAnswer::No:
                declinedFolders_.push_back(folder);
                return Skip(FileOperationTexts::kFolderDeclined);
            case ConfirmAnswer::Cancel: return {Attempt::Cancelled, {}, {}};
            }
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            if (const int error = MakeFolder(*it)) return Fail(*it, FileOperationTexts::kCannotMakeFolder, error);
        }
        return {};
    }

    // Decides about what is at the destination now; Done means go ahead.
    Attempt checkDestination(const CopyPair& pair, const NodeInfo& source) {
        NodeInfo existing;
        if (const int error = InspectPath(pair.to, false, existing))
            return Fail(pair.to, FileOperationTexts::kDestinationUnusable, error);
        switch (existing.kind) {
        case NodeKind::Missing: return {};
        case NodeKind::File: break;
        case NodeKind::Folder: return Fail(pair.to, FileOperationTexts::kDestinationIsFolder, EISDIR);
        case NodeKind::Other: return Fail(pair.to, FileOperationTexts::kDestinationNotFile, kNotRegularFile);
        case NodeKind::Link:
            // A link to a file stands for that file (the comparison saw it so) and is
            // replaced by the copy; anything else behind a link is not ours to replace.
            if (InspectPath(pair.to, true, existing) != 0 || existing.kind != NodeKind::File)
                return Fail(pair.to, FileOperationTexts::kDestinationOddLink, kNotRegularFile);
            break;
        }
        const bool newer = Newer(existing, source);
        const bool ask = newer ? !allNewer_ : flags_.confirmOverwrite && !allOverwrite_;
        if (!ask) return {};
        switch (ui_.confirmOverwrite(Facts(pair.from, source), Facts(pair.to, existing), newer)) {
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
};

}  // namespace

OperationResult LocalFileOperationService::copy(std::span<const CopyPair> pairs, const CopyFlags& flags) {
    return CopyRun(ui_, flags).run(pairs);
}

OperationResult LocalFileOperationService::remove(std::span<const std::string> paths, const DeleteFlags& flags) {
    OperationResult result;
    if (paths.empty()) return result;
    result.files.reserve(paths.size());
    for (const std::string& path : paths) result.files.push_back({path, {}, FileOutcome::Cancelled, {}});
    if (flags.confirmDelete && !ui_.confirmDelete(static_cast<int32_t>(paths.size()))) {
        result.cancelled = true;
        return result;
    }
    const auto total = static_cast<int32_t>(paths.size());
    bool skipAll = false;
    for (int32_t i = 0; i < total && !result.cancelled; ++i) {
        FileReport& report = result.files[static_cast<size_t>(i)];
        while (true) {
            if (!ui_.progress({report.path, i, total, 0, 0})) {
                result.cancelled = true;
                break;
            }
            const int error = RemoveFileOrLink(report.path);
            if (error == 0) {
                report.outcome = FileOutcome::Done;
                break;
            }
            report.outcome = FileOutcome::Failed;
            report.reason = FileOperationTexts::Reason(
                error == ENOENT   ? FileOperationTexts::kDeleteMissing
                : error == EISDIR ? FileOperationTexts::kDeleteFolder
                                  : FileOperationTexts::kCannotDelete,
                error);
            if (skipAll) break;
            const ErrorAnswer answer = ui_.reportError(report.path, report.reason);
            if (answer == ErrorAnswer::Retry) continue;
            if (answer == ErrorAnswer::SkipAll) skipAll = true;
            if (answer == ErrorAnswer::Cancel) result.cancelled = true;
            break;
        }
    }
    return result;
}

}  // namespace kirvo
