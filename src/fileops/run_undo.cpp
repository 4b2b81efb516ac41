// Undo of a run: the steps its log lines call for, and a look at each.
#include "fileops/run_undo.h"

#include <algorithm>
#include <cerrno>
#include <set>

#include "fileops/operation_log.h"
#include "platform/root.h"
#include "platform/file_node.h"
#include "platform/translation.h"

namespace kirvo {
namespace {

constexpr std::string_view kChanged = TrNoop("seit dem Lauf geändert");

// TRANSLATORS: the quotation marks around a name in a message.
std::string Quoted(std::string_view path) { return Format(Tr("„%s“"), path); }

}  // namespace

RunUndo::RunUndo(LoggedRun run, const std::vector<LoggedLine>& lines, RootAccess& roots)
    : run_(std::move(run)), access_(roots) {
    for (const std::string* root : {&run_.sourceRoot, &run_.targetRoot})
        if (!root->empty()) roots_.push_back(*root);
    // A root the run made (or removed) may be missing; any other missing root
    // is out of reach (a stick not plugged in), which is no sign of its files being gone.
    for (const LoggedLine& line : lines) {
        if (line.action != OperationLog::kFolderMade && line.action != OperationLog::kFolderRemoved) continue;
        const std::string& folder = line.action == OperationLog::kFolderMade ? line.destination : line.source;
        for (const std::string& root : roots_)
            if (root == folder || root.compare(0, folder.size() + 1, folder + "/") == 0) ownRoots_.insert(root);
    }
    // The version a copy replaced has a line of its own before the copy's; the
    // copy's line says all there is to know, so that one is left out.
    std::set<std::pair<std::string, std::string>> replaced;
    for (const LoggedLine& line : lines)
        if (line.action == OperationLog::kReplaced && line.ok() && !line.trashName.empty())
            replaced.emplace(line.trash, line.trashName);
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (it->action == OperationLog::kTrashed && replaced.count({it->trash, it->trashName}) != 0) continue;
        addStep(*it);
        // An undo that brought a replaced version back put the copy into the
        // trash just before: taking both back is one replacement again.
        const auto previous = std::next(it);
        if (it->action == OperationLog::kRestored && it->ok() && it->after && previous != lines.rend() &&
            previous->action == OperationLog::kTrashed && previous->ok() && previous->source == it->destination &&
            previous->before && !previous->trashName.empty()) {
            UndoStep& step = steps_.back();
            step.kind = UndoStep::Kind::PutBackReplaced;
            step.kept = previous->before;
            step.trash = previous->trash;
            step.trashName = previous->trashName;
            it = previous;
        }
    }
}

RunUndo::~RunUndo() = default;

