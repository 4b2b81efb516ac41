// The guards before anything is deleted: mass deletion, an empty or missing
// root, unknown places; and the limit the user may give.
#include "sync/deletion_guard.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace kirvo {
namespace {

constexpr int64_t kTime = 1'700'000'000'000'000'000;

// A planned run: `keep` files on both sides left alone, `deleteInTarget`
// files deleted from the target, `copyToTarget` files only in the source,
// `copyToSource` files only in the target.
struct Plan {
    int keep = 0;
    int deleteInTarget = 0;
    int copyToTarget = 0;
    int copyToSource = 0;
    bool withState = false;
    bool sourceMissing = false;
    const char* limit = nullptr;
};

struct Built {
    std::deque<std::string> names;
    std::vector<ObservedPath> paths;
    std::vector<PathDecision> decisions;
    SyncState state;
    GuardInput input;
};

void Add(Built& b, ObservedFile source, ObservedFile target, SyncAction action) {
    const std::string_view name = b.names.emplace_back("f" + std::to_string(b.names.size()));
    b.paths.push_back({"", name, source, target, CompareVerdict::Equal, {}});
    b.decisions.push_back({{action, SyncReason::Equal, SyncSide::Source}, {}});
    if (source.present() && target.present()) b.state.add("", name, {SideRecord::Of(source), SideRecord::Of(target)});
}

void Build(Built& b, const Plan& p) {
    const ObservedFile file = ObservedFile::Present(1, kTime);
    for (int i = 0; i < p.keep; ++i) Add(b, file, file, SyncAction::Nothing);
    for (int i = 0; i < p.deleteInTarget; ++i) Add(b, ObservedFile::Absent(), file, SyncAction::DeleteInTarget);
    for (int i = 0; i < p.copyToTarget; ++i) Add(b, file, ObservedFile::Absent(), SyncAction::CopyToTarget);
    for (int i = 0; i < p.copyToSource; ++i) Add(b, ObservedFile::Absent(), file, SyncAction::CopyToSource);
    if (p.withState) b.state.add("", "recorded-before", {});
    b.state.finish();
    b.input.paths = b.paths;
    b.input.decisions = b.decisions;
    b.input.state = p.withState ? &b.state : nullptr;
    b.input.sourceMissing = p.sourceMissing;
    if (p.limit) b.input.limit = DeleteLimit::Parse(p.limit);
}

TEST(DeletionGuard, FlagsMassDeletionsAndEmptyRootsWithTheirNumbers) {
    struct Case {
        const char* what;
        Plan plan;
        bool massDeletion;  // in the target
        bool emptySource;
    };
    const Case cases[] = {
        {"9 of 10: fewer than 10", {1, 9}, false, false},
        {"10 of 19: more than half", {9, 10}, true, false},
        {"10 of 20: exactly half", {10, 10}, false, false},
        {"11 of 100 beyond --max-delete=10", {89, 11, 0, 0, false, false, "10"}, true, false},
        {"10 of 100 within --max-delete=10%", {90, 10, 0, 0, false, false, "10%"}, false, false},
        {"60 of 100 within --max-delete=60%", {40, 60, 0, 0, false, false, "60%"}, false, false},
        {"all 30 deleted because the source is empty now", {0, 30, 0, 0, true}, true, true},
        {"the source root is missing", {0, 30, 0, 0, true, true}, true, true},
        {"an empty source the state knows of, even without deletions", {0, 0, 0, 3, true}, false, true},
        {"a mirror's empty source without a state: all 5 of the target deleted", {0, 5}, false, true},
        {"a mirror's missing source without a state", {0, 5, 0, 0, false, true}, false, true},
        {"an emptied source allowed by --max-delete=100%", {0, 30, 0, 0, true, false, "100%"}, false, false},
        {"the first run into an empty target copies only", {0, 0, 30}, false, false},
        {"an empty source and nothing to do", {0, 0, 0, 0, true}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Built b;
        Build(b, c.plan);
        const GuardReport report = CheckGuards(b.input);
        EXPECT_EQ(report.target.deletes, static_cast<uint64_t>(c.plan.deleteInTarget));
        EXPECT_EQ(report.target.files,
                  static_cast<uint64_t>(c.plan.keep + c.plan.deleteInTarget + c.plan.copyToSource));
        EXPECT_EQ(report.target.massDeletion, c.massDeletion);
        EXPECT_EQ(report.source.emptyRoot, c.emptySource);
        EXPECT_FALSE(report.source.massDeletion);
        EXPECT_FALSE(report.target.emptyRoot);
        EXPECT_EQ(report.needsConfirmation(), c.massDeletion || c.emptySource);
        EXPECT_TRUE(report.unsafe.empty());
    }
}

// A user's choice over an unknown place is never carried out.
TEST(DeletionGuard, NothingIsDoneWhereASideCouldNotBeRead) {
    Built b;
    const ObservedFile file = ObservedFile::Present(1, kTime);
    Add(b, file, ObservedFile::Unknown(), SyncAction::Unknown);
    Add(b, file, ObservedFile::Absent(), SyncAction::Unknown);  // below an unreadable target folder
    Add(b, file, file, SyncAction::Nothing);
    b.decisions[0].chosen = SyncAction::CopyToTarget;
    b.decisions[1].chosen = SyncAction::DeleteInSource;
    b.decisions[2].chosen = SyncAction::DeleteInTarget;
    b.paths[1].folder = "sub/";
    b.paths[1].name = "f1";
    UnknownPlaces unknown;
    unknown.add(SyncSide::Target, "sub", "Eingabe-/Ausgabefehler");
    b.state.finish();
    b.input.paths = b.paths;
    b.input.decisions = b.decisions;
    b.input.unknown = &unknown;
    const GuardReport report = CheckGuards(b.input);
    EXPECT_EQ(report.unsafe, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(report.source.deletes, 0u);
    EXPECT_EQ(report.target.deletes, 1u);
}

TEST(DeleteLimit, TakesACountOrAShareAndNamesAWrongValue) {
    struct Case {
        const char* text;
        bool valid;
        uint64_t deletes = 0, files = 0;
        bool allows = false;
    };
    const Case cases[] = {
        {"20", true, 20, 20, true},
        {"20", true, 21, 1000, false},
        {"0", true, 1, 1000, false},
        {"10%", true, 10, 100, true},
        {"10%", true, 11, 100, false},
        {"100%", true, 5, 5, true},
        {"0%", true, 0, 5, true},
        {"101%", false},
        {"-1", false},
        {"abc", false},
        {"", false},
        {"10 %", false},
        {"1.5%", false},
        {"%", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const std::optional<DeleteLimit> limit = DeleteLimit::Parse(c.text, &error);
        ASSERT_EQ(limit.has_value(), c.valid);
        if (limit) {
            EXPECT_EQ(limit->allows(c.deletes, c.files), c.allows);
        } else {
            EXPECT_EQ(error,
                      "„" + std::string(c.text) +
                          "“ ist keine gültige Grenze: erlaubt sind eine Anzahl (etwa 20) oder ein Anteil von 0% "
                          "bis 100% (etwa 10%).");
        }
    }
}

}  // namespace
}  // namespace kirvo
