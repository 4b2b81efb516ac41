// Undo of a run: carrying out its steps, each written to the log as a run of its own.
#include <cerrno>

#include "fileops/file_operation_ui.h"
#include "fileops/operation_log.h"
#include "fileops/run_undo.h"
#include "platform/file_transfer.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

std::string Quoted(std::string_view path) { return "„" + std::string(path) + "“"; }

// The action a step takes, as the log names it.
std::string_view ActionOf(UndoStep::Kind kind) {
    switch (kind) {
    case UndoStep::Kind::RemoveCopy: return OperationLog::kTrashed;
    case UndoStep::Kind::MoveBack: return OperationLog::kMoved;
    case UndoStep::Kind::RemoveFolder: return OperationLog::kFolderRemoved;
    case UndoStep::Kind::MakeFolder: return OperationLog::kFolderMade;
    default: return OperationLog::kRestored;
    }
}

std::optional<FileStamp> StampOf(const FolderHandle& folder, std::string_view name) {
    NodeInfo info;
    if (folder.inspect(name, false, info) != 0 || info.kind == NodeKind::Missing) return std::nullopt;
    return FileStamp::Of(info);
}

}  // namespace

bool RunUndo::carryOut(FileOperationUi& ui, OperationLog* log) {
    ui_ = &ui;
    log_ = log;
    if (log_) undoRun_ = log_->beginRun({{}, run_.sourceRoot, run_.targetRoot, run_.id}, true);
    const auto total = count(UndoStep::State::ToDo);
    int32_t done = 0;
    bool cancelled = false;
    for (UndoStep& step : steps_) {
        if (step.state == UndoStep::State::Stays) {
            logStep(ActionOf(step.kind), {}, step.path, {}, {}, nullptr, OperationLog::Skipped(step.why));
        } else if (step.state == UndoStep::State::ToDo && !cancelled) {
            if (!ui.progress({step.path, done++, total, 0, 0})) {
                cancelled = true;
                continue;
            }
            carryOut(step);
            carried_ += step.state == UndoStep::State::Done ? 1 : 0;
        }
    }
    trash_.flush();
    for (const std::string& notice : trash_.takeNotices()) ui.notify(notice);
    if (log_) {
        log_->endRun(cancelled);
        if (const std::string notice = log_->failureNotice(); !notice.empty()) ui.notify(notice);
    }
    ui_ = nullptr;
    log_ = nullptr;
    return !cancelled;
}

void RunUndo::carryOut(UndoStep& step) {
    // Looked at once more, right before: time has passed since the question.
    lookAt(step);
    if (step.state == UndoStep::State::ToDo) {
        RootedPath rooted;
        locate(step.path, rooted);  // lookAt found it
        const PathParts parts = PathParts::Of(rooted);
        FolderHandle folder;
        switch (step.kind) {
        case UndoStep::Kind::RemoveCopy:
        case UndoStep::Kind::PutBackReplaced: {
            NodeInfo now;
            std::string why;
            if (!inspect(step.path, now, why)) {
                stays(step, why);
                break;
            }
            // A replaced version comes back once the copy has gone (or was gone already).
            TrashedFile copy;
            if (now.kind != NodeKind::Missing && !removeMade(step, now, &copy)) break;
            if (step.kind == UndoStep::Kind::PutBackReplaced && !bringBack(step) && !copy.name.empty()) {
                // The copy goes back to its place rather than leave it empty.
                const TrashFolders& t = trashFolders(copy.base);
                if (openFolder(rooted, false, folder) == 0 && t.files.rename(copy.name, folder, parts.name) == 0) {
                    t.info.removeFileOrLink(copy.infoName);
                    logStep(OperationLog::kRestored, copy.path, step.path, StampOf(folder, parts.name), {});
                }
            }
            break;
        }
        case UndoStep::Kind::Restore: bringBack(step); break;
        case UndoStep::Kind::MoveBack: {
            RootedPath from;
            locate(step.from, from);  // lookAt found it
            FolderHandle fromFolder;
            int error = openFolder(from, false, fromFolder);
            if (error == 0) error = openFolder(rooted, true, folder);
            if (error == 0) error = fromFolder.rename(PathParts::Of(from).name, folder, parts.name);
            if (error == EEXIST) {
                stays(step, Tr("an ihrem alten Platz steht jetzt eine Datei, die der Lauf nicht gemacht hat"));
            } else if (error != 0) {
                stays(step, Tr("lässt sich nicht zurückverschieben: ") + SystemErrorText(error));
            } else {
                step.state = UndoStep::State::Done;
                logStep(step.folder ? OperationLog::kFolderMoved : OperationLog::kMoved, step.from, step.path,
                        StampOf(folder, parts.name), {});
            }
            break;
        }
        case UndoStep::Kind::RemoveFolder: {
            const int error = openFolder(rooted, false, folder);
            const int removed = error != 0 ? error : folder.removeEmptyFolder(parts.name);
            NodeInfo now;
            std::string why;
            if (error == ENOENT && !inspect(step.path, now, why)) {
                stays(step, why);  // its root went away just now
            } else if (removed == 0 || removed == ENOENT) {
                step.state = UndoStep::State::Done;
                if (removed == 0) logStep(OperationLog::kFolderRemoved, step.path, {}, {}, step.left);
            } else {
                stays(step, removed == ENOTEMPTY || removed == EEXIST
                                ? Tr("nicht leer: darin liegt, was der Lauf nicht gemacht hat oder was geblieben ist")
                                : Tr("lässt sich nicht entfernen: ") + SystemErrorText(removed));
            }
            break;
        }
        case UndoStep::Kind::MakeFolder: {
            FolderHandle made;
            bool created = false;
            const int error = openFolder(rooted, true, folder);
            const int opened = error != 0 ? error : folder.openChild(parts.name, true, made, &created);
            if (opened != 0) {
                stays(step, Tr("lässt sich nicht anlegen: ") + SystemErrorText(opened));
            } else {
                step.state = UndoStep::State::Done;
                if (created) logStep(OperationLog::kFolderMade, {}, step.path, StampOf(folder, parts.name), {});
            }
            break;
        }
        case UndoStep::Kind::NotKept: break;
        }
    }
    if (step.state == UndoStep::State::ToDo) step.state = UndoStep::State::Done;
    if (step.state == UndoStep::State::Stays)
        logStep(ActionOf(step.kind), {}, step.path, {}, {}, nullptr, OperationLog::Skipped(step.why));
}

