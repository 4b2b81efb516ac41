// The decisions of the sync modes, and what a run leaves recorded: pure logic
// over what a comparison saw and what the state recorded.
#include "sync/reconciler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sync/state_update.h"

namespace kirvo {
namespace {

using A = SyncAction;
using R = SyncReason;
using V = CompareVerdict;
constexpr SyncSide kS = SyncSide::Source;
constexpr SyncSide kT = SyncSide::Target;

constexpr int64_t kT0 = 1'700'000'000'000'000'000;
constexpr int64_t kLater = kT0 + 60'000'000'000;
constexpr uint64_t kSrcDev = 7, kTgtDev = 8;

// A source file, a target file: size, time, inode and change time on that side's device.
ObservedFile S(uint64_t size, int64_t mtime, uint64_t inode, int64_t ctime = 0) {
    return ObservedFile::Present(size, mtime, kSrcDev, inode, ctime);
}
ObservedFile T(uint64_t size, int64_t mtime, uint64_t inode, int64_t ctime = 0) {
    return ObservedFile::Present(size, mtime, kTgtDev, inode, ctime);
}
const ObservedFile kNone = ObservedFile::Absent();
const ObservedFile kFolder = ObservedFile::Present(0, 0);
const FileRecord kFolderRecord{};
const ObservedFile kUnreadable = ObservedFile::Unknown();
// What both sides held at the last run, and the same files now.
const ObservedFile kSyncedS = S(10, kT0, 1);
const ObservedFile kSyncedT = T(10, kT0, 101);
const FileRecord kSynced{SideRecord::Of(kSyncedS), SideRecord::Of(kSyncedT)};

struct Row {
    const char* path;
    ObservedFile source;
    ObservedFile target;
    std::optional<FileRecord> record;
    V verdict;
    A action;
    R reason;
    SyncSide side = kS;
    const char* partner = nullptr;  // moves: the other path
    const char* targetPath = nullptr;  // the target's own name, where it differs in case
    const char* recordedAs = nullptr;  // the path the record is kept under, where not `path`
};

struct Case {
    const char* what;
    std::vector<Row> rows;
    SyncMode mode = SyncMode::TwoWay;
    bool noState = false;
    bool filterChanged = false;
    const char* unreadableTargetFolder = nullptr;
    std::vector<std::string> sameBytes = {};  // paths whose two files hold the same bytes
};

// The paths' texts live as long as the case's rows.
struct Planned {
    std::deque<std::string> folders, names;
    std::vector<ObservedPath> paths;
    SyncState state;
    UnknownPlaces unknown;
    ReconcileInput input;

    // "a/b" as "a/" and "b", a folder's "a/b/" as "a/" and "b/".
    void Split(const std::string& path) {
        const size_t slash = path.substr(0, path.size() - 1).rfind('/');
        const size_t cut = slash == std::string::npos ? 0 : slash + 1;
        folders.push_back(path.substr(0, cut));
        names.push_back(path.substr(cut));
    }

