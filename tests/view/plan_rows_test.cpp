#include "view/plan_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/tree_matcher.h"
#include "fileops/delete_plan.h"
#include "fileops/sync_plan.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using test::FileSpec;
using test::MakeTree;
using test::TempDir;

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = kOld + 3600;

struct Trees {
    TempDir dir;
    std::string sourceRoot = dir / "quelle";
    std::string targetRoot = dir / "ziel";
    TreeMatcher matcher;
    ResultRows rows;

    Trees(std::initializer_list<FileSpec> source, std::initializer_list<FileSpec> target,
          DisplayFilterValue filter = DisplayFilterValue::All) {
        MakeTree(sourceRoot, source);
        MakeTree(targetRoot, target);
        std::string s = sourceRoot, t = targetRoot;
        matcher.Run(s, t, false, false, true);
        rows.Build(matcher, DisplayFilter(filter));
    }
    int64_t Offset() const { return matcher.utcOffset(); }
    size_t RowOf(const std::string& sourceOrTargetPath) const {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (rows.CellText(i, 3) == sourceOrTargetPath || rows.CellText(i, 8) == sourceOrTargetPath) return i;
        }
        ADD_FAILURE() << "no row for " << sourceOrTargetPath;
        return rows.size();
    }
};

// "direction source target" per plan row, folder rows as "0  ".
std::vector<std::string> Lines(const std::vector<CopyPair>& pairs) {
    std::vector<std::string> lines;
    for (const CopyPair& pair : pairs) lines.push_back(pair.from.path + " -> " + pair.to.path);
    return lines;
}
std::vector<std::string> Lines(const std::vector<ListedPath>& paths) {
    std::vector<std::string> lines;
    for (const ListedPath& path : paths) lines.push_back(path.path.path);
    return lines;
}

std::vector<std::string> Outline(const std::vector<PlanRow>& planRows) {
    std::vector<std::string> lines;
    for (const PlanRow& row : planRows) {
        EXPECT_TRUE(row.takesPart);
        lines.push_back(std::to_string(row.direction) + " " + row.sourcePath + " " + row.targetPath);
    }
    return lines;
}

Trees MixedTrees() {
    return Trees({{"gleich.txt", kOld}, {"neuer_q.txt", kNew}, {"aelter_q.txt", kOld}, {"sub/nur_q.txt", kOld}},
                 {{"gleich.txt", kOld}, {"neuer_q.txt", kOld}, {"aelter_q.txt", kNew}, {"nur_z/datei.txt", kOld}});
}

TEST(PlanRowsTest, EveryRowReadsAsTheListShowsIt) {
    const Trees trees = MixedTrees();
    ASSERT_GT(trees.rows.size(), 6u);
    for (size_t i = 0; i < trees.rows.size(); ++i) {
        const PlanRow row = PlanRows::Row(trees.rows, i, false, trees.Offset());
        EXPECT_FALSE(row.takesPart);
        // Each side's file as listed, its time back in UTC; Absent where the row has none.
        const FilePair* pair = trees.rows.Pair(i);
        for (const auto& [entry, got] : {std::pair{pair ? pair->source : nullptr, row.source},
                                          std::pair{pair ? pair->target : nullptr, row.target}}) {
            if (entry == nullptr) {
                EXPECT_EQ(got.state, pair ? ListedFile::State::Absent : ListedFile::State::Unknown) << i;
                continue;
            }
            EXPECT_EQ(got.state, ListedFile::State::Present) << i;
            EXPECT_EQ(got.size, entry->size()) << i;
            EXPECT_TRUE(got.modifiedSeconds == kOld || got.modifiedSeconds == kNew) << i << " " << got.modifiedSeconds;
        }
        EXPECT_EQ(row.sourcePath, trees.rows.IsFolderRow(i) ? "" : trees.rows.CellText(i, 3)) << i;
        EXPECT_EQ(row.targetPath, trees.rows.IsFolderRow(i) ? "" : trees.rows.CellText(i, 8)) << i;
        const std::string arrow = trees.rows.CellText(i, 4);
        EXPECT_EQ(row.direction, arrow == "--->" ? 1 : arrow == "<---" ? -1 : 0) << i << " " << arrow;
    }
}

TEST(PlanRowsTest, MarkedTakesMarkedFileRowsAndFolderRowsInListOrder) {
    Trees trees = MixedTrees();
    // Folder rows (state image 3) take part but carry nothing; the equal row
    // (image 4) never takes part.
    EXPECT_EQ(Outline(PlanRows::Marked(trees.rows, trees.Offset())),
              (std::vector<std::string>{"0  ", "-1 aelter_q.txt aelter_q.txt", "1 neuer_q.txt neuer_q.txt",
                                        "0  ", "-1  nur_z/datei.txt", "0  ", "1 sub/nur_q.txt "}));

    // An unmarked row (image 1) no longer takes part; marking it again brings it back.
    trees.rows.ToggleMark(trees.RowOf("neuer_q.txt"));
    EXPECT_EQ(Outline(PlanRows::Marked(trees.rows, trees.Offset())),
              (std::vector<std::string>{"0  ", "-1 aelter_q.txt aelter_q.txt", "0  ", "-1  nur_z/datei.txt",
                                        "0  ", "1 sub/nur_q.txt "}));
    trees.rows.ToggleMark(trees.RowOf("neuer_q.txt"));
    EXPECT_EQ(PlanRows::Marked(trees.rows, trees.Offset()).size(), 7u);
}

