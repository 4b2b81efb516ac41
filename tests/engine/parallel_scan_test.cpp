// The scan with several listings under way gives the sequential result bit
// for bit: the same walk (folder numbers, entry table), pairs, rows and filter
// questions, on seeded random trees served by an in-memory lister that
// answers in random order, and on real trees through the local lister. Trees
// that change while they are scanned end the run cleanly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/scan_filter.h"
#include "engine/scan_progress.h"
#include "engine/text_compare.h"
#include "engine/tree_matcher.h"
#include "platform/worker_pool.h"
#include "support/temp_tree.h"
#include "view/result_rows.h"

namespace kirvo {
namespace {

constexpr int64_t kT = 1'300'000'000;

// An in-memory tree: nodes are never destroyed, only unlinked, so a listing
// that raced with a change still reads valid memory.
struct FakeTree {
    struct Node {
        Node(std::string n = {}, RecordKind k = RecordKind::File, bool s = false, uint64_t z = 0, int64_t t = kT)
            : name(std::move(n)), kind(k), system(s), size(z), seconds(t) {}
        std::string name;
        RecordKind kind;
        bool system;
        uint64_t size;
        int64_t seconds;
        std::vector<size_t> children;  // in listing order
    };
    std::vector<Node> nodes{Node{"", RecordKind::Directory}};
    mutable std::mutex mutex;

    size_t Add(size_t parent, Node node) {
        nodes.push_back(std::move(node));
        nodes[parent].children.push_back(nodes.size() - 1);
        return nodes.size() - 1;
    }
    // Copies `node` of `from` with everything below it under `parent`.
    void Copy(size_t parent, const FakeTree& from, size_t node) {
        Node copy = from.nodes[node];
        copy.children.clear();
        const size_t added = Add(parent, copy);
        for (size_t child : from.nodes[node].children) Copy(added, from, child);
    }
    // The folder at `relative` ("a/b/"), or -1.
    long Find(std::string_view relative, long from = 0) const {
        size_t at = static_cast<size_t>(from);
        while (!relative.empty()) {
            const size_t slash = relative.find('/');
            const std::string_view name = relative.substr(0, slash);
            long next = -1;
            for (size_t child : nodes[at].children)
                if (nodes[child].name == name && nodes[child].kind == RecordKind::Directory) next = static_cast<long>(child);
            if (next < 0) return -1;
            at = static_cast<size_t>(next);
            relative.remove_prefix(slash + 1);
        }
        return static_cast<long>(at);
    }
};

// Names that meet in one ignore-case group, sort around the separator, or start with dots.
const char* const kNames[] = {"a", "A", "b.txt", "B.TXT", "a b", "a-b", "a1", ".x", "..y", "k-keep", "x-skip",
                              "z.tmp", "Daten", "daten", "\xE4rger", "m"};

void Grow(FakeTree& tree, size_t folder, int depth, std::mt19937& rng) {
    std::set<std::string> used;
    const int files = static_cast<int>(rng() % 9), subs = depth < 4 ? static_cast<int>(rng() % 4) : 0;
    for (int i = 0; i < files + subs; ++i) {
        std::string name = kNames[rng() % std::size(kNames)];
        if (rng() % 3 == 0) name += std::to_string(rng() % 20);
        if (!used.insert(name).second) continue;
        FakeTree::Node node{name, i < files ? RecordKind::File : RecordKind::Directory};
        if (rng() % 17 == 0) node.kind = RecordKind::Other;
        node.system = node.kind == RecordKind::Directory && rng() % 5 == 0;
        node.size = rng() % 5000;
        node.seconds = kT + static_cast<int64_t>(rng() % 4) * (rng() % 2 ? 1 : 86400);
        const size_t added = tree.Add(folder, node);
        if (node.kind == RecordKind::Directory) Grow(tree, added, depth + 1, rng);
    }
}

// Lists a FakeTree from a worker pool, each listing after a random pause, so
// listings finish in an order of their own. Some listings wait for the
// device (by default half of the folders, by the seed), so the automatic
// number moves while the scan runs.
class FakeLister : public DirectoryLister {
public:
    FakeLister(FakeTree& tree, unsigned seed) : tree_(tree), rng_(seed) {
        waitsFor = [seed](std::string_view relative) { return (std::hash<std::string_view>{}(relative) ^ seed) % 2 != 0; };
    }
    ListingStatus OpenRoot(const std::string&) override { return {}; }
    int AutomaticInFlight() const override { return 1; }
    int AutomaticLimit() const override { return 16; }
    void SetInFlight(int count) override {
        if (record) record->push_back(count);
        inFlight_ = count;
        if (count > 1) pool_.Grow(count);
    }
    Waits waits() const override { return {listings_.load(), waited_.load()}; }
    void Start(const Request& request, ListingReceiver& receiver) override {
        if (inFlight_ <= 1) return List(request, receiver, 0);
        int pause;
        {
            const std::lock_guard lock(rngMutex_);
            pause = static_cast<int>(rng_() % 300);
        }
        pool_.Post([this, request, &receiver, pause] { List(request, receiver, pause); });
    }

