#include "sync/case_names.h"

#include <string>
#include <vector>

#include "engine/text_compare.h"

namespace kirvo {
namespace {

// The last name of a path, a folder's without its '/'.
std::string_view LastName(std::string_view path) {
    if (!path.empty() && path.back() == '/') path.remove_suffix(1);
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

SyncAction MoveIn(SyncSide side) { return side == SyncSide::Source ? SyncAction::MoveInSource : SyncAction::MoveInTarget; }

bool Acting(SyncAction a) { return a != SyncAction::Nothing && a != SyncAction::Unknown && a != SyncAction::Conflict; }

// The side whose name gives way, or none.
std::optional<SyncSide> GivesWay(const ReconcileInput& input, std::span<const uint32_t> recordOf, uint32_t i,
                                 bool& onBoth) {
    onBoth = false;
    if (input.mode == SyncMode::Mirror) return Other(input.mirrorFrom);
    if (input.state == nullptr || i >= recordOf.size() || recordOf[i] == SyncState::kNone) return std::nullopt;
    const SyncState& state = *input.state;
    const uint32_t r = recordOf[i];
    if (state.record(r).legacy) return std::nullopt;
    const ObservedPath& p = input.paths[i];
    const bool source = LastName(p.pathOn(SyncSide::Source)) != LastName(state.pathOn(SyncSide::Source, r));
    const bool target = LastName(p.pathOn(SyncSide::Target)) != LastName(state.pathOn(SyncSide::Target, r));
    onBoth = source && target;
    if (source == target) return std::nullopt;
    return source ? SyncSide::Target : SyncSide::Source;
}

void Rename(const ReconcileInput& input, std::span<const uint32_t> recordOf, uint32_t i, PathDecision& decision) {
    const ObservedPath& p = input.paths[i];
    if (LastName(p.pathOn(SyncSide::Source)) == LastName(p.pathOn(SyncSide::Target))) return;  // the folders differ
    SyncDecision& d = decision.planned;
    bool onBoth = false;
    const std::optional<SyncSide> side = GivesWay(input, recordOf, i, onBoth);
    if (onBoth && d.action != SyncAction::Unknown) {
        d = {SyncAction::Conflict, SyncReason::CaseRenamedOnBoth, SyncSide::Source};
        return;
    }
    if (!side) return;
    const SyncReason why = input.mode == SyncMode::Mirror ? SyncReason::MirrorCase : SyncReason::CaseRenamed;
    if (d.action == SyncAction::Nothing)
        d = {MoveIn(*side), why, input.mode == SyncMode::Mirror ? *side : Other(*side), i};
    else if (d.action == SyncAction::CopyToSource || d.action == SyncAction::CopyToTarget)
        d.renameIn = side;
}

}  // namespace

void DecideCaseNames(const ReconcileInput& input, std::span<const uint32_t> recordOf,
                     std::span<PathDecision> decisions) {
    const auto& paths = input.paths;
    for (uint32_t i = 0; i < paths.size(); ++i)
        if (!paths[i].targetName.empty() && paths[i].source.present() && paths[i].target.present())
            Rename(input, recordOf, i, decisions[i]);

    // Twins: one side's names equal ignoring case, not both matched byte for
    // byte. Such paths come next to each other (the comparison's order).
    std::vector<std::pair<uint32_t, uint32_t>> twins;  // (path, the other twin)
    const auto nameOf = [&](uint32_t i, SyncSide side) {
        const ObservedPath& p = paths[i];
        const bool own = side == SyncSide::Target && !p.targetName.empty();
        return std::pair(own ? p.targetFolder : p.folder, own ? p.targetName : p.name);
    };
    for (const SyncSide side : {SyncSide::Source, SyncSide::Target}) {
        uint32_t last = UINT32_MAX;  // the last path present on this side
        for (uint32_t i = 0; i < paths.size(); ++i) {
            if (!paths[i].on(side).present()) continue;
            if (last != UINT32_MAX) {
                const auto [folder, name] = nameOf(i, side);
                const auto [lastFolder, lastName] = nameOf(last, side);
                if (EqualIgnoreCase(name, lastName) && (folder.data() == lastFolder.data() ||
                                                        EqualIgnoreCase(folder, lastFolder)))
                    for (const uint32_t k : {last, i}) {
                        const ObservedPath& p = paths[k];
                        const bool exact = p.source.present() && p.target.present() && p.targetName.empty();
                        if (!exact) twins.emplace_back(k, k == i ? last : i);
                    }
            }
            last = i;
        }
    }
    if (twins.empty()) return;
    for (const auto& [k, other] : twins) {
        SyncDecision& d = decisions[k].planned;
        if (d.action == SyncAction::Unknown) continue;
        const SyncSide side = paths[k].source.present() ? SyncSide::Source : SyncSide::Target;
        d = {SyncAction::Conflict, SyncReason::CaseTwins, side, other};
        if (!paths[k].isFolder()) continue;
        // Nothing is carried into or out of such a folder either.
        const std::string below = Folded(paths[k].pathOn(side));
        for (uint32_t j = 0; j < paths.size(); ++j) {
            SyncDecision& inner = decisions[j].planned;
            if (j != k && Acting(inner.action) && Folded(paths[j].relativePath()).starts_with(below))
                inner = {SyncAction::Conflict, SyncReason::CaseTwins, side, other};
        }
    }
}

}  // namespace kirvo