// Puts a file the run made into the trash, if it is still the one `expected`
// describes; one on another machine, where there is no trash, is removed.
bool RunUndo::removeMade(UndoStep& step, const NodeInfo& expected, TrashedFile* into) {
    RootedPath rooted;
    locate(step.path, rooted);
    const PathParts parts = PathParts::Of(rooted);
    FolderHandle folder;
    if (const int error = openFolder(rooted, false, folder)) {
        stays(step, Tr("lässt sich nicht entfernen: ") + SystemErrorText(error));
        return false;
    }
    if (!Trash::Reaches(folder)) {
        if (const int error = folder.removeFileOrLink(parts.name)) {
            stays(step, Tr("lässt sich nicht entfernen: ") + SystemErrorText(error));
            return false;
        }
        logStep(OperationLog::kDeleted, step.path, {}, {}, FileStamp::Of(expected));
        return true;
    }
    TrashedFile trashed;
    std::string reason;
    if (const int error = trash_.move(folder, parts.name, trashed, reason)) {
        stays(step, error == kNoTrash ? Tr("kein Papierkorb nimmt sie: ") + reason
                                      : Tr("lässt sich nicht in den Papierkorb verschieben: ") + SystemErrorText(error));
        return false;
    }
    // Looked at once more where it went: another program's file that came just
    // then goes back to its place.
    const TrashFolders& t = trashFolders(trashed.base);
    NodeInfo moved;
    if (t.error != 0 || t.files.inspect(trashed.name, false, moved) != 0) moved = expected;
    if (step.left->matches(moved)) {
        logStep(OperationLog::kTrashed, step.path, trashed.path, {}, FileStamp::Of(moved), &trashed);
        if (into != nullptr) *into = trashed;
        return true;
    }
    if (t.files.rename(trashed.name, folder, parts.name) == 0) {
        t.info.removeFileOrLink(trashed.infoName);
        stays(step, Tr("wurde gerade eben geändert"));
    } else {
        logStep(OperationLog::kTrashed, step.path, trashed.path, {}, FileStamp::Of(moved), &trashed);
        stays(step, Tr("wurde gerade eben geändert und liegt jetzt im Papierkorb (") + Quoted(trashed.path) + ")");
    }
    return false;
}

