#include "fileops/move_run.h"

#include <cerrno>

#include "fileops/file_by_file.h"
#include "fileops/file_operation_texts.h"
#include "fileops/operation_log.h"
#include "platform/file_node.h"

namespace kirvo {
namespace {

std::string_view WithoutSlash(std::string_view path) {
    return path.size() > 1 && path.back() == '/' ? path.substr(0, path.size() - 1) : path;
}

template <class Item, class PathOf>
OperationResult Reports(std::span<const Item> items, PathOf pathOf) {
    OperationResult result;
    result.files.reserve(items.size());
    for (const Item& item : items) result.files.push_back({pathOf(item), {}, FileOutcome::Cancelled, {}, {}});
    return result;
}

}  // namespace

OperationResult MoveRun::run(std::span<const MovePair> moves) {
    OperationResult result = Reports(moves, [](const MovePair& m) { return m.from.path; });
    for (size_t i = 0; i < moves.size(); ++i) result.files[i].destination = moves[i].to.path;
    RunFileByFile(
        ui_, result, [&](size_t i, FileReport& report) { return moveOnce(moves[i], report); },
        [&](size_t i, const FileReport& report) {
            const bool done = report.outcome == FileOutcome::Done;
            log(moves[i].folder ? OperationLog::kFolderMoved : OperationLog::kMoved, moves[i].from.path,
                moves[i].to.path, done && !moves[i].folder ? std::optional<uint64_t>(lastSize_) : std::nullopt, report,
                done && lastMoved_.kind != NodeKind::Missing ? std::optional<FileStamp>(FileStamp::Of(lastMoved_))
                                                              : std::nullopt);
        });
    result.foldersMade = foldersMade_;
    return result;
}

OperationResult MoveRun::makeFolders(std::span<const RootedPath> folders) {
    OperationResult result = Reports(folders, [](const RootedPath& f) { return f.path; });
    RunFileByFile(
        ui_, result,
        [&](size_t i, FileReport&) {
            const PathParts parts = PathParts::Of(folders[i]);
            if (parts.name.empty())
                return FileAttempt::Fail(folders[i].path, FileOperationTexts::kCannotMakeFolder, EINVAL);
            // The folder itself is made as the last one on the way to a name inside it.
            const RootedPath inside{folders[i].path + "/.", folders[i].rootSize, folders[i].side};
            FolderHandle made;
            return openOrMakeFolderOf(inside, PathParts::Of(inside), made);
        },
        [](size_t, const FileReport&) {});  // each folder made is logged on the way
    result.foldersMade = foldersMade_;
    return result;
}

OperationResult MoveRun::removeEmptyFolders(std::span<const RootedPath> folders) {
    OperationResult result = Reports(folders, [](const RootedPath& f) { return f.path; });
    RunFileByFile(
        ui_, result, [&](size_t i, FileReport&) { return removeFolderOnce(folders[i]); },
        [&](size_t i, const FileReport& report) {
            log(OperationLog::kFolderRemoved, folders[i].path, {}, std::nullopt, report);
        });
    return result;
}

FileAttempt MoveRun::moveOnce(const MovePair& move, FileReport& report) {
    (void)report;
    lastMoved_ = NodeInfo{};
    const PathParts from = PathParts::Of(move.from);
    const PathParts to = PathParts::Of(move.to);
    if (from.name.empty() || to.name.empty()) return FileAttempt::Fail(move.from.path, FileOperationTexts::kCannotMove, EINVAL);
    if (from.root != to.root) return FileAttempt::Fail(move.from.path, FileOperationTexts::kCannotMove, EXDEV);
    FolderHandle fromFolder;
    if (FileAttempt opened = roots_.openFolderOf(move.from, from, FileOperationTexts::kCannotMove, fromFolder, false);
        opened.kind != FileAttempt::Done)
        return opened;
    if (!fromFolder.valid()) return FileAttempt::Fail(move.from.path, FileOperationTexts::kDeleteMissing, ENOENT);
    NodeInfo node;
    if (const int error = fromFolder.inspect(from.name, false, node))
        return FileAttempt::Fail(move.from.path, FileOperationTexts::kCannotMove, error);
    if (move.folder) return moveFolderOnce(move, fromFolder, node, from, to);
    switch (node.kind) {
    case NodeKind::Missing: return FileAttempt::Fail(move.from.path, FileOperationTexts::kDeleteMissing, ENOENT);
    case NodeKind::Folder:
    case NodeKind::Other: return FileAttempt::Fail(move.from.path, FileOperationTexts::kCannotMove, kNotRegularFile);
    case NodeKind::File:
    case NodeKind::Link: break;
    }
    // A link was listed as the file it points to.
    NodeInfo file = node;
    if (node.kind == NodeKind::Link && (fromFolder.inspect(from.name, true, file) != 0 || file.kind != NodeKind::File))
        file = NodeInfo{};
    lastSize_ = file.size;
    // Another file than the one the decision was made on stays where it is:
    // the next comparison decides about it anew.
    const bool changed =
        (move.listed.state == ListedFile::State::Present &&
         !move.listed.matches(file.size, file.modifiedSeconds, file.modifiedNanoseconds)) ||
        (move.inode != 0 && file.inode != 0 && file.inode != move.inode);
    if (changed) return FileAttempt::Skip(FileOperationTexts::kChangedKept);
    FolderHandle toFolder;
    if (FileAttempt opened = openOrMakeFolderOf(move.to, to, toFolder); opened.kind != FileAttempt::Done) return opened;
    const int error = fromFolder.rename(from.name, toFolder, to.name);
    if (error == EEXIST || error == ENOTEMPTY)
        return FileAttempt::Fail(move.to.path, FileOperationTexts::kMoveTaken, EEXIST);
    if (error != 0) return FileAttempt::Fail(move.from.path, FileOperationTexts::kCannotMove, error);
    // What undo knows it by: a rename keeps inode, size and time.
    if (toFolder.inspect(to.name, false, lastMoved_) != 0) lastMoved_ = NodeInfo{};
    return {};
}

// A folder renamed in letter case, within its own folder.
FileAttempt MoveRun::moveFolderOnce(const MovePair& move, const FolderHandle& folder, const NodeInfo& node,
                                    const PathParts& from, const PathParts& to) {
    if (node.kind == NodeKind::Missing) return FileAttempt::Fail(move.from.path, FileOperationTexts::kDeleteMissing, ENOENT);
    if (node.kind != NodeKind::Folder || from.folder != to.folder || (move.inode != 0 && node.inode != move.inode))
        return FileAttempt::Skip(FileOperationTexts::kChangedKept);
    const int error = folder.rename(from.name, folder, to.name);
    if (error == EEXIST || error == ENOTEMPTY) return FileAttempt::Fail(move.to.path, FileOperationTexts::kMoveTaken, EEXIST);
    if (error != 0) return FileAttempt::Fail(move.from.path, FileOperationTexts::kCannotMove, error);
    if (folder.inspect(to.name, false, lastMoved_) != 0) lastMoved_ = NodeInfo{};
    return {};
}

FileAttempt MoveRun::openOrMakeFolderOf(const RootedPath& p, const PathParts& parts, FolderHandle& folder) {
    const FolderHandle* root = nullptr;
    if (int error = roots_.open(parts.root, root)) {
        // A root that is missing is made as the user named it (a run asks before that), once.
        std::string failed;
        if (error == ENOENT && (error = roots_.make(parts.root, failed)) == 0 && (error = roots_.open(parts.root, root)) == 0) {
            NodeInfo made;
            if (InspectPath(parts.root, false, made) == 0)
                write({OperationLog::kFolderMade, {}, WithoutSlash(parts.root), {}, {}, OperationLog::kOk, {}, {},
                       FileStamp::Of(made)});
        } else {
            return FileAttempt::Fail(failed.empty() ? std::string(p.root()) : failed, FileOperationTexts::kCannotMakeFolder,
                                     error);
        }
    }
    if (root->openBeneath(parts.folder, folder) == 0) return {};
    // One name at a time from the root, each made where it is missing.
    FolderHandle current;
    if (const int error = root->openBeneath({}, current))
        return FileAttempt::Fail(std::string(p.root()), FileOperationTexts::kCannotMakeFolder, error);
    size_t pos = 0;
    while (pos < parts.folder.size()) {
        size_t next = parts.folder.find('/', pos);
        if (next == std::string_view::npos) next = parts.folder.size();
        FolderHandle child;
        bool created = false;
        const size_t start = static_cast<size_t>(parts.folder.data() - p.path.data());
        if (const int error = current.openChild(parts.folder.substr(pos, next - pos), true, child, &created))
            return FileAttempt::Fail(p.path.substr(0, start + next), FileOperationTexts::kCannotMakeFolder, error);
        // Undo removes a folder made here once it is empty again.
        if (NodeInfo made; created && child.backend()->describe(made) == 0) {
            ++foldersMade_;
            write({OperationLog::kFolderMade, {}, p.path.substr(0, start + next), {}, {}, OperationLog::kOk, {}, {},
                   FileStamp::Of(made)});
        }
        current = std::move(child);
        pos = next + 1;
    }
    folder = std::move(current);
    return {};
}

FileAttempt MoveRun::removeFolderOnce(const RootedPath& folderPath) {
    const PathParts parts = PathParts::Of(folderPath);
    if (parts.name.empty()) return FileAttempt::Fail(folderPath.path, FileOperationTexts::kCannotRemoveFolder, EINVAL);
    FolderHandle parent;
    if (FileAttempt opened =
            roots_.openFolderOf(folderPath, parts, FileOperationTexts::kCannotRemoveFolder, parent, false);
        opened.kind != FileAttempt::Done)
        return opened;
    if (!parent.valid()) return FileAttempt::Skip(FileOperationTexts::kFolderGone);
    const int error = parent.removeEmptyFolder(parts.name);
    if (error == 0) return {};
    if (error == ENOTEMPTY) return FileAttempt::Skip(FileOperationTexts::kFolderNotEmpty);
    if (error == ENOENT) return FileAttempt::Skip(FileOperationTexts::kFolderGone);
    return FileAttempt::Fail(folderPath.path, FileOperationTexts::kCannotRemoveFolder, error);
}

void MoveRun::log(std::string_view action, const std::string& source, const std::string& destination,
                  std::optional<uint64_t> size, const FileReport& report, std::optional<FileStamp> after) {
    if (log_ == nullptr || report.outcome == FileOutcome::Cancelled) return;
    const std::string result = report.outcome == FileOutcome::Done      ? std::string(OperationLog::kOk)
                               : report.outcome == FileOutcome::Skipped ? OperationLog::Skipped(report.reason)
                                                                        : OperationLog::Failed(report.reason);
    write({action, source, destination, size, {}, result, {}, {}, after});
}

void MoveRun::write(const OperationLog::Entry& entry) {
    if (log_ == nullptr) return;
    if (!log_->write(entry))
        if (const std::string notice = log_->failureNotice(); !notice.empty()) ui_.notify(notice);
}

}  // namespace kirvo