    explicit Planned(const Case& c) {
        for (const Row& row : c.rows) {
            Split(row.path);
            paths.push_back({folders.back(), names.back(), row.source, row.target, row.verdict, {}});
            if (row.targetPath) {
                Split(row.targetPath);
                paths.back().targetFolder = folders.back();
                paths.back().targetName = names.back();
            }
            if (row.record) {
                Split(row.recordedAs ? row.recordedAs : row.path);
                state.add(folders.back(), names.back(), *row.record);
            }
        }
        state.finish();
        if (!c.sameBytes.empty())
            input.sameBytes = [this, same = c.sameBytes](uint32_t i) {
                return std::find(same.begin(), same.end(), paths[i].relativePath()) != same.end();
            };
        state.settings.filterHash = c.filterChanged ? 1 : 0;
        if (c.unreadableTargetFolder) unknown.add(kT, c.unreadableTargetFolder, "Keine Berechtigung");
        input.mode = c.mode;
        input.paths = paths;
        input.state = c.noState ? nullptr : &state;
        input.unknown = &unknown;
    }
};

TEST(TwoWay, EveryRuleOfTheTable) {
    const Case cases[] = {
        {"unchanged on both sides", {{"f", kSyncedS, kSyncedT, kSynced, V::Equal, A::Nothing, R::Equal}}},
        {"changed in the source only",
         {{"f", S(12, kLater, 1), kSyncedT, kSynced, V::ToTarget, A::CopyToTarget, R::Changed}}},
        {"changed in the target only, to an older time: still copied to the source",
         {{"f", kSyncedS, T(12, kT0 - 99, 101), kSynced, V::ToTarget, A::CopyToSource, R::Changed, kT}}},
        {"replaced in the source by another file of the same size and time (contents differ)",
         {{"f", S(10, kT0, 2), kSyncedT, kSynced, V::Conflict, A::CopyToTarget, R::Changed}}},
        {"remounted: other device and inode numbers are no change",
         {{"f", ObservedFile::Present(10, kT0, 99, 5), kSyncedT, kSynced, V::Conflict, A::Conflict,
           R::UnequalUnchanged}}},
        {"new in the source", {{"f", S(3, kT0, 4), kNone, std::nullopt, V::ToTarget, A::CopyToTarget, R::New}}},
        {"new in the target", {{"f", kNone, T(3, kT0, 4), std::nullopt, V::ToSource, A::CopyToSource, R::New, kT}}},
        {"deleted in the source, unchanged in the target",
         {{"f", kNone, kSyncedT, kSynced, V::ToSource, A::DeleteInTarget, R::Deleted, kS}}},
        {"deleted in the target, unchanged in the source",
         {{"f", kSyncedS, kNone, kSynced, V::ToTarget, A::DeleteInSource, R::Deleted, kT}}},
        {"deleted in the source, changed in the target: it comes back",
         {{"f", kNone, T(11, kLater, 101), kSynced, V::ToSource, A::CopyToSource, R::DeletedChangedElsewhere, kS}}},
        {"deleted in the target, changed in the source: it comes back",
         {{"f", S(11, kLater, 1), kNone, kSynced, V::ToTarget, A::CopyToTarget, R::DeletedChangedElsewhere, kT}}},
        {"changed on both sides",
         {{"f", S(11, kLater, 1), T(12, kLater, 101), kSynced, V::Conflict, A::Conflict, R::ChangedOnBoth}}},
        {"new on both sides, different",
         {{"f", S(1, kT0, 3), T(2, kLater, 103), std::nullopt, V::ToSource, A::Conflict, R::NewOnBoth}}},
        {"new on both sides, same size and time, the same bytes",
         {{"f", S(2, kT0, 3), T(2, kT0, 103), std::nullopt, V::Equal, A::Nothing, R::SameContent}},
         SyncMode::TwoWay, false, false, nullptr, {"f"}},
        {"new on both sides, same size and time, other bytes: a conflict",
         {{"f", S(2, kT0, 3), T(2, kT0, 103), std::nullopt, V::Equal, A::Conflict, R::NewOnBoth}}},
        {"changed on both sides the same way",
         {{"f", S(12, kLater, 1), T(12, kLater, 101), kSynced, V::Equal, A::Nothing, R::SameContent}},
         SyncMode::TwoWay, false, false, nullptr, {"f"}},
        {"edited in the source within the same second, same size: copied although the times look equal",
         {{"f", S(10, kT0 + 400'000'000, 1), kSyncedT, kSynced, V::Equal, A::CopyToTarget, R::Changed}}},
        {"saved again in the target with the same bytes: nothing",
         {{"f", kSyncedS, T(10, kT0 + 400'000'000, 101), kSynced, V::Equal, A::Nothing, R::SameContent}},
         SyncMode::TwoWay, false, false, nullptr, {"f"}},
        {"only the change time moved in the target (rights, a new name), other bytes: copied",
         {{"f", S(10, kT0, 1, kT0), T(10, kT0, 101, kLater), FileRecord{SideRecord::Of(S(10, kT0, 1, kT0)),
                                                                         SideRecord::Of(T(10, kT0, 101, kT0))},
           V::Equal, A::CopyToSource, R::Changed, kT}}},
        {"a record of an older version (times to the millisecond) is no change",
         {{"f", S(10, kT0 + 1'234'567, 1, kLater), kSyncedT,
           FileRecord{SideRecord::Of(S(10, kT0 + 1'000'000, 1)), SideRecord::Of(kSyncedT), true}, V::Equal, A::Nothing,
           R::Equal}}},
        {"renamed in letter case in the source: the target follows",
         {{"Report.txt", kSyncedS, kSyncedT, kSynced, V::Equal, A::MoveInTarget, R::CaseRenamed, kS, "Report.txt",
           "report.txt", "report.txt"}}},
        {"renamed in letter case in the target and edited in the source: renamed, then copied",
         {{"report.txt", S(11, kLater, 1), kSyncedT, kSynced, V::ToTarget, A::CopyToTarget, R::Changed, kS, nullptr,
           "Report.txt", "report.txt"}}},
        {"two names of the source equal ignoring case: both shown, neither deletes the other",
         {{"A.txt", S(3, kT0, 5), kNone, std::nullopt, V::ToTarget, A::Conflict, R::CaseTwins, kS, "a.txt"},
          {"a.txt", kSyncedS, kNone, kSynced, V::ToTarget, A::Conflict, R::CaseTwins, kS, "A.txt"}}},
        {"an empty folder new in the source: made in the target",
         {{"leer/", kFolder, kNone, std::nullopt, V::ToTarget, A::CopyToTarget, R::New}}},
        {"a folder deleted in the target: removed in the source, with what it held",
         {{"alt/", kFolder, kNone, kFolderRecord, V::ToTarget, A::DeleteInSource, R::Deleted, kT},
          {"alt/f", kSyncedS, kNone, kSynced, V::ToTarget, A::DeleteInSource, R::Deleted, kT}}},
        {"a folder deleted in the source while the target put a new file into it: it stays and comes back",
         {{"d/", kNone, kFolder, kFolderRecord, V::ToSource, A::CopyToSource, R::FolderStillUsed, kS},
          {"d/neu", kNone, T(3, kT0, 7), std::nullopt, V::ToSource, A::CopyToSource, R::New, kT}}},
        {"a file replaced by a folder in the source: the same in the target",
         {{"x", kNone, kSyncedT, kSynced, V::ToSource, A::DeleteInTarget, R::Deleted},
          {"x/", kFolder, kNone, std::nullopt, V::ToTarget, A::CopyToTarget, R::New},
          {"x/in", S(3, kT0, 9), kNone, std::nullopt, V::ToTarget, A::CopyToTarget, R::New}}},
        {"a file replaced by a folder in the source and changed in the target: nothing done there",
         {{"x", kNone, T(11, kLater, 101), kSynced, V::ToSource, A::Conflict, R::FileFolderClash, kS, "x/"},
          {"x/", kFolder, kNone, std::nullopt, V::ToTarget, A::Conflict, R::FileFolderClash, kS, "x"},
          {"x/in", S(3, kT0, 9), kNone, std::nullopt, V::ToTarget, A::Conflict, R::FileFolderClash, kS, "x"}}},
        {"deleted in the source while the filter changed: comes back, is not deleted",
         {{"f", kNone, kSyncedT, kSynced, V::ToSource, A::CopyToSource, R::DeletedFilterChanged, kS}},
         SyncMode::TwoWay,
         false,
         true},
        {"moved in the source, unchanged in the target: the same move there",
         {{"alt/f", kNone, kSyncedT, kSynced, V::ToSource, A::Nothing, R::MovedAway, kS, "neu/g"},
          {"neu/g", kSyncedS, kNone, std::nullopt, V::ToTarget, A::MoveInTarget, R::Moved, kS, "alt/f"}}},
        {"moved in the target, unchanged in the source",
         {{"f", kSyncedS, kNone, kSynced, V::ToTarget, A::Nothing, R::MovedAway, kT, "g"},
          {"g", kNone, kSyncedT, std::nullopt, V::ToSource, A::MoveInSource, R::Moved, kT, "f"}}},
        {"moved in the source with a filter change: still a move, nothing is lost",
         {{"f", kNone, kSyncedT, kSynced, V::ToSource, A::Nothing, R::MovedAway, kS, "g"},
          {"g", kSyncedS, kNone, std::nullopt, V::ToTarget, A::MoveInTarget, R::Moved, kS, "f"}},
         SyncMode::TwoWay,
         false,
         true},
        {"moved in the source, changed in the target: both kept",
         {{"f", kNone, T(11, kLater, 101), kSynced, V::ToSource, A::CopyToSource, R::DeletedChangedElsewhere, kS},
          {"g", kSyncedS, kNone, std::nullopt, V::ToTarget, A::CopyToTarget, R::New}}},
        {"moved and edited in the source: no move",
         {{"f", kNone, kSyncedT, kSynced, V::ToSource, A::DeleteInTarget, R::Deleted, kS},
          {"g", S(11, kLater, 1), kNone, std::nullopt, V::ToTarget, A::CopyToTarget, R::New}}},
        {"two names for the moved inode (a hard link): no move",
         {{"f", kNone, kSyncedT, kSynced, V::ToSource, A::DeleteInTarget, R::Deleted, kS},
          {"g", kSyncedS, kNone, std::nullopt, V::ToTarget, A::CopyToTarget, R::New},
          {"h", kSyncedS, kNone, std::nullopt, V::ToTarget, A::CopyToTarget, R::New}}},
        {"moved in the source onto a name the target has: no move",
         {{"f", kNone, kSyncedT, kSynced, V::ToSource, A::DeleteInTarget, R::Deleted, kS},
          {"g", kSyncedS, T(4, kT0, 104), std::nullopt, V::ToTarget, A::Conflict, R::NewOnBoth}}},
        {"missing below a target folder that could not be read: left alone",
         {{"sub/f", kSyncedS, kNone, kSynced, V::ToTarget, A::Unknown, R::Unreadable, kT},
          {"sub2/f", kSyncedS, kNone, kSynced, V::ToTarget, A::DeleteInSource, R::Deleted, kT}},
         SyncMode::TwoWay,
         false,
         false,
         "sub/"},
        {"a file that could not be read: left alone",
         {{"f", kUnreadable, kSyncedT, kSynced, V::ToSource, A::Unknown, R::Unreadable, kS}}},
        {"no state yet: the comparison's arrows, nothing deleted",
         {{"a", S(1, kLater, 1), T(1, kT0, 101), std::nullopt, V::ToTarget, A::CopyToTarget, R::FirstRun, kS},
          {"b", kNone, T(1, kT0, 102), std::nullopt, V::ToSource, A::CopyToSource, R::FirstRun, kT},
          {"c", S(1, kT0, 3), T(2, kT0, 103), std::nullopt, V::Conflict, A::Conflict, R::FirstRun, kS},
          {"d", kSyncedS, kSyncedT, std::nullopt, V::Equal, A::Nothing, R::Equal}},
         SyncMode::TwoWay,
         true},
        {"update: the comparison's arrows, whatever the state says",
         {{"a", kNone, kSyncedT, kSynced, V::ToSource, A::CopyToSource, R::Compared, kT},
          {"b", kSyncedS, kSyncedT, kSynced, V::Conflict, A::Conflict, R::Compared, kS}},
         SyncMode::Update},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Planned run(c);
        const std::vector<PathDecision> decisions = Reconcile(run.input);
        ASSERT_EQ(decisions.size(), c.rows.size());
        for (size_t i = 0; i < c.rows.size(); ++i) {
            const Row& row = c.rows[i];
            SCOPED_TRACE(row.path);
            const SyncDecision& d = decisions[i].planned;
            EXPECT_EQ(d.action, row.action);
            EXPECT_EQ(d.reason, row.reason);
            EXPECT_EQ(d.side, row.side);
            EXPECT_EQ(d.partner == SyncDecision::kNoPartner ? "" : run.paths[d.partner].relativePath(),
                      row.partner ? row.partner : "");
            // A copy of a name changed in case renames the other side's file first.
            EXPECT_EQ(d.renameIn.has_value(), row.targetPath != nullptr && row.action != A::MoveInTarget &&
                                                  row.action != A::MoveInSource);
        }
    }
}

TEST(TwoWay, ReasonsAsTheListShowsThem) {
    const Case c{
        "moved and deleted",
        {{"alt.txt", kNone, kSyncedT, kSynced, V::ToSource, A::Nothing, R::MovedAway},
         {"neu.txt", kSyncedS, kNone, std::nullopt, V::ToTarget, A::MoveInTarget, R::Moved},
         {"weg.txt", S(10, kT0, 2), kNone, FileRecord{SideRecord::Of(S(10, kT0, 2)), SideRecord::Of(T(10, kT0, 555))},
          V::ToTarget, A::DeleteInSource, R::Deleted},
         {"sub/x", S(10, kT0, 3), kNone, kSynced, V::ToTarget, A::Unknown, R::Unreadable}},
        SyncMode::TwoWay,
        false,
        false,
        "sub"};
    Planned run(c);
    std::vector<PathDecision> decisions = Reconcile(run.input);
    EXPECT_EQ(ExplainDecision(run.input, decisions, 0),
              "in der Quelle verschoben nach „neu.txt“ seit dem letzten Abgleich");
    EXPECT_EQ(ExplainDecision(run.input, decisions, 1),
              "in der Quelle verschoben von „alt.txt“ seit dem letzten Abgleich");
    EXPECT_EQ(ExplainDecision(run.input, decisions, 2), "im Ziel gelöscht seit dem letzten Abgleich");
    EXPECT_EQ(ExplainDecision(run.input, decisions, 3),
              "im Ziel nicht lesbar (Keine Berechtigung): bleibt, wie es ist");
    // A user's choice goes over the decision and leaves it in place.
    decisions[2].chosen = A::CopyToTarget;
    EXPECT_EQ(decisions[2].effective(), A::CopyToTarget);
    decisions[2].chosen.reset();
    EXPECT_EQ(decisions[2].effective(), A::DeleteInSource);
}

TEST(Mirror, TheOtherSideBecomesAnExactCopy) {
    struct MirrorCase {
        const char* what;
        SyncSide from;
        std::vector<Row> rows;
        std::vector<std::pair<const char*, const char*>> sameContent;  // (from path, to path)
    };
    const ObservedFile big = S(5000, kT0, 0);
    const ObservedFile bigCopy = T(5000, kT0 + 1'500'000'000, 0);  // a FAT time, 1.5 s off
    const MirrorCase cases[] = {
        {"missing, different, newer on the target, extra, equal",
         kS,
         {{"a", S(1, kT0, 0), kNone, {}, V::ToTarget, A::CopyToTarget, R::MirrorMissing, kT},
          {"b", S(1, kLater, 0), T(2, kT0, 0), {}, V::ToTarget, A::CopyToTarget, R::MirrorDifferent, kT},
          {"c", S(1, kT0, 0), T(1, kLater, 0), {}, V::ToSource, A::CopyToTarget, R::MirrorDifferent, kT},
          {"d", kNone, T(1, kT0, 0), {}, V::ToSource, A::DeleteInTarget, R::MirrorExtra, kT},
          {"e", S(1, kT0, 0), T(1, kT0, 0), {}, V::Equal, A::Nothing, R::Equal, kT}},
         {}},
        {"same time, other size: copied (an exact copy)",
         kS,
         {{"b", S(2, kT0, 0), T(1, kT0, 0), {}, V::Equal, A::CopyToTarget, R::MirrorDifferent, kT}},
         {}},
        {"named in another letter case in the target: renamed",
         kS,
         {{"Report.txt", S(1, kT0, 0), T(1, kT0, 0), {}, V::Equal, A::MoveInTarget, R::MirrorCase, kT, "Report.txt",
           "report.txt"}},
         {}},
        {"folders: one only in the source made, one only in the target removed where a file takes its name",
         kS,
         {{"leer/", kFolder, kNone, {}, V::ToTarget, A::CopyToTarget, R::MirrorMissing, kT},
          {"x", S(1, kT0, 0), kNone, {}, V::ToTarget, A::CopyToTarget, R::MirrorMissing, kT},
          {"x/", kNone, kFolder, {}, V::ToSource, A::DeleteInTarget, R::MirrorExtra, kT},
          {"x/f", kNone, T(1, kT0, 0), {}, V::ToSource, A::DeleteInTarget, R::MirrorExtra, kT}},
         {}},
        {"towards the source",
         kT,
         {{"a", kNone, T(1, kT0, 0), {}, V::ToSource, A::CopyToSource, R::MirrorMissing, kS},
          {"d", S(1, kT0, 0), kNone, {}, V::ToTarget, A::DeleteInSource, R::MirrorExtra, kS}},
         {}},
        {"renamed in the source, same bytes: renamed in the target",
         kS,
         {{"alt", kNone, bigCopy, {}, V::ToSource, A::Nothing, R::MirrorMovedAway, kT, "neu"},
          {"neu", big, kNone, {}, V::ToTarget, A::MoveInTarget, R::MirrorMoved, kT, "alt"}},
         {{"neu", "alt"}}},
        {"same size and time, other bytes: copied and deleted",
         kS,
         {{"alt", kNone, bigCopy, {}, V::ToSource, A::DeleteInTarget, R::MirrorExtra, kT},
          {"neu", big, kNone, {}, V::ToTarget, A::CopyToTarget, R::MirrorMissing, kT}},
         {}},
        {"of two candidates the one with the same bytes",
         kS,
         {{"x1", kNone, bigCopy, {}, V::ToSource, A::DeleteInTarget, R::MirrorExtra, kT},
          {"x2", kNone, bigCopy, {}, V::ToSource, A::Nothing, R::MirrorMovedAway, kT, "neu"},
          {"neu", big, kNone, {}, V::ToTarget, A::MoveInTarget, R::MirrorMoved, kT, "x2"}},
         {{"neu", "x2"}}},
        {"empty files are copied, not matched",
         kS,
         {{"alt", kNone, T(0, kT0, 0), {}, V::ToSource, A::DeleteInTarget, R::MirrorExtra, kT},
          {"neu", S(0, kT0, 0), kNone, {}, V::ToTarget, A::CopyToTarget, R::MirrorMissing, kT}},
         {{"neu", "alt"}}},
        {"times 3 s apart are not looked at",
         kS,
         {{"alt", kNone, T(5000, kT0 + 3'000'000'000, 0), {}, V::ToSource, A::DeleteInTarget, R::MirrorExtra, kT},
          {"neu", big, kNone, {}, V::ToTarget, A::CopyToTarget, R::MirrorMissing, kT}},
         {{"neu", "alt"}}},
        {"nothing touched below a target folder that could not be read",
         kS,
         {{"sub/a", S(1, kT0, 0), kNone, {}, V::ToTarget, A::Unknown, R::Unreadable, kT},
          {"sub/b", kNone, kUnreadable, {}, V::ToSource, A::Unknown, R::Unreadable, kT}},
         {}},
    };
    for (const MirrorCase& m : cases) {
        SCOPED_TRACE(m.what);
        Case c{m.what, m.rows, SyncMode::Mirror, true};
        c.unreadableTargetFolder =
            std::string_view(m.what).find("could not be read") != std::string_view::npos ? "sub" : nullptr;
        Planned run(c);
        run.input.mirrorFrom = m.from;
        run.input.sameContent = [&](uint32_t from, uint32_t to) {
            const std::string f = run.paths[from].relativePath();
            const std::string t = run.paths[to].relativePath();
            for (const auto& [a, b] : m.sameContent)
                if (f == a && t == b) return true;
            return false;
        };
        const std::vector<PathDecision> decisions = Reconcile(run.input);
        for (size_t i = 0; i < m.rows.size(); ++i) {
            const Row& row = m.rows[i];
            SCOPED_TRACE(row.path);
            const SyncDecision& d = decisions[i].planned;
            EXPECT_EQ(d.action, row.action);
            EXPECT_EQ(d.reason, row.reason);
            EXPECT_EQ(d.side, row.side);
            EXPECT_EQ(d.partner == SyncDecision::kNoPartner ? "" : run.paths[d.partner].relativePath(),
                      row.partner ? row.partner : "");
        }
    }
}

// What a run leaves recorded, from the comparison after it.
TEST(StateAfterARun, RecordsWhatIsInLineAndKeepsWhatIsNot) {
    enum class Then { Put, Kept, Removed };
    struct Entry {
        const char* what;
        const char* path;
        ObservedFile source;  // after the run; both absent: the comparison no longer has the path
        ObservedFile target;
        V verdict;
        std::optional<FileRecord> before;
        Then then;
        bool vouched = false;  // the run copied, renamed or read them
    };
    const FileRecord stale{SideRecord::Of(S(9, kT0 - 5, 1)), SideRecord::Of(T(9, kT0 - 5, 101))};
    const Entry entries[] = {
        {"copied: both there and equal", "copied", kSyncedS, kSyncedT, V::Equal, stale, Then::Put, true},
        {"equal and first seen", "first", kSyncedS, kSyncedT, V::Equal, std::nullopt, Then::Put, true},
        {"equal by time, but changed since and nothing vouches for the bytes", "same-second", kSyncedS, kSyncedT,
         V::Equal, stale, Then::Kept},
        {"a folder on both sides", "ordner/", kFolder, kFolder, V::Equal, std::nullopt, Then::Put},
        {"equal and recorded so already", "same", kSyncedS, kSyncedT, V::Equal, kSynced, Then::Kept},
        {"equal times, other sizes", "sizes", kSyncedS, T(11, kT0, 101), V::Equal, stale, Then::Kept},
        {"the copy failed: still unequal", "failed", S(10, kLater, 1), kSyncedT, V::ToTarget, kSynced, Then::Kept},
        {"a deletion not carried out", "untouched", kNone, kSyncedT, V::ToSource, kSynced, Then::Kept},
        {"deleted on both sides", "gone", kNone, kNone, V::Equal, kSynced, Then::Removed},
        {"left out by the filter now", "skip.tmp", kNone, kNone, V::Equal, kSynced, Then::Kept},
        {"below a folder that could not be read", "sub/x", kNone, kNone, V::Equal, kSynced, Then::Kept},
        {"equal, but below a folder that could not be read", "sub/y", kSyncedS, kSyncedT, V::Equal, stale, Then::Kept},
    };
    for (const bool filterChanged : {false, true}) {
        SCOPED_TRACE(filterChanged ? "after a filter change" : "same filter");
        std::deque<std::string> texts;
        SyncState before;
        std::vector<ObservedPath> after;
        for (const Entry& e : entries) {
            const std::string path = e.path;
            const size_t cut = path.find('/') == std::string::npos || path.ends_with('/') ? 0 : path.find('/') + 1;
            const std::string_view folder = texts.emplace_back(path.substr(0, cut));
            const std::string_view name = texts.emplace_back(path.substr(cut));
            if (e.before) before.add(folder, name, *e.before);
            if (e.source.present() || e.target.present())
                after.push_back({folder, name, e.source, e.target, e.verdict, {}});
        }
        before.finish();
        UnknownPlaces unknown;
        unknown.add(kS, "sub", "Ein-/Ausgabefehler");
        const PairSettings settings{SyncMode::TwoWay, 2, filterChanged ? 99u : 0u};
        const StateUpdate update = ComputeStateUpdate(
            after, &before, settings, &unknown,
            [](std::string_view, std::string_view name) { return name.ends_with(".tmp"); },
            [&](const ObservedPath& now) {
                for (const Entry& e : entries)
                    if (now.relativePath() == e.path) return e.vouched;
                return false;
            });
        EXPECT_EQ(update.settings, settings);
        for (const Entry& e : entries) {
            SCOPED_TRACE(e.what);
            const auto matches = [&](const auto& item) { return std::string(item.folder).append(item.name) == e.path; };
            const bool put = std::any_of(update.puts.begin(), update.puts.end(), matches);
            const bool removed = std::any_of(update.removals.begin(), update.removals.end(), matches);
            // After a filter change, a record not confirmed by the run is not trusted to delete later.
            const Then expected =
                filterChanged && std::string_view(e.what) == "a deletion not carried out" ? Then::Removed : e.then;
            EXPECT_EQ(put, expected == Then::Put);
            EXPECT_EQ(removed, expected == Then::Removed);
        }
        for (const StateUpdate::Put& p : update.puts) EXPECT_EQ(p.record, p.name.ends_with('/') ? kFolderRecord : kSynced);
    }
}

}  // namespace
}  // namespace kirvo
