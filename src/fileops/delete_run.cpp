#include "fileops/delete_run.h"

#include <cerrno>

#include "fileops/file_by_file.h"
#include "fileops/file_operation_texts.h"
#include "fileops/operation_log.h"
#include "platform/file_node.h"

namespace kirvo {
namespace {

DeleteRequest Request(std::span<const ListedPath> files, bool toTrash) {
    DeleteRequest request;
    request.count = static_cast<int32_t>(files.size());
    request.side = files.front().path.side;
    request.toTrash = toTrash;
    for (const ListedPath& f : files) {
        if (f.path.side != request.side) request.side = TreeSide::None;
        if (request.firstNames.size() < DeleteRun::kNamesShown)
            request.firstNames.emplace_back(f.path.rootSize > 0 ? f.path.relative() : std::string_view(f.path.path));
    }
    return request;
}

}  // namespace

OperationResult DeleteRun::run(std::span<const ListedPath> files) {
    OperationResult result;
    if (files.empty()) return result;
    result.files.reserve(files.size());
    for (const ListedPath& f : files) result.files.push_back({f.path.path, {}, FileOutcome::Cancelled, {}, {}});
    // Files of a root the trash cannot reach (another machine) go for good: the
    // question says so, and where none is asked each file is asked about.
    toTrash_ = flags_.useTrash;
    if (toTrash_) {
        const FolderHandle* root = nullptr;
        if (roots_.open(PathParts::Of(files.front().path).root, root) == 0 && !Trash::Reaches(*root)) {
            toTrash_ = false;
            askForGood_ = !flags_.confirmDelete;
        }
    }
    if (flags_.confirmDelete && !ui_.confirmDelete(Request(files, toTrash_))) {
        result.cancelled = true;
        return result;
    }
    RunFileByFile(
        ui_, result, [&](size_t i, FileReport& report) { return removeOnce(files[i], report); },
        [&](size_t i, const FileReport& report) { logOutcome(files[i], report); });
    trash_.flush();
    for (const std::string& notice : trash_.takeNotices()) ui_.notify(notice);
    return result;
}

// One attempt at one file: checked against the listing, then to the trash or for good.
FileAttempt DeleteRun::removeOnce(const ListedPath& item, FileReport& report) {
    const RootedPath& p = item.path;
    const PathParts parts = PathParts::Of(p);
    if (parts.name.empty()) return FileAttempt::Fail(p.path, FileOperationTexts::kDeleteFolder, EISDIR);
    FolderHandle folder;
    if (FileAttempt opened = roots_.openFolderOf(p, parts, FileOperationTexts::kCannotDelete, folder, false);
        opened.kind != FileAttempt::Done)
        return opened;
    NodeInfo node;
    if (!folder.valid()) return FileAttempt::Fail(p.path, FileOperationTexts::kDeleteMissing, ENOENT);
    if (const int error = folder.inspect(parts.name, false, node))
        return FileAttempt::Fail(p.path, FileOperationTexts::kCannotDelete, error);
    switch (node.kind) {
    case NodeKind::Missing: return FileAttempt::Fail(p.path, FileOperationTexts::kDeleteMissing, ENOENT);
    case NodeKind::Folder: return FileAttempt::Fail(p.path, FileOperationTexts::kDeleteFolder, EISDIR);
    case NodeKind::Other: return FileAttempt::Fail(p.path, FileOperationTexts::kCannotDelete, kNotRegularFile);
    case NodeKind::File:
    case NodeKind::Link: break;
    }
    // A link was listed as the file it points to, or (links copied as links) as itself.
    NodeInfo file = node;
    if (node.kind == NodeKind::Link && flags_.links != LinkMode::Copy &&
        (folder.inspect(parts.name, true, file) != 0 || file.kind != NodeKind::File))
        file = NodeInfo{};
    lastSize_ = file.size;
    lastNode_ = node;
    lastTrashed_ = TrashedFile{};
    const bool toTrash = toTrash_;
    if (item.listed.state == ListedFile::State::Present && (file.kind == NodeKind::File || file.kind == NodeKind::Link) &&
        !item.listed.matches(file.size, file.modifiedSeconds, file.modifiedNanoseconds) && !allChanged_) {
        // Where no trash takes the file, the question does not promise one.
        std::string noTrash;
        const ChangedFile question{
            p.side,
            toTrash && trash_.check(folder, noTrash) != kNoTrash ? FileAction::Trash : FileAction::Delete,
            p.path,
            true,
            {{}, item.listed.size, item.listed.modifiedSeconds, item.listed.modifiedMilliseconds * 1000000u},
            {p.path, file.size, file.modifiedSeconds, file.modifiedNanoseconds}};
        switch (ui_.confirmChanged(question)) {
        case ConfirmAnswer::Yes: break;
        case ConfirmAnswer::YesToAll: allChanged_ = true; break;
        case ConfirmAnswer::No: return FileAttempt::Skip(FileOperationTexts::kChangedKept);
        case ConfirmAnswer::Cancel: return FileAttempt::Cancel();
        }
    }
    if (toTrash) {
        TrashedFile trashed;
        std::string reason;
        const int error = trash_.move(folder, parts.name, trashed, reason);
        if (error == 0) {
            report.trashedTo = trashed.path;
            lastTrashed_ = trashed;
            return {};
        }
        if (error != kNoTrash) return FileAttempt::Fail(p.path, FileOperationTexts::kCannotTrash, error);
        if (!allWithoutTrash_) {
            switch (ui_.confirmWithoutTrash(p.path, p.side, FileAction::Delete, reason)) {
            case ConfirmAnswer::Yes: break;
            case ConfirmAnswer::YesToAll: allWithoutTrash_ = true; break;
            case ConfirmAnswer::No: return FileAttempt::Skip(FileOperationTexts::kNoTrashKept);
            case ConfirmAnswer::Cancel: return FileAttempt::Cancel();
            }
        }
    }
    if (askForGood_ && !allWithoutTrash_) {
        switch (ui_.confirmWithoutTrash(p.path, p.side, FileAction::Delete, std::string(Trash::kNoRemoteTrash))) {
        case ConfirmAnswer::Yes: break;
        case ConfirmAnswer::YesToAll: allWithoutTrash_ = true; break;
        case ConfirmAnswer::No: return FileAttempt::Skip(FileOperationTexts::kNoTrashKept);
        case ConfirmAnswer::Cancel: return FileAttempt::Cancel();
        }
    }
    if (const int error = folder.removeFileOrLink(parts.name)) {
        return FileAttempt::Fail(p.path,
                                 error == ENOENT   ? FileOperationTexts::kDeleteMissing
                                 : error == EISDIR ? FileOperationTexts::kDeleteFolder
                                                   : FileOperationTexts::kCannotDelete,
                                 error);
    }
    return {};
}

void DeleteRun::logOutcome(const ListedPath& item, const FileReport& report) {
    if (log_ == nullptr || report.outcome == FileOutcome::Cancelled) return;
    const std::string_view action = !report.trashedTo.empty() || (toTrash_ && report.outcome != FileOutcome::Done)
                                        ? OperationLog::kTrashed
                                        : OperationLog::kDeleted;
    const std::string result = report.outcome == FileOutcome::Done      ? std::string(OperationLog::kOk)
                               : report.outcome == FileOutcome::Skipped ? OperationLog::Skipped(report.reason)
                                                                        : OperationLog::Failed(report.reason);
    const bool sized = report.outcome == FileOutcome::Done;
    const bool trashed = sized && !report.trashedTo.empty();
    if (!log_->write({action, item.path.path, report.trashedTo, sized ? std::optional<uint64_t>(lastSize_) : std::nullopt,
                      {}, result, trashed ? std::string_view(lastTrashed_.base) : std::string_view(),
                      trashed ? std::string_view(lastTrashed_.name) : std::string_view(), {},
                      trashed ? std::optional<FileStamp>(FileStamp::Of(lastNode_)) : std::nullopt}))
        if (const std::string notice = log_->failureNotice(); !notice.empty()) ui_.notify(notice);
}

}  // namespace kirvo