    struct Open : OpenFolder {
        explicit Open(long n) : node(n) {}
        long node;
    };
    std::function<bool(std::string_view relative)> waitsFor;
    std::vector<int>* record = nullptr;  // where the numbers of listings at once go, as the scan sets them

private:
    void Count(std::string_view relative) {
        if (waitsFor(relative)) ++waited_;
        ++listings_;
    }
    void List(const Request& request, ListingReceiver& receiver, int pauseMicroseconds) {
        std::this_thread::sleep_for(std::chrono::microseconds(pauseMicroseconds));
        std::vector<FakeTree::Node> records;
        long folder;
        {
            const std::lock_guard lock(tree_.mutex);
            folder = tree_.Find(request.relative);
            if (request.parent != nullptr) {
                // Reached through the parent: the same folder as by path, unless the tree changed.
                std::string_view last = request.relative.substr(0, request.relative.size() - 1);
                last = last.substr(last.rfind('/') + 1);
                const long viaParent = tree_.Find(std::string(last) + "/", static_cast<const Open*>(request.parent)->node);
                if (viaParent != folder) folder = viaParent;
            }
            if (folder >= 0)
                for (size_t child : tree_.nodes[static_cast<size_t>(folder)].children) records.push_back(tree_.nodes[child]);
        }
        Count(request.relative);
        if (folder < 0) return receiver.Finished(ListingStatus::Failed(ENOENT, "weg"), nullptr);
        for (const char* dots : {".", ".."}) {
            DirectoryRecord record;
            record.name = dots;
            record.kind = RecordKind::Directory;
            receiver.Record(record);
        }
        for (const FakeTree::Node& node : records) {
            DirectoryRecord record;
            record.name = node.name;
            record.kind = request.detail == Detail::NamesOnly && node.kind != RecordKind::Directory ? RecordKind::Other : node.kind;
            record.isSystem = request.detail == Detail::FullWithSystemBit && node.system;
            record.size = node.size;
            record.modifiedSeconds = node.seconds;
            record.modifiedNanoseconds = static_cast<uint32_t>(node.size % 1000) * 1'000'000;
            receiver.Record(record);
        }
        receiver.Finished({}, std::make_unique<Open>(folder));
    }