void RunUndo::addStep(const LoggedLine& line) {
    if (!line.ok()) return;  // skipped or failed: nothing happened
    const std::string_view action = line.action;
    UndoStep step;
    step.left = line.after;
    step.kept = line.before;
    step.trash = line.trash;
    step.trashName = line.trashName;
    const bool kept = !line.trash.empty() && !line.trashName.empty() && line.before.has_value();
    const bool remote = Root::NamesRemote(line.action == OperationLog::kDeleted || line.action == OperationLog::kTrashed
                                         ? line.source
                                         : line.destination);
    if (action == OperationLog::kCopied || action == OperationLog::kRestored) {
        step.kind = UndoStep::Kind::RemoveCopy;
        step.path = line.destination;
        if (!line.after) stays(step, Tr("es ist nicht aufgezeichnet, wie die Datei nach dem Lauf aussah"));
    } else if (action == OperationLog::kReplaced) {
        step.kind = kept ? UndoStep::Kind::PutBackReplaced : UndoStep::Kind::NotKept;
        step.path = line.destination;
        if (!kept)
            stays(step,
                  remote ? Tr("die ersetzte Fassung ist weg (auf dem entfernten Rechner gibt es keinen Papierkorb); die neue "
                           "bleibt")
                         : Tr("die ersetzte Fassung ist weg (ohne Papierkorb ersetzt); die neue bleibt"),
                  true);
        else if (!line.after)
            stays(step, Tr("es ist nicht aufgezeichnet, wie die Datei nach dem Lauf aussah"));
    } else if (action == OperationLog::kTrashed) {
        step.kind = kept ? UndoStep::Kind::Restore : UndoStep::Kind::NotKept;
        step.path = line.source;
        if (!kept) stays(step, Tr("es ist nicht aufgezeichnet, wo im Papierkorb die Datei liegt"), true);
    } else if (action == OperationLog::kDeleted) {
        step.kind = UndoStep::Kind::NotKept;
        step.path = line.source;
        stays(step,
              remote ? Tr("endgültig gelöscht (auf dem entfernten Rechner gibt es keinen Papierkorb)")
                     : Tr("endgültig gelöscht (ohne Papierkorb)"),
              true);
    } else if (action == OperationLog::kMoved || action == OperationLog::kFolderMoved) {
        step.kind = UndoStep::Kind::MoveBack;
        step.folder = action == OperationLog::kFolderMoved;
        step.path = line.source;
        step.from = line.destination;
        if (!line.after) stays(step, Tr("es ist nicht aufgezeichnet, wie die Datei nach dem Lauf aussah"));
    } else if (action == OperationLog::kFolderMade) {
        step.kind = UndoStep::Kind::RemoveFolder;
        step.path = line.destination;
        if (!line.after) stays(step, Tr("es ist nicht aufgezeichnet, welcher Ordner es war"));
    } else if (action == OperationLog::kFolderRemoved) {
        step.kind = UndoStep::Kind::MakeFolder;
        step.path = line.source;
    } else {
        return;
    }
    steps_.push_back(std::move(step));
}

int32_t RunUndo::count(UndoStep::State state) const {
    return static_cast<int32_t>(
        std::count_if(steps_.begin(), steps_.end(), [&](const UndoStep& s) { return s.state == state; }));
}

int32_t RunUndo::count(UndoStep::Kind kind) const {
    return static_cast<int32_t>(std::count_if(steps_.begin(), steps_.end(), [&](const UndoStep& s) {
        return s.kind == kind && s.state == UndoStep::State::ToDo;
    }));
}

bool RunUndo::impossible() const {
    return count(UndoStep::State::ToDo) == 0 &&
           std::any_of(steps_.begin(), steps_.end(), [](const UndoStep& s) { return s.state == UndoStep::State::Stays && s.gone; });
}

void RunUndo::stays(UndoStep& step, std::string why, bool gone) {
    step.state = UndoStep::State::Stays;
    step.why = std::move(why);
    step.gone = gone;
}

// The path below one of the run's roots. A folder at or above a root (made
// because the root was missing) is reached from the folder above it.
bool RunUndo::locate(const std::string& path, RootedPath& out) const {
    size_t best = std::string::npos;
    for (size_t i = 0; i < roots_.size(); ++i) {
        const std::string& root = roots_[i];
        const std::string prefix = root == "/" ? root : root + "/";
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
            (best == std::string::npos || root.size() > roots_[best].size()))
            best = i;
    }
    if (best != std::string::npos) {
        const std::string& root = roots_[best];
        out = RootedPath::Join(root, std::string_view(path).substr(root == "/" ? 1 : root.size() + 1));
        return true;
    }
    for (const std::string& root : roots_) {
        if (root != path && root.compare(0, path.size() + 1, path + "/") != 0) continue;
        const size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash + 1 == path.size()) return false;
        out = RootedPath::Join(slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1));
        return true;
    }
    return false;
}

