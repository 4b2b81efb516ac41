#include "sync/sync_plan_summary.h"

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_set>

#include "platform/translation.h"
#include "platform/value_text.h"
#include "sync/sync_session.h"

namespace kirvo {
namespace {

uint64_t N(size_t n) { return static_cast<uint64_t>(n); }

std::string Relative(const RootedPath& path) { return std::string(path.relative()); }

SyncPlanSummary::Group PartOf(SyncPlanSummary::Part part, bool declinable) {
    SyncPlanSummary::Group group;
    group.part = part;
    group.declinable = declinable;
    return group;
}

// The folders made on a side: those the work makes, and the parents of the
// copies into it that the comparison did not find there and no rename of a
// folder brings; parents first.
std::vector<std::string> FoldersMade(const std::vector<RootedPath>& made, const CopyList& copies,
                                     const std::vector<MovePair>& moves, const std::deque<std::string>* found) {
    std::set<std::string> folders;  // ending in '/'
    for (const RootedPath& path : made) folders.insert(Relative(path) + '/');
    if (found != nullptr) {
        std::vector<std::string> renamedTo;
        for (const MovePair& move : moves)
            if (move.folder) renamedTo.push_back(Relative(move.to) + '/');
        const std::unordered_set<std::string_view> there(found->begin(), found->end());
        const std::unordered_set<std::string_view> renamed(renamedTo.begin(), renamedTo.end());
        for (const CopyPair& copy : copies.pairs) {
            const std::string_view to = copy.to.relative();
            for (size_t slash = to.find('/'); slash != std::string_view::npos; slash = to.find('/', slash + 1)) {
                const std::string_view folder = to.substr(0, slash + 1);
                if (renamed.contains(folder)) break;  // it comes with what lies in it
                if (!there.contains(folder)) folders.emplace(folder);
            }
        }
    }
    std::vector<std::string> ordered;
    for (const std::string& folder : folders) ordered.push_back(folder.substr(0, folder.size() - 1));
    const auto depth = [](const std::string& path) { return std::count(path.begin(), path.end(), '/'); };
    std::stable_sort(ordered.begin(), ordered.end(),
                     [&](const std::string& a, const std::string& b) { return depth(a) < depth(b); });
    return ordered;
}

}  // namespace

SyncPlanSummary::SyncPlanSummary(const SyncWork& work, bool toTrash, const Known& known) {
    for (const bool toTarget : {true, false}) {
        const CopyList& copies = toTarget ? work.toTarget : work.toSource;
        if (copies.empty()) continue;
        Group group = PartOf(toTarget ? Part::ToTarget : Part::ToSource, true);
        group.text = SyncSession::CopyQuestion(toTarget, copies.count());
        int32_t replaced = 0;
        for (const CopyPair& copy : copies.pairs) {
            group.files.push_back(Relative(copy.from));
            group.bytes += copy.listedFrom.size;
            replaced += copy.listedTo.state == ListedFile::State::Present;
        }
        group.count = copies.count();
        const int32_t fresh = group.count - replaced;
        if (fresh > 0) group.detail = Format(Tr("%d neu"), fresh);
        if (replaced > 0)
            group.detail += (group.detail.empty() ? "" : ", ") + Format(TrN("%d ersetzt", "%d ersetzt", N(replaced)), replaced);
        group.detail += ", " + SizeText(static_cast<double>(group.bytes));
        groups_.push_back(std::move(group));
    }
    for (const bool inSource : {true, false}) {
        const std::vector<MovePair>& moves = inSource ? work.moveInSource : work.moveInTarget;
        if (moves.empty()) continue;
        Group group = PartOf(inSource ? Part::MovesInSource : Part::MovesInTarget, true);
        group.count = static_cast<int32_t>(moves.size());
        group.text = Format(inSource ? TrN("Es wird %d Datei in der Quelle umbenannt.",
                                           "Es werden %d Dateien in der Quelle umbenannt.", N(moves.size()))
                                     : TrN("Es wird %d Datei im Ziel umbenannt.", "Es werden %d Dateien im Ziel umbenannt.",
                                           N(moves.size())),
                            group.count);
        for (const MovePair& move : moves) group.files.push_back(Relative(move.from) + " → " + Relative(move.to));
        groups_.push_back(std::move(group));
    }
    for (const bool inSource : {true, false}) {
        const std::vector<ListedPath>& deletions = inSource ? work.deleteInSource : work.deleteInTarget;
        if (deletions.empty()) continue;
        Group group = PartOf(inSource ? Part::DeleteInSource : Part::DeleteInTarget, false);
        group.count = static_cast<int32_t>(deletions.size());
        const uint64_t n = N(deletions.size());
        if (toTrash) {
            group.text = Format(inSource ? TrN("%d Datei der Quelle kommt in den Papierkorb.",
                                               "%d Dateien der Quelle kommen in den Papierkorb.", n)
                                         : TrN("%d Datei des Ziels kommt in den Papierkorb.",
                                               "%d Dateien des Ziels kommen in den Papierkorb.", n),
                                group.count);
        } else {
            group.text = Format(inSource ? TrN("%d Datei der Quelle wird endgültig gelöscht.",
                                               "%d Dateien der Quelle werden endgültig gelöscht.", n)
                                         : TrN("%d Datei des Ziels wird endgültig gelöscht.",
                                               "%d Dateien des Ziels werden endgültig gelöscht.", n),
                                group.count);
        }
        for (const ListedPath& path : deletions) {
            group.files.push_back(Relative(path.path));
            group.bytes += path.listed.size;
        }
        group.detail = SizeText(static_cast<double>(group.bytes));
        groups_.push_back(std::move(group));
    }
    for (const bool inSource : {true, false}) {
        const std::vector<std::string> made = FoldersMade(inSource ? work.newFoldersInSource : work.newFoldersInTarget,
                                                         inSource ? work.toSource : work.toTarget,
                                                         inSource ? work.moveInSource : work.moveInTarget,
                                                         known.folders[inSource ? 0 : 1]);
        const std::vector<RootedPath>& removed = inSource ? work.foldersInSource : work.foldersInTarget;
        if (made.empty() && removed.empty()) continue;
        Group group = PartOf(inSource ? Part::FoldersInSource : Part::FoldersInTarget, false);
        group.count = static_cast<int32_t>(made.size() + removed.size());
        const std::string side = inSource ? Tr("In der Quelle") : Tr("Im Ziel");
        std::string what;
        if (!made.empty()) what = Format(TrN("%d Ordner wird angelegt", "%d Ordner werden angelegt", N(made.size())), made.size());
        if (!removed.empty())
            what += (what.empty() ? "" : Tr(" und ")) +
                    Format(TrN("%d leerer Ordner wird entfernt", "%d leere Ordner werden entfernt", N(removed.size())),
                           removed.size());
        // TRANSLATORS: "Im Ziel: 2 Ordner werden angelegt."
        group.text = Format(Tr("%s: %s."), side, what);
        for (const std::string& path : made) group.files.push_back("+ " + path);
        for (const RootedPath& path : removed) group.files.push_back("− " + Relative(path));
        groups_.push_back(std::move(group));
    }
    if (!known.conflicts.empty()) {
        Group group = PartOf(Part::Conflicts, false);
        group.count = static_cast<int32_t>(known.conflicts.size());
        group.text = Format(TrN("%d Konflikt bleibt, wie er ist.", "%d Konflikte bleiben, wie sie sind.",
                                N(known.conflicts.size())),
                            group.count);
        group.files = known.conflicts;
        groups_.push_back(std::move(group));
    }
}

SyncPlanSummary::SyncPlanSummary(const SyncWork& work, bool toTrash) : SyncPlanSummary(work, toTrash, Known{}) {}

bool SyncPlanSummary::empty() const {
    return std::all_of(groups_.begin(), groups_.end(), [](const Group& g) { return g.part == Part::Conflicts; });
}

bool SyncPlanSummary::accepted(Part part) const {
    return std::any_of(groups_.begin(), groups_.end(), [part](const Group& g) { return g.part == part && g.accepted; });
}

std::string SyncPlanSummary::Text() const {
    std::string text;
    for (const Group& group : groups_) {
        if (!text.empty()) text += '\n';
        text += group.text;
        if (!group.detail.empty()) text += " (" + group.detail + ")";
    }
    return text;
}

std::string SyncPlanSummary::Totals() const {
    int32_t files = 0;
    uint64_t bytes = 0;
    for (const Group& group : groups_) {
        if (group.part == Part::ToTarget || group.part == Part::ToSource) {
            files += group.count;
            bytes += group.bytes;
        }
    }
    return Format(TrN("%d Datei zu kopieren, %s", "%d Dateien zu kopieren, %s", N(static_cast<size_t>(files))), files,
                  SizeText(static_cast<double>(bytes)));
}

}  // namespace kirvo
