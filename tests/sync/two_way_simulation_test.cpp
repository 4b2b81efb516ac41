// Two-way runs over many rounds of random edits (some of the same size within
// the same second, which the times cannot tell), deletions, creations and
// renames on both sides, some runs cut short: no version of a file is ever
// lost, renames travel as renames, and a finished run leaves nothing to do
// but the conflicts. The trees are kept in memory; the decisions, what the
// run vouches for and the recorded state are the library's.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "sync/reconciler.h"
#include "sync/state_update.h"
#include "sync/sync_evidence.h"

namespace kirvo {
namespace {

struct Version {
    int content;
    uint64_t size;
    int64_t mtime;
    uint64_t inode;
    int64_t ctime = 0;
};
using Tree = std::map<std::string, Version>;

class World {
public:
    explicit World(unsigned seed) : rng_(seed) {}

    Tree trees[2];  // source, target
    std::set<int> trash;
    std::set<int> synced;  // the versions both trees held after the last finished run
    std::map<std::string, FileRecord> recorded;
    bool hasState = false;

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    Version Fresh() {
        clock_ += 1'000'000'000;
        return {++content_, static_cast<uint64_t>(Pick(4)), clock_, ++inode_, clock_};
    }
    // Another content of the same size, saved within the same second.
    Version Quick(const Version& v) {
        clock_ += 1'000;
        return {++content_, v.size, v.mtime + 1'000 + Pick(1000), v.inode, clock_};
    }
    int64_t Tick() { return clock_ += 1'000; }
    std::string AnyPath() { return "d" + std::to_string(Pick(3)) + "/f" + std::to_string(Pick(8)); }
    ObservedFile Observe(int side, const std::string& path) const {
        const auto it = trees[side].find(path);
        if (it == trees[side].end()) return ObservedFile::Absent();
        return ObservedFile::Present(it->second.size, it->second.mtime, side + 1, it->second.inode, it->second.ctime);
    }
    std::set<int> Contents() const {
        std::set<int> all;
        for (const Tree& t : trees)
            for (const auto& [path, v] : t) all.insert(v.content);
        return all;
    }
    // The comparison by time of both trees, to the second (as the engine's).
    void Compare(std::deque<std::string>& texts, std::vector<ObservedPath>& paths) const {
        std::set<std::string> all;
        for (const Tree& t : trees)
            for (const auto& [path, v] : t) all.insert(path);
        for (const std::string& path : all) {
            const std::string_view folder = texts.emplace_back(path.substr(0, path.find('/') + 1));
            const std::string_view name = texts.emplace_back(path.substr(path.find('/') + 1));
            const ObservedFile s = Observe(0, path), t = Observe(1, path);
            const int64_t sSecond = s.mtimeNs / 1'000'000'000, tSecond = t.mtimeNs / 1'000'000'000;
            const CompareVerdict verdict = !t.present() || (s.present() && sSecond > tSecond) ? CompareVerdict::ToTarget
                                           : !s.present() || sSecond < tSecond ? CompareVerdict::ToSource
                                                                               : CompareVerdict::Equal;
            paths.push_back({folder, name, s, t, verdict, {}});
        }
    }
    SyncState State() const {
        SyncState state;
        for (const auto& [path, record] : recorded)
            state.add(path.substr(0, path.find('/') + 1), path.substr(path.find('/') + 1), record);
        state.finish();
        return state;
    }
    // Copies over what is there (into the trash); the content it replaced, or 0.
    int Copy(int from, const std::string& path) {
        Tree& to = trees[1 - from];
        const int replaced = to.contains(path) ? to[path].content : 0;
        trash.insert(replaced);
        to[path] = trees[from][path];
        to[path].inode = ++inode_;  // written anew, renamed into place
        to[path].ctime = Tick();
        return replaced;
    }
    int Delete(int side, const std::string& path) {
        const int content = trees[side][path].content;
        trash.insert(content);
        trees[side].erase(path);
        return content;
    }

private:
    std::mt19937 rng_;
    int content_ = 0;
    int64_t clock_ = 1'700'000'000'000'000'000;
    uint64_t inode_ = 0;
};

TEST(TwoWaySimulation, NothingIsLostRenamesStayRenamesAndAFinishedRunLeavesOnlyConflicts) {
    for (unsigned seed = 1; seed <= 100; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        World w(seed);
        for (int round = 0; round < 25; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            // The user's work on both sides; pure renames of synchronised files are remembered.
            std::set<std::string> touched[2];
            std::vector<std::tuple<int, std::string, std::string>> renames;
            for (int op = w.Pick(6); op > 0; --op) {
                const int side = w.Pick(2);
                Tree& tree = w.trees[side];
                const std::string path = w.AnyPath(), other = w.AnyPath();
                const bool here = tree.contains(path);
                switch (w.Pick(5)) {
                case 0: {  // edited in place; half the time at once, keeping the size
                    if (!here) continue;
                    const Version edit = w.Pick(2) ? w.Quick(tree[path]) : w.Fresh();
                    tree[path] = {edit.content, edit.size == tree[path].size ? edit.size : tree[path].size + 1,
                                  edit.mtime, tree[path].inode, edit.ctime};
                    break;
                }
                case 1:
                    if (!here) continue;
                    tree.erase(path);
                    break;
                case 2:
                    if (here) continue;
                    tree[path] = w.Fresh();
                    break;
                case 3:  // saved by writing a new file and renaming it over the old one
                    if (!here) continue;
                    tree[path] = w.Fresh();
                    break;
                default:
                    if (!here || tree.contains(other)) continue;
                    tree[other] = tree[path];
                    tree[other].ctime = w.Tick();
                    tree.erase(path);
                    renames.emplace_back(side, path, other);
                    touched[side].insert(other);
                }
                touched[side].insert(path);
            }
            const std::set<int> before = w.Contents();
            std::deque<std::string> texts;
            std::vector<ObservedPath> paths;
            w.Compare(texts, paths);
            const SyncState state = w.State();
            ReconcileInput input;
            input.mode = SyncMode::TwoWay;
            input.paths = paths;
            input.state = w.hasState ? &state : nullptr;
            const auto sameBytes = [&](const std::vector<ObservedPath>& now) {
                return [&w, &now](uint32_t i) {
                    const std::string path = now[i].relativePath();
                    return w.trees[0].at(path).content == w.trees[1].at(path).content;
                };
            };
            input.sameBytes = sameBytes(paths);
            std::vector<PathDecision> decisions = Reconcile(input);

            std::map<std::string, size_t> at;
            for (size_t i = 0; i < paths.size(); ++i) at[paths[i].relativePath()] = i;
            for (const auto& [side, from, to] : renames) {
                const SyncSide moved = side == 0 ? SyncSide::Source : SyncSide::Target;
                const bool pure = w.hasState && w.recorded.contains(from) && !w.recorded.contains(to) &&
                                  at.contains(from) && touched[side].size() == 2 && touched[1 - side].empty() &&
                                  paths[at[from]].on(Other(moved)).present() &&
                                  !paths[at[to]].on(Other(moved)).present() &&
                                  !ChangedSince(SyncEvidence::WithoutChangeTime(paths[at[to]].on(moved)),
                                                w.recorded[from].on(moved)) &&
                                  !ChangedSince(paths[at[from]].on(Other(moved)), w.recorded[from].on(Other(moved)));
                if (pure) {
                    EXPECT_EQ(decisions[at[to]].planned.action,
                              side == 0 ? SyncAction::MoveInTarget : SyncAction::MoveInSource)
                        << from << " -> " << to;
                }
            }

            // Half the time the user settles the conflicts by choosing a side.
            const bool settle = w.Pick(2) == 0;
            for (PathDecision& d : decisions)
                if (settle && d.planned.action == SyncAction::Conflict)
                    d.chosen = w.Pick(2) ? SyncAction::CopyToTarget : SyncAction::CopyToSource;
            // A run cut short does some of its work and records nothing.
            const bool finished = w.Pick(5) != 0;
            const size_t done =
                finished ? paths.size() : static_cast<size_t>(w.Pick(static_cast<int>(paths.size()) + 1));
            // What the run vouches for, as SyncSession keeps it: equal by their bytes, copied, renamed.
            SyncEvidence evidence;
            for (size_t i = 0; i < done; ++i) {
                const std::string path = paths[i].relativePath();
                const SyncDecision& d = decisions[i].planned;
                if (decisions[i].effective() == SyncAction::Nothing && d.action == SyncAction::Nothing &&
                    (d.reason == SyncReason::SameContent || (!w.hasState && d.reason == SyncReason::Equal)))
                    evidence.add(path, paths[i].source, paths[i].target);
                int gone = 0;
                switch (decisions[i].effective()) {
                case SyncAction::CopyToTarget:
                case SyncAction::CopyToSource: {
                    const int from = decisions[i].effective() == SyncAction::CopyToTarget ? 0 : 1;
                    gone = w.Copy(from, path);
                    const ObservedFile made = SyncEvidence::WithoutChangeTime(w.Observe(1 - from, path));
                    evidence.add(path, from == 0 ? paths[i].source : made, from == 0 ? made : paths[i].target);
                    break;
                }
                case SyncAction::DeleteInTarget: gone = w.Delete(1, path); break;
                case SyncAction::DeleteInSource: gone = w.Delete(0, path); break;
                case SyncAction::MoveInTarget:
                case SyncAction::MoveInSource: {
                    Tree& tree = w.trees[decisions[i].effective() == SyncAction::MoveInTarget ? 1 : 0];
                    const std::string from = paths[decisions[i].planned.partner].relativePath();
                    ASSERT_TRUE(tree.contains(from) && !tree.contains(path)) << from << " -> " << path;
                    const uint64_t inode = tree[from].inode;
                    tree[path] = tree[from];
                    tree[path].ctime = w.Tick();
                    tree.erase(from);
                    EXPECT_EQ(tree[path].inode, inode);
                    const int side = decisions[i].effective() == SyncAction::MoveInTarget ? 1 : 0;
                    const ObservedFile moved = SyncEvidence::WithoutChangeTime(w.Observe(side, path));
                    evidence.add(path, side == 0 ? moved : paths[i].source, side == 0 ? paths[i].target : moved);
                    break;
                }
                default: break;
                }
                // Only a version the last run left in line is replaced or deleted, unless the
                // user chose so or the pair has no state yet (then the newer one wins).
                if (gone != 0 && w.hasState && !decisions[i].chosen) {
                    EXPECT_TRUE(w.synced.contains(gone)) << path << ": version " << gone << " went to the trash";
                }
            }
            for (const int content : before)
                EXPECT_TRUE(w.Contents().contains(content) || w.trash.contains(content)) << "lost " << content;
            if (!finished) continue;

            std::deque<std::string> afterTexts;
            std::vector<ObservedPath> after;
            w.Compare(afterTexts, after);
            const StateUpdate update = ComputeStateUpdate(after, w.hasState ? &state : nullptr, {}, nullptr, {},
                                                          [&](const ObservedPath& now) { return evidence.confirms(now); });
            for (const StateUpdate::Removal& r : update.removals)
                w.recorded.erase(std::string(r.folder).append(r.name));
            for (const StateUpdate::Put& p : update.puts) w.recorded[std::string(p.folder).append(p.name)] = p.record;
            w.hasState = true;
            w.synced = w.Contents();

            const SyncState next = w.State();
            input.paths = after;
            input.state = &next;
            input.sameBytes = sameBytes(after);
            for (const PathDecision& d : Reconcile(input)) {
                const SyncAction a = d.planned.action;
                EXPECT_TRUE(a == SyncAction::Nothing || a == SyncAction::Conflict) << static_cast<int>(a);
            }
        }
    }
}

}  // namespace
}  // namespace kirvo