TEST(PlanRowsTest, SelectedFollowsListOrderNotSelectionOrder) {
    const Trees trees = MixedTrees();
    const size_t equal = trees.RowOf("gleich.txt");
    const size_t newer = trees.RowOf("neuer_q.txt");
    const size_t targetOnly = trees.RowOf("nur_z/datei.txt");
    const std::vector<size_t> selected{targetOnly, equal, newer, equal, trees.rows.size() + 5, 0};
    // Row 0 is the root folder row; marks play no part.
    EXPECT_EQ(Outline(PlanRows::Selected(trees.rows, selected, trees.Offset())),
              (std::vector<std::string>{"0  ", "0 gleich.txt gleich.txt", "1 neuer_q.txt neuer_q.txt",
                                        "-1  nur_z/datei.txt"}));
    EXPECT_TRUE(PlanRows::Selected(trees.rows, {}, trees.Offset()).empty());
}

TEST(PlanRowsTest, RowsHiddenByTheFilterAreNotThere) {
    const Trees trees({{"a.txt", kNew}, {"b.txt", kOld}}, {{"a.txt", kOld}, {"b.txt", kNew}},
                      DisplayFilterValue::SourceToTarget);
    EXPECT_EQ(Outline(PlanRows::Marked(trees.rows, trees.Offset())), (std::vector<std::string>{"0  ", "1 a.txt a.txt"}));
}

TEST(PlanRowsTest, PlansGetFullPathsAndTheOtherSidesOwnName) {
    // Names that differ only in case pair up; the destination is the other
    // side's own file, not a new file with the source's spelling.
    const Trees trees({{"Brief.TXT", kNew}, {"neu/teil.txt", kOld}, {"weg.txt", kOld}},
                      {{"brief.txt", kOld}, {"alt/rest.txt", kNew}, {"weg.txt", kOld}});
    const std::string& q = trees.matcher.sourceRoot();
    const std::string& z = trees.matcher.targetRoot();
    ASSERT_EQ(q.back(), '/');

    const SyncPlan sync = BuildSyncPlan(PlanRows::Marked(trees.rows, trees.Offset()), Root::Local(q), Root::Local(z));
    EXPECT_EQ(Lines(sync.sourceToTarget.pairs),
              (std::vector<std::string>{q + "Brief.TXT -> " + z + "brief.txt", q + "neu/teil.txt -> " + z + "neu/teil.txt"}));
    EXPECT_EQ(Lines(sync.targetToSource.pairs),
              (std::vector<std::string>{z + "alt/rest.txt -> " + q + "alt/rest.txt"}));
    // Each path keeps the compared root it is confined to.
    EXPECT_EQ(sync.targetToSource.pairs[0].from.root(), z);
    EXPECT_EQ(sync.targetToSource.pairs[0].to.root(), q);

    // Selecting everything (list order: the root's files, then each folder's): the
    // equal row is skipped by the copy and deleted on both sides.
    std::vector<size_t> all(trees.rows.size());
    for (size_t i = 0; i < all.size(); ++i) all[i] = i;
    const std::vector<PlanRow> selected = PlanRows::Selected(trees.rows, all, trees.Offset());
    EXPECT_EQ(Lines(BuildCopyPlan(selected, Root::Local(q), Root::Local(z)).pairs),
              (std::vector<std::string>{q + "Brief.TXT -> " + z + "brief.txt", z + "alt/rest.txt -> " + q + "alt/rest.txt",
                                        q + "neu/teil.txt -> " + z + "neu/teil.txt"}));
    const DeletePlan deletion = BuildDeletePlan(selected, Root::Local(q), Root::Local(z));
    EXPECT_EQ(Lines(deletion.sourceFiles),
              (std::vector<std::string>{q + "Brief.TXT", q + "weg.txt", q + "neu/teil.txt"}));
    EXPECT_EQ(Lines(deletion.targetFiles),
              (std::vector<std::string>{z + "brief.txt", z + "weg.txt", z + "alt/rest.txt"}));
}

TEST(PlanRowsTest, NamesAreTakenAsTheirBytes) {
    // "|" and a line break are ordinary name bytes here, and so is a byte that
    // is not UTF-8; none of them splits a path or is rewritten.
    const std::string name = std::string("a|b\nc") + char(0xff) + ".txt";
    const Trees trees({{name, kNew}, {"a", kOld}, {"b", kOld}}, {{"a", kOld}, {"b", kOld}});
    const std::vector<PlanRow> marked = PlanRows::Marked(trees.rows, trees.Offset());
    ASSERT_EQ(marked.size(), 2u);
    EXPECT_EQ(marked[1].sourcePath, name);
    EXPECT_EQ(marked[1].targetPath, "");
    const SyncPlan sync = BuildSyncPlan(marked, trees.matcher.source(), trees.matcher.target());
    EXPECT_EQ(Lines(sync.sourceToTarget.pairs),
              (std::vector<std::string>{trees.matcher.sourceRoot() + name + " -> " + trees.matcher.targetRoot() + name}));
}

}  // namespace
}  // namespace kirvo
