// Snapshots: a folder's listing saved into one file and compared later as a
// root of its own, read-only.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_test_run.h"
#include "platform/snapshot/snapshot_file.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace kirvo {
namespace {

using test::Cli;
using test::CliResult;
using test::MakeTree;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = 1'400'000'000;

// The unequal rows of a comparison, "name arrow" each, sorted; the status first.
std::vector<std::string> UnequalRows(const std::string& source, const std::string& target, const std::string& by) {
    const CliResult r = Cli({"compare", "--format=tsv", "--compare=" + by, source, target});
    std::vector<std::string> rows{std::to_string(r.status)};
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) cells.push_back(cell);
        if (cells.size() < 7 || cells[0] == "3") continue;  // folder rows and the totals
        rows.push_back((cells[1].empty() ? cells[6] : cells[1]) + " " + cells[5]);
    }
    std::sort(rows.begin() + 1, rows.end());
    return rows;
}

TEST(Snapshot, ATreeComparesEqualToItsSnapshotAndAfterEditsShowsExactlyThem) {
    TempDir dir;
    const std::string tree = dir / "baum";
    MakeTree(tree, {{"gleich.txt", kOld, "gleich"}, {"zeit.txt", kOld, "zeit"}, {"groesse.txt", kOld, "1234"},
                    {"inhalt.txt", kOld, "abcd"}, {"weg.txt", kOld, "weg"}, {"tief/unten/datei", kOld, "u"}});
    test::MakeDirs(tree + "/leer");
    test::SetModified(tree + "/gleich.txt", kOld, 123456789);
    const std::string before = dir / "vorher.kirvo-snapshot";
    const CliResult saved = Cli({"snapshot", "save", "--hashes", tree, before});
    ASSERT_EQ(saved.status, kExitEqual) << saved.err;
    EXPECT_EQ(saved.out, "Schnappschuss gespeichert: " + before + " (6 Dateien, 4 Ordner, mit Prüfsummen)\n");
    for (const char* by : {"time", "time-size", "content"}) {
        EXPECT_EQ(UnequalRows(tree, "snapshot:" + before, by), std::vector<std::string>{"0"}) << by;
        EXPECT_EQ(UnequalRows("snapshot:" + before, tree, by), std::vector<std::string>{"0"}) << by;
    }
    // Times to the nanosecond, and the hash of the content.
    std::unique_ptr<SnapshotFile> file;
    std::string reason;
    ASSERT_EQ(SnapshotFile::Open(before, true, file, reason), 0) << reason;
    SnapshotFile::Entry entry;
    ASSERT_EQ(file->Find("gleich.txt", entry), 0);
    EXPECT_EQ(entry.seconds, kOld);
    EXPECT_EQ(entry.nanoseconds, 123456789u);
    EXPECT_TRUE(entry.hashed);
    EXPECT_EQ(file->summary().folder, tree);

    test::SetModified(tree + "/zeit.txt", kNew);
    WriteFile(tree + "/groesse.txt", "12345", kOld);  // another size, the same time
    WriteFile(tree + "/inhalt.txt", "wxyz", kOld);    // other bytes, the same size and time
    std::filesystem::remove(tree + "/weg.txt");
    WriteFile(tree + "/neu.txt", "n", kNew);
    const std::string after = dir / "nachher.kirvo-snapshot";
    ASSERT_EQ(Cli({"snapshot", "save", "--hashes", tree, after}).status, kExitEqual);
    const struct {
        const char* by;
        std::vector<std::string> rows;
    } cases[] = {
        {"time", {"1", "neu.txt --->", "weg.txt <---", "zeit.txt --->"}},
        {"time-size", {"1", "groesse.txt <?>", "neu.txt --->", "weg.txt <---", "zeit.txt --->"}},
        {"content", {"1", "groesse.txt <?>", "inhalt.txt <?>", "neu.txt --->", "weg.txt <---"}},  // same bytes: equal
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UnequalRows(tree, "snapshot:" + before, c.by), c.rows) << c.by;
        // Two snapshots compare as the trees they were saved of.
        EXPECT_EQ(UnequalRows("snapshot:" + after, "snapshot:" + before, c.by), c.rows) << c.by;
    }
    // Without hashes, contents cannot be compared: each such pair says so, none passes for equal.
    const std::string bare = dir / "ohne.kirvo-snapshot";
    ASSERT_EQ(Cli({"snapshot", "save", tree, bare}).status, kExitEqual);
    const CliResult content = Cli({"compare", "--compare=content", tree, "snapshot:" + bare});
    EXPECT_EQ(content.status, kExitUnequal);
    EXPECT_NE(content.out.find("gleich.txt: Der Schnappschuss des Ziels enthält keine Prüfsumme der Datei; ihr Inhalt "
                               "lässt sich nicht vergleichen."),
              std::string::npos)
        << content.out;
}

