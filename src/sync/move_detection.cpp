#include "sync/move_detection.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "engine/text_compare.h"

namespace kirvo {
namespace {

constexpr uint32_t kAmbiguous = UINT32_MAX - 1;
constexpr int64_t kMirrorTimeWindowNs = 2'000'000'000;  // FAT keeps times to 2 s
constexpr int kMaxContentChecks = 8;                    // per new file: bounds the reading

struct Identity {
    uint64_t device;
    uint64_t inode;
    bool operator==(const Identity&) const = default;
};
struct IdentityHash {
    size_t operator()(const Identity& id) const { return std::hash<uint64_t>()(id.inode * 31 + id.device); }
};

SyncAction MoveOn(SyncSide side) {
    return side == SyncSide::Source ? SyncAction::MoveInSource : SyncAction::MoveInTarget;
}

// The folders `side` has, ignoring case: a file is never renamed onto one.
std::unordered_set<std::string> FoldersOn(SyncSide side, std::span<const ObservedPath> paths) {
    std::unordered_set<std::string> folders;
    for (const ObservedPath& p : paths)
        if (p.isFolder() && p.on(side).kind != ObservedFile::Kind::Absent) {
            std::string path = Folded(p.pathOn(side));
            path.pop_back();
            folders.insert(std::move(path));
        }
    return folders;
}

void Pair(std::span<PathDecision> decisions, uint32_t from, uint32_t to, SyncSide moveOn, SyncSide reasonSide,
          SyncReason atNew, SyncReason atOld) {
    decisions[to].planned = {MoveOn(moveOn), atNew, reasonSide, from};
    decisions[from].planned = {SyncAction::Nothing, atOld, reasonSide, to};
}

}  // namespace

void DetectRecordedMoves(SyncSide moved, std::span<const ObservedPath> paths, const SyncState& state,
                         std::span<const uint32_t> recordOf, std::span<PathDecision> decisions) {
    const SyncSide other = Other(moved);
    std::unordered_map<Identity, uint32_t, IdentityHash> origins;  // recorded identity -> old path
    for (uint32_t i = 0; i < paths.size(); ++i) {
        if (recordOf[i] == SyncState::kNone || decisions[i].planned.action == SyncAction::Unknown) continue;
        const FileRecord& record = state.record(recordOf[i]);
        const ObservedFile& there = paths[i].on(other);
        if (paths[i].on(moved).kind != ObservedFile::Kind::Absent || record.on(moved).inode == 0 || !there.present() ||
            ChangedSince(there, record.on(other), record.legacy))
            continue;
        const auto [it, added] = origins.try_emplace({record.on(moved).device, record.on(moved).inode}, i);
        if (!added) it->second = kAmbiguous;
    }
    if (origins.empty()) return;
    std::unordered_map<Identity, uint32_t, IdentityHash> arrivals;  // identity -> the one present file with it
    for (uint32_t j = 0; j < paths.size(); ++j) {
        const ObservedFile& file = paths[j].on(moved);
        if (!file.present() || !file.hasIdentity()) continue;
        const Identity id{file.device, file.inode};
        if (!origins.contains(id)) continue;
        const auto [it, added] = arrivals.try_emplace(id, j);
        if (!added) it->second = kAmbiguous;  // a hard link: two names, no move
    }
    const std::unordered_set<std::string> blocked = FoldersOn(other, paths);
    for (const auto& [id, from] : origins) {
        const auto arrival = arrivals.find(id);
        if (from == kAmbiguous || arrival == arrivals.end() || arrival->second == kAmbiguous) continue;
        const uint32_t to = arrival->second;
        const FileRecord& record = state.record(recordOf[from]);
        // A rename keeps size and time; its change time moves.
        ObservedFile now = paths[to].on(moved);
        now.ctimeNs = 0;
        if (recordOf[to] != SyncState::kNone || paths[to].on(other).kind != ObservedFile::Kind::Absent ||
            decisions[to].planned.action == SyncAction::Unknown || ChangedSince(now, record.on(moved), record.legacy) ||
            blocked.contains(Folded(paths[to].relativePath())))
            continue;
        Pair(decisions, from, to, other, moved, SyncReason::Moved, SyncReason::MovedAway);
    }
}

void DetectContentMoves(const ReconcileInput& input, std::span<PathDecision> decisions) {
    if (!input.sameContent) return;
    const SyncSide from = input.mirrorFrom;
    const SyncSide to = Other(from);
    const auto onlyOn = [&](uint32_t i, SyncSide side) {
        const ObservedPath& p = input.paths[i];
        return decisions[i].planned.action != SyncAction::Unknown && p.on(side).present() && p.on(side).size > 0 &&
               p.on(Other(side)).kind == ObservedFile::Kind::Absent;
    };
    std::vector<uint32_t> leaving;  // only on the "to" side, by size and time
    for (uint32_t i = 0; i < input.paths.size(); ++i)
        if (onlyOn(i, to)) leaving.push_back(i);
    if (leaving.empty()) return;
    const auto key = [&](uint32_t i) {
        const ObservedFile& f = input.paths[i].on(to);
        return std::pair(f.size, f.mtimeNs);
    };
    std::sort(leaving.begin(), leaving.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
    std::vector<bool> taken(leaving.size(), false);
    const std::unordered_set<std::string> blocked = FoldersOn(to, input.paths);
    for (uint32_t j = 0; j < input.paths.size(); ++j) {
        if (!onlyOn(j, from) || blocked.contains(Folded(input.paths[j].relativePath()))) continue;
        const ObservedFile& arriving = input.paths[j].on(from);
        auto candidate = std::lower_bound(leaving.begin(), leaving.end(),
                                          std::pair(arriving.size, arriving.mtimeNs - kMirrorTimeWindowNs),
                                          [&](uint32_t i, const auto& k) { return key(i) < k; });
        int checks = 0;
        for (; candidate != leaving.end() && checks < kMaxContentChecks; ++candidate) {
            const auto [size, mtime] = key(*candidate);
            if (size != arriving.size || mtime > arriving.mtimeNs + kMirrorTimeWindowNs) break;
            const size_t slot = static_cast<size_t>(candidate - leaving.begin());
            if (taken[slot]) continue;
            ++checks;
            if (input.sameContent(j, *candidate)) {
                taken[slot] = true;
                Pair(decisions, *candidate, j, to, to, SyncReason::MirrorMoved, SyncReason::MirrorMovedAway);
                break;
            }
        }
    }
}

}  // namespace kirvo