bool RunUndo::inspect(const std::string& path, NodeInfo& info, std::string& why) {
    info = NodeInfo{};
    if (const auto planned = planned_.find(path); planned != planned_.end()) {
        info = planned->second;
        return true;
    }
    RootedPath rooted;
    if (!locate(path, rooted)) {
        why = Tr("liegt in keinem der beiden Ordner des Laufs");
        return false;
    }
    const PathParts parts = PathParts::Of(rooted);
    FolderHandle folder;
    const FileAttempt opened = access_.openFolderOf(rooted, parts, Tr("lässt sich nicht untersuchen"), folder, false);
    if (opened.kind != FileAttempt::Done && opened.code == ENOENT) {
        std::string_view root = rooted.root();
        if (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
        if (ownRoots_.count(std::string(root)) != 0 || std::find(roots_.begin(), roots_.end(), root) == roots_.end())
            return true;  // its root is gone, and so is the file
        why = Tr("der Ordner ") + Quoted(root) + Tr(" ist nicht da (nicht eingehängt?)");
        return false;
    }
    if (opened.kind != FileAttempt::Done) {
        why = opened.reason;
        return false;
    }
    if (!folder.valid()) return true;  // its folder is gone: so is the file
    if (const int error = folder.inspect(parts.name, false, info)) {
        why = Tr("lässt sich nicht untersuchen: ") + SystemErrorText(error);
        return false;
    }
    return true;
}

RunUndo::TrashFolders& RunUndo::trashFolders(const std::string& base) {
    auto [it, fresh] = trashFolders_.try_emplace(base);
    if (fresh) {
        it->second.error = FolderHandle::OpenRoot(base + "/files", it->second.files);
        if (it->second.error == 0) it->second.error = FolderHandle::OpenRoot(base + "/info", it->second.info);
    }
    return it->second;
}

// The file in the trash, as it is now (Missing when it is gone).
bool RunUndo::inspectKept(const UndoStep& step, NodeInfo& info, std::string& why) {
    info = NodeInfo{};
    if (step.trashName.find('/') != std::string::npos || step.trashName == "." || step.trashName == ".." ||
        step.trash.empty() || step.trash[0] != '/') {
        why = Tr("der Eintrag im Papierkorb ist unbrauchbar");
        return false;
    }
    const TrashFolders& folders = trashFolders(step.trash);
    if (folders.error == ENOENT) return true;
    if (folders.error != 0) {
        why = Tr("der Papierkorb ") + Quoted(step.trash) + Tr(" lässt sich nicht öffnen: ") + SystemErrorText(folders.error);
        return false;
    }
    if (const int error = folders.files.inspect(step.trashName, false, info)) {
        why = Tr("der Papierkorb ") + Quoted(step.trash) + Tr(" lässt sich nicht lesen: ") + SystemErrorText(error);
        return false;
    }
    return true;
}

// Each step is looked at as the steps before it will have left things: a
// file that goes makes room for one that comes back.
void RunUndo::look() {
    planned_.clear();
    const auto as = [](const FileStamp& stamp, NodeKind kind) {
        NodeInfo info;
        info.kind = kind;
        info.device = stamp.device;
        info.inode = stamp.inode;
        info.size = stamp.size;
        info.modifiedSeconds = stamp.seconds;
        info.modifiedNanoseconds = stamp.nanoseconds;
        return info;
    };
    for (UndoStep& step : steps_) {
        if (step.state == UndoStep::State::Stays) continue;
        step.state = UndoStep::State::ToDo;
        lookAt(step);
        if (step.state != UndoStep::State::ToDo) continue;
        switch (step.kind) {
        case UndoStep::Kind::RemoveCopy:
        case UndoStep::Kind::RemoveFolder: planned_[step.path] = NodeInfo{}; break;
        case UndoStep::Kind::PutBackReplaced:
        case UndoStep::Kind::Restore: planned_[step.path] = as(*step.kept, NodeKind::File); break;
        case UndoStep::Kind::MoveBack:
            planned_[step.from] = NodeInfo{};
            planned_[step.path] = as(*step.left, step.folder ? NodeKind::Folder : NodeKind::File);
            break;
        case UndoStep::Kind::MakeFolder: planned_[step.path] = as(FileStamp{}, NodeKind::Folder); break;
        case UndoStep::Kind::NotKept: break;
        }
    }
    planned_.clear();
}

// Settles whether the step is to be done, done already, or stays (and why).
void RunUndo::lookAt(UndoStep& step) {
    NodeInfo now;
    std::string why;
    if (!inspect(step.kind == UndoStep::Kind::MoveBack ? step.from : step.path, now, why)) return stays(step, why);
    switch (step.kind) {
    case UndoStep::Kind::RemoveCopy:
        if (now.kind == NodeKind::Missing) step.state = UndoStep::State::Done;
        else if (!step.left->matches(now)) stays(step, std::string(Tr(kChanged)));
        return;
    case UndoStep::Kind::RemoveFolder:
        if (now.kind == NodeKind::Missing) step.state = UndoStep::State::Done;
        else if (!step.left->matchesFolder(now)) stays(step, Tr("ist nicht mehr der Ordner, den der Lauf angelegt hat"));
        return;
    case UndoStep::Kind::MakeFolder:
        if (now.kind == NodeKind::Folder) step.state = UndoStep::State::Done;
        else if (now.kind != NodeKind::Missing) stays(step, Tr("an seiner Stelle steht jetzt etwas anderes"));
        return;
    case UndoStep::Kind::MoveBack: {
        NodeInfo back;
        if (!inspect(step.path, back, why)) return stays(step, why);
        const auto same = [&](const NodeInfo& node) {
            return step.folder ? step.left->matchesFolder(node) : step.left->matches(node);
        };
        // A folder renamed in letter case may be found under either name (a file system that ignores case).
        if (step.folder && same(now) && same(back) && now.inode == back.inode) {
            if (step.from == step.path) step.state = UndoStep::State::Done;
            return;
        }
        if (now.kind == NodeKind::Missing && same(back)) step.state = UndoStep::State::Done;
        else if (!same(now)) stays(step, Tr("an ihrem neuen Platz ") + Quoted(step.from) + " " + std::string(Tr(kChanged)));
        else if (back.kind != NodeKind::Missing)
            stays(step, Tr("an ihrem alten Platz steht jetzt eine Datei, die der Lauf nicht gemacht hat"));
        return;
    }
    case UndoStep::Kind::Restore:
    case UndoStep::Kind::PutBackReplaced: {
        NodeInfo kept;
        if (!inspectKept(step, kept, why)) return stays(step, why);
        const bool inTrash = step.kept->matches(kept);
        const bool back = step.kept->matches(now) && (!inTrash || kept.inode == now.inode);
        if (back) {
            step.state = UndoStep::State::Done;
        } else if (!inTrash) {
            stays(step,
                  (kept.kind == NodeKind::Missing ? Tr("nicht mehr im Papierkorb (") + Quoted(step.trashPath()) + ")"
                                                  : Tr("im Papierkorb liegt unter ") + Quoted(step.trashPath()) +
                                                        Tr(" eine andere Datei")) +
                      (step.kind == UndoStep::Kind::PutBackReplaced && now.kind != NodeKind::Missing
                           ? Tr("; die neue Fassung bleibt")
                           : ""),
                  true);
        } else if (step.kind == UndoStep::Kind::PutBackReplaced && now.kind != NodeKind::Missing &&
                   !step.left->matches(now)) {
            stays(step, std::string(Tr(kChanged)) + Tr("; die ersetzte Fassung bleibt im Papierkorb (") +
                            Quoted(step.trashPath()) + ")");
        } else if (step.kind == UndoStep::Kind::Restore && now.kind != NodeKind::Missing) {
            stays(step, Tr("an ihrer Stelle steht eine Datei, die der Lauf nicht gemacht hat; sie bleibt im Papierkorb (") +
                            Quoted(step.trashPath()) + ")");
        }
        return;
    }
    case UndoStep::Kind::NotKept: return;
    }
}

}  // namespace kirvo