// What could not be read when the snapshot was saved stays unknown in every
// comparison with it, never absent.
TEST(Snapshot, PlacesNotReadWhenSavedStayUnknown) {
    TempDir dir;
    MakeTree(dir / "baum", {{"a.txt", kOld}, {"zu/b.txt", kOld}});
    chmod((dir / "baum/zu").c_str(), 0);
    const std::string saved = test::Unprivileged(dir.path(), [&] {
        const CliResult r = Cli({"snapshot", "save", dir / "baum", dir / "s.kirvo-snapshot"});
        return std::to_string(r.status) + " " + r.err;
    });
    chmod((dir / "baum/zu").c_str(), 0755);
    EXPECT_EQ(saved.rfind("4 kirvo-cli snapshot: nicht lesbar: zu/ – ", 0), 0u) << saved;
    const CliResult r = Cli({"compare", "--format=tsv", dir / "baum", "snapshot:" + dir / "s.kirvo-snapshot"});
    EXPECT_EQ(r.status, kExitUnreadable);
    EXPECT_NE(r.out.find("6\tb.txt\t"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("(beim Speichern des Schnappschusses)"), std::string::npos) << r.err;
}

// A snapshot is compared, never written to or read from as a folder; a file
// that is no snapshot, or a damaged one, is said so and never compared as an
// empty folder.
TEST(Snapshot, RefusalsAndFilesThatAreNoSnapshotsAreClearErrors) {
    TempDir dir;
    const std::string tree = dir / "baum";
    MakeTree(tree, {{"a.txt", kNew, "a"}, {"b/c.txt", kOld, "c"}});
    for (int i = 0; i < 300; ++i) WriteFile(tree + "/viele/" + std::to_string(i), "x", kOld);
    const std::string good = dir / "gut.kirvo-snapshot";
    ASSERT_EQ(Cli({"snapshot", "save", tree, good}).status, kExitEqual);
    const std::string text = dir / "text.txt";
    WriteFile(text, "kein Schnappschuss", kOld);
    const std::string foreign = dir / "fremd.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE meta(key, value); INSERT INTO meta VALUES('format', 'kirvo-snapshot');", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
    // Pages overwritten in the middle, and a file cut short.
    const auto size = std::filesystem::file_size(good);
    const std::string damaged = dir / "kaputt.kirvo-snapshot", cut = dir / "halb.kirvo-snapshot";
    std::filesystem::copy_file(good, damaged);
    std::filesystem::copy_file(good, cut);
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(size / 2));
        f << std::string(4096, '\x5a');
    }
    std::filesystem::resize_file(cut, size / 2);
    const std::string fresh = dir / "neu.kirvo-snapshot";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"compare", tree, "snapshot:" + dir / "fehlt.kirvo-snapshot"}, kExitUnreadable, "fehlt.kirvo-snapshot“ existiert nicht."},
        {{"compare", "snapshot:" + text, tree}, kExitUnreadable, "keine Schnappschussdatei von Kirvo"},
        {{"compare", tree, "snapshot:" + foreign}, kExitUnreadable, "keine Schnappschussdatei von Kirvo"},
        {{"compare", tree, "snapshot:" + damaged}, kExitUnreadable, "der Schnappschuss ist beschädigt"},
        {{"compare", tree, "snapshot:" + cut}, kExitUnreadable, "lässt sich nicht als Schnappschuss lesen"},
        {{"compare", tree, "snapshot:" + dir.path()}, kExitUnreadable, "keine Schnappschussdatei von Kirvo"},
        {{"compare", tree, "snapshot:"}, kExitUsage, "Nach „snapshot:“ fehlt die Schnappschussdatei."},
        {{"compare", "--mode=mirror", tree, "snapshot:" + good}, kExitUsage, "ist ein Schnappschuss"},
        {{"sync", "--yes", tree, "snapshot:" + good}, kExitUsage, "ist ein Schnappschuss"},
        {{"sync", "--yes", "--mode=mirror", "snapshot:" + good, tree}, kExitUsage, "ist ein Schnappschuss"},
        {{"snapshot", "save", tree, text}, kExitUsage, "etwas anderes als ein Schnappschuss"},
        {{"snapshot", "save", "snapshot:" + good, fresh}, kExitUsage, "ist ein Schnappschuss, kein Ordner"},
        {{"snapshot", "save", dir / "nirgends", fresh}, kExitUnreadable, "Es wurde nichts gespeichert."},
        {{"snapshot", "save", tree}, kExitUsage, "Es fehlt das Argument DATEI."},
        {{"snapshot", "zeige", tree, fresh}, kExitUsage, "erlaubt ist save"},
    };
    for (const auto& c : cases) {
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.message << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.message;
    }
    EXPECT_EQ(test::ReadFile(text), "kein Schnappschuss");
    EXPECT_FALSE(std::filesystem::exists(fresh));
    EXPECT_EQ(test::ReadFile(tree + "/a.txt"), "a");
    // Nothing of ours is left beside them.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".kirvo-tmp"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace kirvo