    FakeTree& tree_;
    std::atomic<int> inFlight_{1};
    std::atomic<int64_t> listings_{0}, waited_{0};
    std::mutex rngMutex_;
    std::mt19937 rng_;
    WorkerPool pool_;  // last: joined before the rest goes
};

// Leaves out folders named x-..., files named *.tmp; k-... folders carry the bit.
// Records every question it is asked.
class RecordingFilter : public ScanFilter {
public:
    FolderDecision Folder(std::string_view path, std::string_view name, bool parentIncluded) const override {
        Note("D " + std::string(path) + " " + std::string(name) + " " + std::to_string(parentIncluded));
        return {name.substr(0, 2) != "x-", parentIncluded || name.substr(0, 2) == "k-"};
    }
    bool File(std::string_view folder, std::string_view name, bool folderIncluded) const override {
        Note("F " + std::string(folder) + " " + std::string(name) + " " + std::to_string(folderIncluded));
        return folderIncluded || name.size() < 4 || name.substr(name.size() - 4) != ".tmp";
    }
    mutable std::multiset<std::string> asked;

private:
    void Note(std::string text) const {
        const std::lock_guard lock(mutex_);
        asked.insert(std::move(text));
    }
    mutable std::mutex mutex_;
};

std::string DescribeEntry(const FileEntry* e) {
    if (e == nullptr) return "-";
    return std::to_string(e->side()) + ":" + std::to_string(e->folderIndex()) + ":" + e->relativePath() + ":" +
           std::to_string(e->size()) + ":" + std::to_string(e->modifiedSeconds()) + "." +
           std::to_string(e->modifiedMilliseconds());
}

// Walk order (entry table before the sort), pairs, and the rows' texts.
struct ScanResult {
    std::vector<std::string> walk, pairs, rows;
    std::multiset<std::string> asked;
    bool operator==(const ScanResult&) const = default;
};

ScanResult Scan(std::string source, std::string target, RunOptions options) {
    ScanResult result;
    RecordingFilter filter;
    if (options.filter != nullptr) options.filter = &filter;
    TreeMatcher matcher;
    matcher.Run(Root::Local(source), Root::Local(target), options);
    for (const FilePair& p : matcher.pairs())
        result.pairs.push_back(std::to_string(static_cast<int>(p.verdict)) + " " + DescribeEntry(p.source) + " " + DescribeEntry(p.target));
    const ResultRows rows(matcher, DisplayFilter(DisplayFilterValue::All));
    for (size_t row = 0; row < rows.size(); ++row) {
        std::string line = std::to_string(rows.StateImage(row));
        for (int column = 0; column < ResultRows::kColumnCount; ++column) line += "|" + rows.CellText(row, column);
        result.rows.push_back(line);
    }
    result.asked = filter.asked;
    matcher.ScanTrees(matcher.sourceRoot(), matcher.targetRoot());  // again, to read the table unsorted
    for (int32_t i = 0; i <= matcher.lastEntry(); ++i) result.walk.push_back(DescribeEntry(matcher.entries()[i]));
    return result;
}

// What holds for any run, even over trees that changed while they were read.
void ExpectConsistent(const TreeMatcher& m) {
    std::map<std::pair<int, int32_t>, std::string_view> folderOf;
    for (int32_t i = 0; i <= m.lastEntry(); ++i) {
        const FileEntry& e = *m.entries()[i];
        const auto [it, added] = folderOf.emplace(std::make_pair(e.side(), e.folderIndex()), e.folder());
        EXPECT_EQ(it->second.data(), e.folder().data()) << "one folder text per folder index";
        if (i > 0) {
            EXPECT_LE(TreeMatcher::OrderEntries(*m.entries()[i - 1], e), 0);
        }
    }
    size_t paired = 0;
    for (const FilePair& p : m.pairs()) {
        paired += (p.source ? 1 : 0) + (p.target ? 1 : 0);
        EXPECT_TRUE(!p.source || p.source->side() == kSourceSide);
        EXPECT_TRUE(!p.target || p.target->side() == kTargetSide);
        EXPECT_TRUE(!p.source || !p.target || EqualIgnoreCase(p.source->relativePath(), p.target->relativePath()));
    }
    EXPECT_EQ(paired, static_cast<size_t>(m.lastEntry() + 1));
}

TEST(ParallelScan, GivesTheSequentialResultOnRandomTreesAndEndsCleanlyOnChangingOnes) {
    for (unsigned seed = 1; seed <= 24; ++seed) {
        std::mt19937 rng(seed);
        FakeTree source, target;
        Grow(source, 0, 0, rng);
        Grow(target, 0, 0, rng);
        // Much of the source again in the target, so that pairs of every kind arise.
        for (size_t child : std::vector<size_t>(source.nodes[0].children))
            if (rng() % 2 != 0) target.Copy(0, source, child);
        RunOptions options;
        options.excludeSubFolders = seed % 3 == 0;
        options.excludeSystemFolders = seed % 4 == 1;
        options.twoSecondTolerance = seed % 2 == 0;
        RecordingFilter marker;  // stands for "a filter is set"; Scan hands each run its own
        if (seed % 5 < 2) options.filter = &marker;
        options.listers = [&](const std::string& root) {
            return std::make_unique<FakeLister>(root == "S/" ? source : target, seed);
        };
        options.parallel = 1;
        const ScanResult sequential = Scan("S", "T", options);
        for (int parallel : {0, 2, 3, 16}) {
            options.parallel = parallel;
            EXPECT_EQ(Scan("S", "T", options), sequential) << "seed " << seed << ", parallel " << parallel;
        }
    }

    // Changed while it is read: folders and files come and go between and during listings.
    for (unsigned seed = 100; seed < 112; ++seed) {
        std::mt19937 rng(seed);
        FakeTree source, target;
        for (int i = 0; i < 3; ++i) Grow(source, 0, 0, rng), Grow(target, 0, 0, rng);
        std::atomic<bool> scanning{true};
        std::thread changer([&] {
            std::mt19937 r(seed);
            while (scanning) {
                FakeTree& tree = r() % 2 ? source : target;
                {
                    const std::lock_guard lock(tree.mutex);
                    FakeTree::Node& folder = tree.nodes[r() % tree.nodes.size()];
                    if (folder.kind == RecordKind::Directory && !folder.children.empty() && r() % 2)
                        folder.children.erase(folder.children.begin() + static_cast<long>(r() % folder.children.size()));
                    else if (folder.kind == RecordKind::Directory)
                        tree.Add(static_cast<size_t>(&folder - tree.nodes.data()),
                                 {std::string(kNames[r() % std::size(kNames)]) + std::to_string(r() % 50),
                                  r() % 3 ? RecordKind::File : RecordKind::Directory});
                }
                std::this_thread::sleep_for(std::chrono::microseconds(20));
            }
        });
        RunOptions options;
        options.parallel = 8;
        options.excludeSubFolders = seed % 2 == 0;
        options.listers = [&](const std::string& root) {
            return std::make_unique<FakeLister>(root == "S/" ? source : target, seed);
        };
        TreeMatcher matcher;
        for (int run = 0; run < 5; ++run) {
            std::string s = "S", t = "T";
            matcher.Run(Root::Local(s), Root::Local(t), options);
            ExpectConsistent(matcher);
        }
        scanning = false;
        changer.join();
    }
}

// Writes a FakeTree's files and folders below root.
void Materialise(const FakeTree& tree, size_t node, const std::string& path) {
    test::MakeDirs(path);
    for (size_t child : tree.nodes[node].children) {
        const FakeTree::Node& n = tree.nodes[child];
        if (n.kind == RecordKind::Directory) {
            Materialise(tree, child, path + "/" + n.name);
        } else if (n.kind == RecordKind::File) {
            test::WriteFile(path + "/" + n.name, std::string(n.size % 50, 'x'), n.seconds, 0);
        }
    }
}

TEST(ParallelScan, LocalListerGivesTheSequentialResultAndSurvivesChangingTrees) {
    test::TempDir dir;
    std::mt19937 rng(7);
    FakeTree tree[2];
    for (FakeTree& t : tree) {
        for (int i = 0; i < 4; ++i) Grow(t, 0, 0, rng);
        const size_t big = t.Add(0, {"viele", RecordKind::Directory});  // shared out among workers
        for (int i = 0; i < 150; ++i) t.Add(big, {"f" + std::to_string(i), RecordKind::File, false, static_cast<uint64_t>(i), kT + i % 3});
    }
    Materialise(tree[0], 0, dir / "q");
    Materialise(tree[1], 0, dir / "z");
    RunOptions options;
    options.parallel = 1;
    const ScanResult sequential = Scan(dir / "q", dir / "z", options);
    ASSERT_GT(sequential.pairs.size(), 200u);
    for (int parallel : {0, 4, 32}) {
        options.parallel = parallel;
        EXPECT_EQ(Scan(dir / "q", dir / "z", options), sequential) << "parallel " << parallel;
    }

    // Folders and files created and removed while the scan runs.
    std::atomic<bool> scanning{true};
    std::thread changer([&] {
        std::mt19937 r(11);
        namespace fs = std::filesystem;
        while (scanning) {
            const std::string folder = dir / (r() % 2 ? "q/viele/neu" : "z/a/neu") + std::to_string(r() % 4);
            std::error_code ec;
            if (r() % 2) {
                fs::create_directories(folder + "/tief", ec);
                test::WriteFile(folder + "/tief/d" + std::to_string(r() % 9), "n", kT);
            } else {
                fs::remove_all(folder, ec);
            }
        }
    });
    options.parallel = 8;
    TreeMatcher matcher;
    for (int run = 0; run < 20; ++run) {
        std::string s = dir / "q", t = dir / "z";
        matcher.Run(Root::Local(s), Root::Local(t), options);
        ExpectConsistent(matcher);
    }
    scanning = false;
    changer.join();
}

// The automatic number of listings at once rises while listings wait for the
// device and falls back once they stop: first three hundred folders that wait,
// then three hundred that answer at once. A number the user set stays.
TEST(ParallelScan, AutomaticNumberFollowsTheWaitsOfTheListings) {
    FakeTree tree;
    for (const char* part : {"langsam", "schnell"}) {
        const size_t folder = tree.Add(0, {part, RecordKind::Directory});
        for (int i = 0; i < 300; ++i)
            tree.Add(tree.Add(folder, {"o" + std::to_string(i), RecordKind::Directory}), {"f", RecordKind::File});
    }
    std::vector<int> set;
    RunOptions options;
    options.listers = [&](const std::string& root) {
        auto lister = std::make_unique<FakeLister>(tree, 5);
        lister->waitsFor = [](std::string_view relative) { return relative.starts_with("langsam/"); };
        if (root == "S/") lister->record = &set;
        return lister;
    };
    TreeMatcher matcher;
    std::string s = "S", t = "T";
    ASSERT_EQ(matcher.Run(Root::Local(s), Root::Local(t), options), 600);
    ASSERT_FALSE(set.empty());
    EXPECT_EQ(set.front(), 1);
    const auto highest = std::max_element(set.begin(), set.end());
    EXPECT_EQ(*highest, 16);
    EXPECT_EQ(set.back(), 1);
    EXPECT_TRUE(std::is_sorted(set.begin(), highest)) << "rises while the listings wait";
    // Listings finish in an order of their own: a slow one that ends among the
    // fast ones may raise the number once more on its way down.
    int falls = 0, rises = 0;
    for (auto it = highest; it + 1 != set.end(); ++it) {
        falls += *(it + 1) < *it;
        rises += *(it + 1) > *it;
    }
    EXPECT_GT(falls, rises) << "falls once they stop";

    set.clear();
    options.parallel = 3;
    matcher.Run(Root::Local(s), Root::Local(t), options);
    EXPECT_EQ(set, std::vector<int>{3});
}

TEST(ParallelScan, AStopLeavesTheEngineEmpty) {
    FakeTree tree;
    std::mt19937 rng(3);
    for (int i = 0; i < 6; ++i) Grow(tree, 0, 0, rng);
    ScanProgress progress;
    RunOptions options;
    options.parallel = 4;
    options.progress = &progress;
    // The first listing asks to stop: the scan ends, and nothing of it is kept.
    options.listers = [&](const std::string&) {
        struct Stopping : FakeLister {
            Stopping(FakeTree& t, ScanProgress& p) : FakeLister(t, 1), progress(p) {}
            void Start(const Request& request, ListingReceiver& receiver) override {
                progress.RequestStop();
                FakeLister::Start(request, receiver);
            }
            ScanProgress& progress;
        };
        return std::make_unique<Stopping>(tree, progress);
    };
    TreeMatcher matcher;
    std::string s = "S", t = "T";
    EXPECT_EQ(matcher.Run(Root::Local(s), Root::Local(t), options), 0);
    EXPECT_EQ(matcher.lastEntry(), -1);
    EXPECT_EQ(matcher.entries()[0], nullptr);
    EXPECT_TRUE(progress.currentFolder() == "S/" || progress.currentFolder() == "T/");
}

}  // namespace
}  // namespace kirvo