// Brings the file in the trash back to its path, which must be free.
bool RunUndo::bringBack(UndoStep& step) {
    RootedPath rooted;
    locate(step.path, rooted);
    const PathParts parts = PathParts::Of(rooted);
    FolderHandle folder;
    if (const int error = openFolder(rooted, true, folder)) {
        stays(step, Tr("lässt sich nicht zurückholen: ") + SystemErrorText(error));
        return false;
    }
    const TrashFolders& t = trashFolders(step.trash);
    const int error = t.files.rename(step.trashName, folder, parts.name);
    bool copied = false;
    if (error == EXDEV) {
        if (!copyBack(step, t.files, folder, parts.name, copied)) return false;
    } else if (error == EEXIST) {
        stays(step, Tr("an ihrer Stelle steht eine Datei, die der Lauf nicht gemacht hat; sie bleibt im Papierkorb (") +
                        Quoted(step.trashPath()) + ")");
        return false;
    } else if (error != 0) {
        stays(step, Tr("lässt sich nicht aus dem Papierkorb zurückholen: ") + SystemErrorText(error));
        return false;
    }
    // A copy whose original could not leave the trash keeps its record there
    // (a file in the trash without one is shown nowhere).
    if (error != EXDEV || copied) t.info.removeFileOrLink(step.trashName + ".trashinfo");
    step.state = UndoStep::State::Done;
    logStep(OperationLog::kRestored, step.trashPath(), step.path, StampOf(folder, parts.name), {});
    return true;
}

// Where the trash lies on another file system than the path now: a copy with
// the file's metadata, then the one in the trash goes (`removed` says whether
// it did). False, with the one in the trash untouched, when the copy did not
// take its place.
bool RunUndo::copyBack(UndoStep& step, const FolderHandle& from, const FolderHandle& folder, std::string_view name,
                       bool& removed) {
    std::unique_ptr<FileTransfer> transfer = FileTransfer::Between(true, folder.native() >= 0);
    NodeInfo source;
    int error = transfer ? transfer->openSource(from, step.trashName, source) : EXDEV;
    if (error == 0) error = transfer->createTemporary(folder, name);
    for (bool finished = false; error == 0 && !finished;) {
        uint64_t copied = 0;
        error = transfer->copySome(uint64_t(64) << 20, copied, finished);
    }
    if (error == 0) error = transfer->seal();
    if (error == 0) {
        std::vector<int> errors;
        FileTransfer* const sealed[] = {transfer.get()};
        FileTransfer::FlushSealed(sealed, errors);
        error = errors.empty() ? 0 : errors[0];
    }
    if (error == 0) error = transfer->publish(NodeInfo{});
    if (error != 0) {
        stays(step, error == kDestinationChanged
                        ? Tr("an ihrer Stelle steht eine Datei, die der Lauf nicht gemacht hat; sie bleibt im Papierkorb (") +
                              Quoted(step.trashPath()) + ")"
                        : Tr("lässt sich nicht aus dem Papierkorb zurückkopieren: ") + SystemErrorText(error));
        return false;
    }
    removed = from.removeFileOrLink(step.trashName) == 0;
    return true;
}

// Opens the folder of path below its root; with create, folders missing on
// the way are made (and written to the log).
int RunUndo::openFolder(const RootedPath& path, bool create, FolderHandle& folder) {
    const PathParts parts = PathParts::Of(path);
    const FolderHandle* root = nullptr;
    if (const int error = access_.open(parts.root, root)) return error;
    const int error = root->openBeneath(parts.folder, folder);
    if (error != ENOENT || !create) return error;
    if (const int e = root->openBeneath({}, folder)) return e;
    for (size_t pos = 0; pos < parts.folder.size();) {
        size_t next = parts.folder.find('/', pos);
        if (next == std::string_view::npos) next = parts.folder.size();
        FolderHandle child;
        bool created = false;
        if (const int e = folder.openChild(parts.folder.substr(pos, next - pos), true, child, &created)) return e;
        if (created) {
            const std::string made(parts.fullFolder.substr(0, parts.fullFolder.size() - (parts.folder.size() - next)));
            logStep(OperationLog::kFolderMade, {}, made, StampOf(folder, parts.folder.substr(pos, next - pos)), {});
        }
        folder = std::move(child);
        pos = next + 1;
    }
    return 0;
}

void RunUndo::logStep(std::string_view action, std::string_view source, std::string_view destination,
                      const std::optional<FileStamp>& after, const std::optional<FileStamp>& before,
                      const TrashedFile* trashed, std::string_view result) {
    if (log_ == nullptr) return;
    const bool written = log_->write({action, source, destination, {}, {},
                                      result.empty() ? OperationLog::kOk : result,
                                      trashed ? std::string_view(trashed->base) : std::string_view(),
                                      trashed ? std::string_view(trashed->name) : std::string_view(), after, before});
    if (!written && ui_ != nullptr)
        if (const std::string notice = log_->failureNotice(); !notice.empty()) ui_->notify(notice);
}

}  // namespace kirvo
