#include "fileops/sync_plan.h"

#include <gtest/gtest.h>

#include <vector>

#include "fileops/delete_plan.h"

namespace kirvo {
namespace {

const std::string kSrc = "/q/";
const std::string kTgt = "/z/";

RootedPath S(std::string_view relative) { return RootedPath::Join(kSrc, relative, TreeSide::Source); }
RootedPath T(std::string_view relative) { return RootedPath::Join(kTgt, relative, TreeSide::Target); }

PlanRow Row(bool takesPart, int32_t direction, std::string source, std::string target) {
    return PlanRow{takesPart, direction, std::move(source), std::move(target), {}, {}};
}

// A row whose source (-1) or target (+1) side could not be read at its path.
PlanRow Unread(PlanRow row, int32_t unreadSide) {
    (unreadSide < 0 ? row.sourceUnknown : row.targetUnknown) = true;
    return row;
}

TEST(SyncPlan, SplitsMarkedRowsByDirectionInListOrder) {
    const std::vector<PlanRow> rows = {
        Row(true, +1, "a.txt", "a.txt"),
        Row(true, -1, "b.txt", "b.txt"),
        Row(true, +1, "sub/c.txt", ""),
        Row(true, -1, "", "only/d.txt"),
        Row(true, +1, "e.txt", "E.TXT"),
    };
    const SyncPlan plan = BuildSyncPlan(rows, Root::Local(kSrc), Root::Local(kTgt));
    ASSERT_EQ(plan.sourceToTarget.count(), 3);
    ASSERT_EQ(plan.targetToSource.count(), 2);
    EXPECT_EQ(plan.sourceToTarget.pairs, (std::vector<CopyPair>{
                                             {S("a.txt"), T("a.txt")},
                                             {S("sub/c.txt"), T("sub/c.txt")},  // one-sided: same relative path
                                             {S("e.txt"), T("E.TXT")},          // the target's own name
                                         }));
    EXPECT_EQ(plan.targetToSource.pairs, (std::vector<CopyPair>{
                                             {T("b.txt"), S("b.txt")},
                                             {T("only/d.txt"), S("only/d.txt")},
                                         }));
}

TEST(SyncPlan, SkipsRowsThatDoNotTakePartOrHaveNoArrow) {
    const std::vector<PlanRow> rows = {
        Row(false, +1, "unmarked.txt", ""),  // not marked / not selected
        Row(true, 0, "same.txt", "same.txt"), // equal row
        Row(true, 0, "", ""),                 // folder row
        Row(true, +1, "", "t.txt"),           // arrow without a file to copy from
        Row(true, -1, "s.txt", ""),
        Unread(Row(true, +1, "d/new.txt", "d/new.txt"), +1),  // nothing replaced where the target is unread
        Unread(Row(true, -1, "", "e/t.txt"), -1),             // nor copied into an unread source
    };
    const SyncPlan plan = BuildSyncPlan(rows, Root::Local(kSrc), Root::Local(kTgt));
    EXPECT_TRUE(plan.sourceToTarget.empty());
    EXPECT_TRUE(plan.targetToSource.empty());
    EXPECT_TRUE(BuildCopyPlan(rows, Root::Local(kSrc), Root::Local(kTgt)).empty());
    std::vector<std::string> passedOver, unread;
    EXPECT_TRUE(BuildDirectedCopyPlan(std::span(rows).subspan(5, 1), Root::Local(kSrc), Root::Local(kTgt), +1, &passedOver, &unread).empty());
    EXPECT_TRUE(BuildDirectedCopyPlan(std::span(rows).subspan(6), Root::Local(kSrc), Root::Local(kTgt), -1, &passedOver, &unread).empty());
    EXPECT_TRUE(passedOver.empty());
    EXPECT_EQ(unread, (std::vector<std::string>{"d/new.txt", "e/t.txt"}));
}

// A user's file named like a temporary file is an ordinary file: the scan
// leaves out only the temporary files that are really ours.
TEST(CopyPlan, FilesNamedLikeTemporaryFilesAreCopiedAsAnyOther) {
    const std::vector<PlanRow> rows = {
        Row(true, +1, "sub/.big.bin.kirvo-tmp", ""),
        Row(true, -1, "", ".x.kirvo-tmp"),
    };
    const SyncPlan plan = BuildSyncPlan(rows, Root::Local(kSrc), Root::Local(kTgt));
    EXPECT_EQ(plan.sourceToTarget.pairs,
              (std::vector<CopyPair>{{S("sub/.big.bin.kirvo-tmp"), T("sub/.big.bin.kirvo-tmp"), {}}}));
    EXPECT_EQ(plan.targetToSource.pairs, (std::vector<CopyPair>{{T(".x.kirvo-tmp"), S(".x.kirvo-tmp"), {}}}));
}

TEST(CopyPlan, MixesBothDirectionsInListOrder) {
    const std::vector<PlanRow> rows = {
        Row(true, -1, "", "x/new.txt"),
        Row(false, +1, "skip.txt", ""),
        Row(true, +1, "a.txt", "a.txt"),
        Row(true, 0, "eq.txt", "eq.txt"),
        Row(true, -1, "b.txt", "b.txt"),
    };
    const CopyList list = BuildCopyPlan(rows, Root::Local(kSrc), Root::Local(kTgt));
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.pairs, (std::vector<CopyPair>{
                              {T("x/new.txt"), S("x/new.txt")},
                              {S("a.txt"), T("a.txt")},
                              {T("b.txt"), S("b.txt")},
                          }));
}

TEST(CopyPlan, KeepsOddNamesAsTheirBytes) {
    const std::string nonUtf8 = std::string("caf\xE9", 4) + ".txt";
    const std::vector<PlanRow> rows = {
        Row(true, +1, "a|b", ""),
        Row(true, +1, "a\nb", "a\nb"),
        Row(true, -1, "", nonUtf8),
    };
    const CopyList list = BuildCopyPlan(rows, Root::Local(kSrc), Root::Local(kTgt));
    EXPECT_EQ(list.pairs, (std::vector<CopyPair>{
                              {S("a|b"), T("a|b")},
                              {S("a\nb"), T("a\nb")},
                              {T(nonUtf8), S(nonUtf8)},
                          }));
}

TEST(DeletePlan, SourcePassThenTargetPassIgnoringDirections) {
    const std::vector<PlanRow> rows = {
        Row(true, 0, "eq.txt", "eq.txt"),      // equal row loses both files
        Row(true, +1, "src-only.txt", ""),     // first pass only
        Row(false, -1, "no.txt", "no.txt"),    // not selected
        Row(true, 0, "", ""),                  // folder row adds nothing
        Row(true, -1, "", "tgt-only.txt"),     // second pass only
        Row(true, +1, "a|b", "A|B"),
        Unread(Row(true, 0, "u/s.txt", "u/s.txt"), -1),  // nothing deleted where its side is unread
        Unread(Row(true, +1, "v.txt", ""), +1),           // the source file is known: it goes
    };
    const DeletePlan plan = BuildDeletePlan(rows, Root::Local(kSrc), Root::Local(kTgt));
    EXPECT_EQ(plan.sourceFiles, (std::vector<ListedPath>{S("eq.txt"), S("src-only.txt"), S("a|b"), S("v.txt")}));
    EXPECT_EQ(plan.targetFiles, (std::vector<ListedPath>{T("eq.txt"), T("tgt-only.txt"), T("A|B"), T("u/s.txt")}));
    EXPECT_EQ(plan.passedOver, (std::vector<std::string>{"u/s.txt"}));
    EXPECT_EQ(plan.sourceCount(), 4);
    EXPECT_EQ(plan.targetCount(), 4);
}

TEST(DeletePlan, TargetOnlyRowsLeaveTheSourcePassEmpty) {
    const std::vector<PlanRow> rows = {Row(true, -1, "", "t1"), Row(true, -1, "", "d/t2")};
    const DeletePlan plan = BuildDeletePlan(rows, Root::Local(kSrc), Root::Local(kTgt));
    EXPECT_TRUE(plan.sourceFiles.empty());
    EXPECT_EQ(plan.targetFiles, (std::vector<ListedPath>{T("t1"), T("d/t2")}));
}

}  // namespace
}  // namespace kirvo
