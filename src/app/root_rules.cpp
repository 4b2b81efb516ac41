#include "app/root_rules.h"

#include "fileops/nested_roots.h"
#include "platform/root_access.h"
#include "platform/snapshot/snapshot_backend.h"
#include "platform/translation.h"
#include "sync/sync_session.h"

namespace kirvo {

const char* RootRules::SideName(TreeSide side) { return side == TreeSide::Source ? Tr("Die Quelle") : Tr("Das Ziel"); }

std::string RootRules::Unusable(const Root& source, const Root& target, RunEnd& end) {
    if (std::string nested = NestedRootsMessage(source, target); !nested.empty()) {
        end = RunEnd::Unusable;
        return nested;
    }
    if (std::string snapshot = OnSnapshot(source, target, true, true); !snapshot.empty()) {
        end = RunEnd::Unusable;
        return snapshot;
    }
    for (const TreeSide side : {TreeSide::Source, TreeSide::Target}) {
        const Root& root = side == TreeSide::Source ? source : target;
        if (root.state() != Root::State::NotFolder) continue;
        end = RunEnd::Unusable;
        return Format(Tr("%s „%s“ ist kein Ordner."), SideName(side), root.text());
    }
    return {};
}

std::string RootRules::OnSnapshot(const Root& source, const Root& target, bool touchesSource, bool touchesTarget) {
    if (touchesSource && source.snapshot()) return SnapshotRefusal(source.text());
    if (touchesTarget && target.snapshot()) return SnapshotRefusal(target.text());
    return {};
}

bool RootRules::MayCopyInto(TreeSide side, Root& root, RootAccess& roots, SyncQuestions& questions, std::string& note) {
    if (root.state() != Root::State::Missing) return true;
    roots.inspect(root);
    if (root.state() != Root::State::Missing) return true;
    const std::string name = std::string(SideName(side)) + " ";
    if (!root.parentExists()) {
        note = name + root.MissingText() + Tr(" Dorthin wird nichts kopiert.");
        questions.Warn(note);
        return false;
    }
    if (questions.Confirm(SyncQuestions::Kind::MakeRoot, name + root.MissingText() + Tr(" Soll der Ordner angelegt werden?")))
        return true;
    note = Format(Tr("%s „%s“ wird nicht angelegt; dorthin wird nichts kopiert."), SideName(side), root.text());
    return false;
}

}  // namespace kirvo
