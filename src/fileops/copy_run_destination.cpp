// The copy's look at each destination before it writes: its folder (made where
// missing, after asking), our stale temporary files there, and what stands at
// the destination now (asked about where it is newer, changed or to be replaced).
#include "fileops/copy_run.h"

#include <algorithm>

#include "fileops/file_operation_texts.h"
#include "fileops/operation_log.h"
#include "platform/root.h"

namespace kirvo {
namespace {

FileFacts Facts(const std::string& path, const NodeInfo& info) {
    return {path, info.size, info.modifiedSeconds, info.modifiedNanoseconds};
}

bool Newer(const NodeInfo& a, const NodeInfo& b) {
    return a.modifiedSeconds != b.modifiedSeconds ? a.modifiedSeconds > b.modifiedSeconds
                                                  : a.modifiedNanoseconds > b.modifiedNanoseconds;
}

}  // namespace

// Stale temporary files of killed runs go once per folder and request.
void CopyRun::removeStaleOnce(const FolderHandle& folder) {
    uint64_t device = 0, inode = 0;
    if (folder.identify(device, inode) != 0) return;
    const std::pair<uint64_t, uint64_t> id{device, inode};
    if (std::find(cleanedFolders_.begin(), cleanedFolders_.end(), id) != cleanedFolders_.end()) return;
    cleanedFolders_.push_back(id);
    FileTransfer::RemoveStaleTemporaries(folder);
}

// Opens the destination's folder below its root, creating missing folders; a
// folder made takes the metadata of its counterpart in the source tree.
FileAttempt CopyRun::prepareFolder(const CopyPair& pair, const PathParts& parts, FolderHandle& folder) {
    const RootedPath& to = pair.to;
    for (const std::string& declined : declinedFolders_) {
        if (IsWithinFolder(parts.fullFolder, declined)) return FileAttempt::Skip(FileOperationTexts::kFolderDeclined);
    }
    // The folder of the file before, still open.
    if (destinationFolder_.usable() && parts.fullFolder == destinationFolderKey_) {
        folder = destinationFolder_.share();
        return {};
    }
    destinationFolder_ = FolderHandle();
    const FolderHandle* root = nullptr;
    const int rootError = roots_.open(parts.root, root);
    if (rootError != 0 && rootError != ENOENT)
        return FileAttempt::Fail(std::string(to.root()), FileOperationTexts::kFolderUnusable, rootError);
    size_t failedAt = 0;
    const int error = rootError != 0 ? ENOENT : root->openBeneath(parts.folder, folder, &failedAt);
    if (error == 0) {
        destinationFolderKey_ = std::string(parts.fullFolder);
        destinationFolder_ = folder.share();
        return {};
    }
    const size_t start = static_cast<size_t>(parts.folder.data() - to.path.data());
    if (error != ENOENT) {
        return FileAttempt::Fail(to.path.substr(0, start + failedAt),
                                 error == ENOTDIR ? FileOperationTexts::kFolderIsFile : FileOperationTexts::kFolderUnusable,
                                 error);
    }
    if (flags_.confirmFolderCreation && !allFolders_) {
        switch (ui_.confirmFolderCreation(std::string(parts.fullFolder))) {
        case ConfirmAnswer::Yes: break;
        case ConfirmAnswer::YesToAll: allFolders_ = true; break;
        case ConfirmAnswer::No:
            declinedFolders_.emplace_back(parts.fullFolder);
            return FileAttempt::Skip(FileOperationTexts::kFolderDeclined);
        case ConfirmAnswer::Cancel: return FileAttempt::Cancel();
        }
    }
    if (rootError != 0) {
        // The root itself is missing: it is made as the user named it.
        std::string failed;
        if (const int e = makeRoot(parts.root, failed))
            return FileAttempt::Fail(failed, FileOperationTexts::kCannotMakeFolder, e);
        if (const int e = roots_.open(parts.root, root))
            return FileAttempt::Fail(std::string(to.root()), FileOperationTexts::kFolderUnusable, e);
        rootMade_ = true;
        // A root just made holds no temporary files of killed runs: no need to
        // list it (on another machine that is several round trips).
        if (uint64_t device = 0, inode = 0; root->identify(device, inode) == 0) cleanedFolders_.emplace_back(device, inode);
    }
    // The source's folder of the same relative path, where the file has one.
    // It is walked down beside the destination, one level at a time, so a
    // deep chain of new folders costs one opening per level.
    const PathParts from = PathParts::Of(pair.from);
    const FolderHandle* sourceRoot = nullptr;
    FolderHandle counterpart;
    bool followSource = from.folder == parts.folder && roots_.open(from.root, sourceRoot) == 0 &&
                        sourceRoot->openBeneath({}, counterpart) == 0;
    // Walk down again name by name, creating what is missing; nothing on the way is a link.
    if (const int e = root->openBeneath({}, folder))
        return FileAttempt::Fail(std::string(to.root()), FileOperationTexts::kFolderUnusable, e);
    for (size_t pos = 0; pos < parts.folder.size();) {
        size_t next = parts.folder.find('/', pos);
        if (next == std::string_view::npos) next = parts.folder.size();
        if (next > pos) {
            FolderHandle child;
            bool created = false;
            if (const int e = folder.openChild(parts.folder.substr(pos, next - pos), true, child, &created)) {
                return FileAttempt::Fail(to.path.substr(0, start + next),
                                         e == ENOTDIR || e == EEXIST ? FileOperationTexts::kFolderIsFile
                                                                     : FileOperationTexts::kCannotMakeFolder,
                                         e == EEXIST ? ENOTDIR : e);
            }
            if (followSource) {
                FolderHandle sourceChild;
                followSource = counterpart.openChild(parts.folder.substr(pos, next - pos), false, sourceChild) == 0;
                counterpart = std::move(sourceChild);
            }
            if (created && followSource) noteMetadata(pair, child.copyMetadataFrom(counterpart));
            if (created) {
                NodeInfo made;
                if (child.backend()->describe(made) == 0) logFolderMade(to.path.substr(0, start + next), made);
                // A folder just made holds no temporary files of killed runs.
                if (uint64_t device = 0, inode = 0; child.identify(device, inode) == 0)
                    cleanedFolders_.emplace_back(device, inode);
            }
            folder = std::move(child);
        }
        pos = next + 1;
    }
    destinationFolderKey_ = std::string(parts.fullFolder);
    destinationFolder_ = folder.share();
    return {};
}

// Makes a missing destination root, and the missing folders above it, each in the log.
int CopyRun::makeRoot(const std::string& root, std::string& failed) {
    std::vector<std::string> missing;  // outermost first
    if (roots_.remote(root)) {
        missing.push_back(root);
    } else {
        std::string path = root;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        for (NodeInfo info; InspectPath(path, false, info) == 0 && info.kind == NodeKind::Missing;) {
            missing.insert(missing.begin(), path);
            const size_t slash = path.rfind('/');
            if (slash == std::string::npos || slash == 0) break;
            path.resize(slash);
        }
    }
    const int error = roots_.make(root, failed);
    for (const std::string& path : missing) {
        NodeInfo made;
        const FolderHandle* opened = nullptr;
        if (roots_.remote(root)) {
            if (roots_.open(root, opened) != 0 || opened->backend()->describe(made) != 0) continue;
        } else if (InspectPath(path, false, made) != 0 || made.kind != NodeKind::Folder) {
            continue;
        }
        logFolderMade(path, made);
    }
    return error;
}

void CopyRun::logFolderMade(const std::string& path, const NodeInfo& folder) {
    if (result_ != nullptr) ++result_->foldersMade;
    if (log_ == nullptr) return;
    if (!log_->write({OperationLog::kFolderMade, {}, path, {}, {}, OperationLog::kOk, {}, {}, FileStamp::Of(folder)}))
        if (const std::string notice = log_->failureNotice(); !notice.empty()) ui_.notify(notice);
}

// Decides about what is at the destination now; Done means go ahead. With
// lookedAt, the destination was found changed since the copy looked at it
// (then as lookedAt says): that is asked about whatever the listing says.
FileAttempt CopyRun::checkDestination(const CopyPair& pair, std::string_view name, const FolderHandle& folder,
                                      const NodeInfo& source, Decision& decision, const NodeInfo* lookedAt) {
    NodeInfo existing;
    if (const int error = folder.inspect(name, false, existing))
        return FileAttempt::Fail(pair.to.path, FileOperationTexts::kDestinationUnusable, error);
    decision.expected = existing;
    NodeInfo file = existing;  // what the comparison would have seen there
    switch (existing.kind) {
    case NodeKind::Missing: return {};  // nothing to replace (also when it vanished since)
    case NodeKind::File: break;
    case NodeKind::Folder: return FileAttempt::Fail(pair.to.path, FileOperationTexts::kDestinationIsFolder, EISDIR);
    case NodeKind::Other:
        return FileAttempt::Fail(pair.to.path, FileOperationTexts::kDestinationNotFile, kNotRegularFile);
    case NodeKind::Link:
        // Links listed as themselves: the link is what is replaced.
        if (flags_.links == LinkMode::Copy) break;
        // A link to a file stands for that file (the comparison saw it so) and is
        // replaced by the copy; anything else behind a link is not ours to replace.
        if (folder.inspect(name, true, file) != 0 || file.kind != NodeKind::File)
            return FileAttempt::Fail(pair.to.path, FileOperationTexts::kDestinationOddLink, kNotRegularFile);
        break;
    }
    decision.replacing = true;
    decision.replacedSize = file.size;
    // Where no trash takes the old version (another machine, say), no question promises it.
    std::string noTrash;
    const bool trashTakesIt = flags_.keepReplaced && trash_.check(folder, noTrash) != kNoTrash;
    const ListedFile& listed = pair.listedTo;
    ChangedFile question{pair.to.side,
                         trashTakesIt ? FileAction::ReplaceKeepingOld : FileAction::Replace,
                         pair.to.path,
                         listed.state == ListedFile::State::Present,
                         {{}, listed.size, listed.modifiedSeconds, listed.modifiedMilliseconds * 1000000u},
                         Facts(pair.to.path, file)};
    bool changed = listed.state == ListedFile::State::Absent ||
                   (listed.state == ListedFile::State::Present &&
                    !listed.matches(file.size, file.modifiedSeconds, file.modifiedNanoseconds));
    if (lookedAt != nullptr) {
        changed = true;
        if (listed.state != ListedFile::State::Present) {
            question.listedPresent = lookedAt->kind != NodeKind::Missing;
            question.listed = Facts({}, *lookedAt);
        }
    }
    bool answered = false;
    if (changed && !allChanged_) {
        switch (ui_.confirmChanged(question)) {
        case ConfirmAnswer::Yes: break;
        case ConfirmAnswer::YesToAll: allChanged_ = true; break;
        case ConfirmAnswer::No: return FileAttempt::Skip(FileOperationTexts::kChangedKept);
        case ConfirmAnswer::Cancel: return FileAttempt::Cancel();
        }
        answered = true;
    }
    const bool newer = Newer(file, source) && !flags_.newerExpected;
    const bool ask = !answered && (newer ? !allNewer_ : flags_.confirmOverwrite && !allOverwrite_);
    if (ask) {
        switch (ui_.confirmOverwrite(Facts(pair.from.path, source), Facts(pair.to.path, file), newer)) {
        case ConfirmAnswer::Yes: break;
        case ConfirmAnswer::YesToAll:
            allOverwrite_ = true;
            allNewer_ = allNewer_ || newer;
            break;
        case ConfirmAnswer::No: return FileAttempt::Skip(FileOperationTexts::kOverwriteDeclined);
        case ConfirmAnswer::Cancel: return FileAttempt::Cancel();
        }
    }
    if (!flags_.keepReplaced) return {};
    if (trashTakesIt) {
        decision.keepOld = true;  // or an error of the folder itself, which the copy then meets
        return {};
    }
    if (allWithoutTrash_) return {};
    switch (ui_.confirmWithoutTrash(pair.to.path, pair.to.side, FileAction::Replace, noTrash)) {
    case ConfirmAnswer::Yes: return {};
    case ConfirmAnswer::YesToAll: allWithoutTrash_ = true; return {};
    case ConfirmAnswer::No: return FileAttempt::Skip(FileOperationTexts::kNoTrashKept);
    case ConfirmAnswer::Cancel: return FileAttempt::Cancel();
    }
    return {};
}

// What the destination could not keep, told once per root at the end.
void CopyRun::noteMetadata(const CopyPair& pair, uint32_t notKept) {
    if (notKept == 0) return;
    const std::string root(pair.to.root().empty() ? std::string_view(pair.to.path) : pair.to.root());
    for (auto& [destination, kinds] : metadataNotKept_) {
        if (destination == root) {
            kinds |= notKept;
            return;
        }
    }
    metadataNotKept_.emplace_back(root, notKept);
}

}  // namespace kirvo
