// What a side could not read is unknown, never empty: a lister that fails on
// command (a folder that cannot be opened, a listing cut after some names, a
// name that cannot be inspected, a root that cannot be read) drives the scan,
// and the pairs, the list and the plans built on them are checked.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "engine/tree_matcher.h"
#include "fileops/delete_plan.h"
#include "fileops/sync_plan.h"
#include "view/plan_rows.h"
#include "view/result_rows.h"

namespace kirvo {
namespace {

constexpr int64_t kT = 1'300'000'000;

// One side's tree and where it fails.
struct FakeSide {
    std::vector<std::string> files;            // relative paths; "name+" is a minute newer
    int rootError = 0;                         // OpenRoot fails
    std::map<std::string, int> openFails;      // folder ("a/") -> error
    std::map<std::string, size_t> cutAfter;    // folder -> names delivered before EIO
    std::map<std::string, int> statFails;      // "a/f" -> error
};

class FailingLister final : public DirectoryLister {
public:
    explicit FailingLister(const FakeSide& side) : side_(side) {
        for (std::string path : side.files) {
            int64_t seconds = kT;
            if (path.back() == '+') path.pop_back(), seconds += 60;
            std::string folder;
            for (size_t slash; (slash = path.find('/', folder.size())) != std::string::npos;) {
                const std::string sub = path.substr(0, slash + 1);
                Add(folder, {sub.substr(folder.size(), sub.size() - folder.size() - 1), RecordKind::Directory, 0});
                folder = sub;
            }
            Add(folder, {path.substr(folder.size()), RecordKind::File, seconds});
        }
    }
    ListingStatus OpenRoot(const std::string&) override {
        if (side_.rootError == 0) return {};
        return ListingStatus::Failed(side_.rootError, "Wurzel: Fehler " + std::to_string(side_.rootError));
    }
    int AutomaticInFlight() const override { return 1; }
    void SetInFlight(int) override {}
    void Start(const Request& request, ListingReceiver& receiver) override {
        const std::string folder(request.relative);
        if (const auto fails = side_.openFails.find(folder); fails != side_.openFails.end())
            return receiver.Finished(ListingStatus::Failed(fails->second, "Keine Berechtigung"), nullptr);
        const auto cut = side_.cutAfter.find(folder);
        size_t delivered = 0;
        for (const Rec& rec : folders_[folder]) {
            if (cut != side_.cutAfter.end() && delivered++ == cut->second)
                return receiver.Finished(ListingStatus::Failed(EIO, "Liste brach ab"), nullptr);
            DirectoryRecord record;
            record.name = rec.name;
            record.kind = rec.kind;
            record.modifiedSeconds = rec.seconds;
            if (const auto fails = side_.statFails.find(folder + rec.name); fails != side_.statFails.end()) {
                record.kind = RecordKind::Unknown;
                record.error = fails->second;
                record.reason = "E/A-Fehler";
            }
            receiver.Record(record);
        }
        receiver.Finished({}, nullptr);
    }

private:
    struct Rec {
        std::string name;
        RecordKind kind;
        int64_t seconds;
    };
    void Add(const std::string& folder, Rec rec) {
        std::vector<Rec>& list = folders_[folder];
        for (const Rec& known : list)
            if (known.name == rec.name) return;
        list.push_back(std::move(rec));
    }
    const FakeSide& side_;
    std::map<std::string, std::vector<Rec>> folders_;
};

// Each pair: "verdict source target" and the unread sides ("Q", "Z") behind it.
std::vector<std::string> Pairs(const TreeMatcher& m) {
    std::vector<std::string> out;
    for (const FilePair& p : m.pairs()) {
        std::string line = std::to_string(static_cast<int>(p.verdict));
        line += " " + (p.source ? p.source->relativePath() : std::string("-"));
        line += " " + (p.target ? p.target->relativePath() : std::string("-"));
        if (p.unknownSides & FilePair::kSourceUnknown) line += " Q?";
        if (p.unknownSides & FilePair::kTargetUnknown) line += " Z?";
        out.push_back(line);
    }
    return out;
}

TEST(UnreadablePlaces, AreUnknownNeverEmptyAndNothingIsWrittenThere) {
    const struct Case {
        const char* what;
        FakeSide source, target;
        std::vector<std::string> pairs;
        std::vector<std::string> places;      // the place rows' texts, in list order
        std::vector<std::string> copies;      // what Synchronise copies
        std::vector<std::string> notDeleted;  // Delete of every row leaves these alone
    } cases[] = {
        {"a folder that cannot be opened",
         {{"a.txt", "Dokumente/x"}, 0, {{"Dokumente/", EACCES}}},
         {{"a.txt", "Dokumente/brief"}},
         {"0 a.txt a.txt", "4 - Dokumente/brief Q?"},
         {"nicht lesbar: Dokumente/ – Keine Berechtigung|?|"},
         {},
         {}},
        {"a listing cut short: what it gave is known, the rest unknown",
         {{"d/x1", "d/only-here", "d/x2"}, 0, {}, {{"d/", 2}}},
         {{"d/x1", "d/x2", "e/y"}},
         {"1 d/only-here - Q?", "0 d/x1 d/x1 Q?", "4 - d/x2 Q?", "-1 - e/y"},
         {"nicht lesbar: d/ – Liste brach ab|?|"},
         {"Q->Z d/only-here", "Z->Q e/y"},
         {"d/only-here"}},
        {"a name that cannot be inspected, on the target",
         {{"f.txt+", "g/h+", "i"}},
         {{"f.txt", "g/h", "i"}, 0, {}, {}, {{"f.txt", EIO}, {"g", EIO}}},
         {"4 f.txt - Z?", "0 i i", "4 g/h - Z?"},
         {"|?|nicht lesbar: f.txt – E/A-Fehler", "|?|nicht lesbar: g – E/A-Fehler"},
         {},
         {}},
        {"a newer file in a target folder cut short is not replaced there",
         {{"d/f+", "d/g"}},
         {{"d/f", "d/g", "d/z"}, 0, {}, {{"d/", 1}}},
         {"1 d/f d/f Z?", "4 d/g - Z?"},
         {"|?|nicht lesbar: d/ – Liste brach ab"},
         {},
         {"d/f"}},
        {"a root that cannot be read",
         {{"a.txt", "s/b"}, EACCES},
         {{"a.txt", "s/b", "t/c"}},
         {"4 - a.txt Q?", "4 - s/b Q?", "4 - t/c Q?"},
         {"nicht lesbar: Q/ – Wurzel: Fehler 13|?|"},
         {},
         {}},
        {"a root that does not exist is empty",
         {{}, ENOENT},
         {{"a.txt"}},
         {"-1 - a.txt"},
         {},
         {"Z->Q a.txt"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RunOptions options;
        options.listers = [&c](const std::string& root) {
            return std::make_unique<FailingLister>(root == "Q/" ? c.source : c.target);
        };
        TreeMatcher matcher;
        std::string source = "Q", target = "Z";
        matcher.Run(Root::Local(source), Root::Local(target), options);
        EXPECT_EQ(Pairs(matcher), c.pairs);

        const ResultRows rows(matcher, DisplayFilter(DisplayFilterValue::Unequal));
        std::vector<std::string> places;
        for (size_t row = 0; row < rows.size() && rows.Place(row); ++row) {
            EXPECT_EQ(rows.StateImage(row), ResultRows::kUnknown);
            places.push_back(rows.CellText(row, 0) + "|" + rows.CellText(row, 4) + "|" + rows.CellText(row, 5));
        }
        EXPECT_EQ(places, c.places);
        EXPECT_TRUE(ResultRows(matcher, DisplayFilter(DisplayFilterValue::SourceToTarget)).Place(0) == nullptr);

        std::vector<std::string> copies;
        const SyncPlan plan = BuildSyncPlan(PlanRows::Marked(rows, 0), Root::Local("Q/"), Root::Local("Z/"));
        for (const CopyPair& p : plan.sourceToTarget.pairs) copies.push_back("Q->Z " + std::string(p.from.relative()));
        for (const CopyPair& p : plan.targetToSource.pairs) copies.push_back("Z->Q " + std::string(p.from.relative()));
        EXPECT_EQ(copies, c.copies);

        std::vector<size_t> everyRow(rows.size());
        for (size_t i = 0; i < everyRow.size(); ++i) everyRow[i] = i;
        const DeletePlan deletes = BuildDeletePlan(PlanRows::Selected(rows, everyRow, 0), Root::Local("Q/"), Root::Local("Z/"));
        EXPECT_EQ(deletes.passedOver, c.notDeleted);
    }
}

}  // namespace
}  // namespace kirvo
