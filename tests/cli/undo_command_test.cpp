#include "cli/undo_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_options.h"
#include "app/file_operation_controller.h"
#include "app/user_prompts.h"
#include "cli/cli_test_run.h"
#include "engine/path_filter.h"
#include "engine/tree_matcher.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/operation_log.h"
#include "fileops/run_log.h"
#include "fileops/scripted_ui.h"
#include "platform/file_node.h"
#include "platform/posix/local_file_transfer.h"
#include "support/mounted_file_system.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"
#include "view/result_rows.h"

namespace kirvo {
namespace {

using test::Cli;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = kOld + 7200;

// Everything a tree holds, as undo must bring it back: each path, folders
// included, with the bytes and the modification time of each file.
using Snapshot = std::map<std::string, std::string>;

Snapshot Snap(const std::string& root) {
    Snapshot snap;
    std::error_code ec;
    if (!std::filesystem::exists(root, ec)) return {{"", "fehlt"}};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string relative = entry.path().string().substr(root.size());
        struct stat st {};
        lstat(entry.path().c_str(), &st);
        snap[relative] = entry.is_directory() ? std::string("Ordner")
                                              : std::to_string(st.st_mtim.tv_sec) + "." +
                                                    std::to_string(st.st_mtim.tv_nsec) + " " + ReadFile(entry.path());
    }
    return snap;
}

// A log and a trash of the test's own, so runs of other tests are not in them.
struct OwnHome {
    TempDir dir;
    std::string state = std::getenv("XDG_STATE_HOME");
    std::string data = std::getenv("XDG_DATA_HOME");
    OwnHome() {
        setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    }
    ~OwnHome() {
        setenv("XDG_STATE_HOME", state.c_str(), 1);
        setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    std::string trash() const { return dir / "data/Trash"; }
    std::vector<LoggedRun> Runs() const {
        std::vector<LoggedRun> runs;
        std::string error;
        EXPECT_TRUE(RunLog::ReadRuns(OperationLog::DefaultPath(), runs, error)) << error;
        return runs;
    }
};

// Two random trees: files on one side or both, older or newer either way,
// equal ones, in folders a few levels deep; times to the nanosecond.
void MakeRandomTrees(uint32_t seed, const std::string& q, const std::string& z) {
    std::mt19937 random(seed);
    const auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    for (int i = 0; i < 40; ++i) {
        std::string path;
        for (uint32_t depth = pick(3); depth > 0; --depth) path += "d" + std::to_string(pick(3)) + "/";
        path += "f" + std::to_string(i) + ".txt";
        const std::string content(pick(300), static_cast<char>('a' + pick(26)));
        const int64_t time = kOld + pick(100000);
        const uint32_t nanoseconds = pick(1'000'000'000);
        switch (pick(5)) {
        case 0: WriteFile(q + "/" + path, content, time, nanoseconds); break;
        case 1: WriteFile(z + "/" + path, content, time, nanoseconds); break;
        case 2:
            WriteFile(q + "/" + path, content, time, nanoseconds);
            WriteFile(z + "/" + path, content, time, nanoseconds);
            break;
        default:
            WriteFile(q + "/" + path, content, time + (pick(2) ? 100 : -100), nanoseconds);
            WriteFile(z + "/" + path, content + "z", time, pick(1'000'000'000));
            break;
        }
    }
    if (seed % 3 == 0) std::filesystem::remove_all(z);  // a target the run has to make
}

// Changes a user makes to a synchronised pair before the next run: files
// renamed (within their folder and into new ones), deleted, changed, and
// a whole folder removed; on both sides, so some meet as conflicts.
void EditSettledTrees(uint32_t seed, const std::string& q, const std::string& z) {
    std::mt19937 random(seed * 7919);
    const auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    for (const std::string& root : {q, z}) {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const std::filesystem::path& file : files) {
            if (!std::filesystem::exists(file)) continue;
            switch (pick(8)) {
            case 0: {
                const std::filesystem::path into = root + "/umbenannt" + std::to_string(pick(2));
                std::filesystem::create_directories(into);
                std::filesystem::rename(file, into / file.filename());
                break;
            }
            case 1: std::filesystem::rename(file, file.parent_path() / ("n-" + file.filename().string())); break;
            case 2: std::filesystem::remove(file); break;
            case 3: WriteFile(file, "geändert " + file.string(), kNew + pick(1000), pick(1'000'000'000)); break;
            default: break;
            }
        }
    }
    std::filesystem::remove_all(q + "/d" + std::to_string(seed % 3));
}

// The modes a sync can run in. Mirror finds renames by themselves; two-way
// knows them (and deletions) from the state of a run before, made first.
struct SyncMode {
    const char* name;
    std::vector<std::string> options;
    bool settled;  // synchronised once, then edited, before the run undone
    std::vector<std::string> actions;  // what the runs undone did, over all seeds
};
const SyncMode kModes[] = {
    {"update", {}, false, {"kopiert", "ersetzt", "Ordner angelegt"}},
    {"mirror", {"--mode=mirror", "--max-delete=100%"}, false, {"umbenannt", "in den Papierkorb", "ersetzt"}},
    {"two-way", {"--mode=two-way", "--max-delete=100%"}, true, {"umbenannt", "in den Papierkorb", "Ordner entfernt"}}};

TEST(UndoCommand, RandomTreesSyncedThenUndoneAreAsBeforeAndRedoneAsAfter) {
    for (const SyncMode& mode : kModes) {
        std::string did;
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(std::string(mode.name) + ", seed " + std::to_string(seed));
            OwnHome home;
            TempDir dir;
            const std::string q = dir / "q", z = dir / "z";
            MakeRandomTrees(seed, q, z);
            std::vector<std::string> sync = {"sync", "--yes", "--quiet"};
            sync.insert(sync.end(), mode.options.begin(), mode.options.end());
            sync.insert(sync.end(), {q, z});
            if (mode.settled) {
                ASSERT_EQ(Cli(sync).status, kExitEqual);
                EditSettledTrees(seed, q, z);
            } else if (seed % 2 == 0) {
                // A file the source renamed, under its old name in the target.
                WriteFile(q + "/neu/name.txt", "umbenannt", kOld, 5);
                WriteFile(z + "/alt/name-alt.txt", "umbenannt", kOld, 5);
            }
            const Snapshot source = Snap(q), target = Snap(z);
            const test::CliResult synced = Cli(sync);
            ASSERT_LE(synced.status, kExitUnequal) << synced.out << synced.err;  // conflicts stay
            const Snapshot syncedSource = Snap(q), syncedTarget = Snap(z);
            ASSERT_NE(syncedTarget, target);

            const test::CliResult undo = Cli({"undo", "--yes", "--quiet"});
            EXPECT_EQ(undo.status, kExitEqual) << undo.out << undo.err;
            EXPECT_EQ(Snap(q), source);
            EXPECT_EQ(Snap(z), target);

            // Undo is a run of its own: taking it back is the sync once more.
            const std::vector<LoggedRun> runs = home.Runs();
            ASSERT_EQ(runs.size(), mode.settled ? 3u : 2u);
            EXPECT_EQ(runs[runs.size() - 2].undoneBy, runs.back().id);
            did += runs[runs.size() - 2].counts.text() + "; ";
            EXPECT_EQ(Cli({"undo", "--yes", "--quiet", runs.back().id}).status, kExitEqual);
            EXPECT_EQ(Snap(q), syncedSource);
            EXPECT_EQ(Snap(z), syncedTarget);
        }
        for (const std::string& action : mode.actions) EXPECT_NE(did.find(action), std::string::npos) << mode.name << ": " << did;
    }
}

// What changed since the run, or cannot be reached or put back now, stays and
// is named, in the closing sentence too; nothing is reported undone that was
// not, and nothing that stays leaves the trash. Undone once more after the
// cause is gone, what stayed follows.
TEST(UndoCommand, WhatCannotBeUndoneNowStaysAndIsNamed) {
    using Spoil = std::function<void(const std::string& z, std::optional<test::MountedFileSystem>& fs)>;
    struct Case {
        const char* name;
        const char* named;  // below the target: the file that stays
        std::string why;    // its reason, or how that begins
        Spoil spoil, mend;
        bool onlyItStays = true;    // the rest is undone the first time
        bool unprivileged = false;  // undone where permissions bind
        bool mounts = false;        // needs a file system of its own (root)
    };
    const auto mine = [](const char* path) -> Spoil {
        return [=](const std::string& z, auto&) { WriteFile(z + "/" + path, "meine Arbeit", kNew + 60); };
    };
    const auto gone = [](const char* path) -> Spoil {
        return [=](const std::string& z, auto&) { std::filesystem::remove(z + "/" + path); };
    };
    const auto writable = [](bool yes) -> Spoil {
        return [=](const std::string& z, auto&) { chmod(z.c_str(), yes ? 0755 : 0555); };
    };
    const Case cases[] = {
        {"a new copy changed since", "neu.txt", "seit dem Lauf geändert", mine("neu.txt"), gone("neu.txt")},
        {"a replacing copy changed since", "alt.txt", "seit dem Lauf geändert; die ersetzte Fassung bleibt im Papierkorb",
         mine("alt.txt"), gone("alt.txt")},
        {"the target not there (a stick not plugged in)", "neu.txt", "der Ordner „",
         [](const std::string& z, auto&) { std::filesystem::rename(z, z + ".weg"); },
         [](const std::string& z, auto&) { std::filesystem::rename(z + ".weg", z); }, false},
        {"a file that cannot leave the trash", "weg.txt", "lässt sich nicht aus dem Papierkorb zurückholen",
         writable(false), writable(true), false, true},
        {"a copy back from another file system that cannot take its place", "weg.txt",
         "an ihrer Stelle steht eine Datei, die der Lauf nicht gemacht hat; sie bleibt im Papierkorb",
         [](const std::string& z, std::optional<test::MountedFileSystem>& fs) {
             // The target's folder moves onto a file system of its own; the trash stays where it was.
             const std::string m = std::filesystem::path(z).parent_path();
             std::filesystem::rename(m, m + ".alt");
             ASSERT_TRUE(fs.emplace(m, "size=8m").mounted());
             ASSERT_EQ(std::system(("cp -a '" + m + ".alt/.' '" + m + "/'").c_str()), 0);
             // Another program saves there just before the copy from the trash takes its place.
             LocalFileTransfer::beforePlacing = [z](const std::string& name) {
                 if (name == "weg.txt") WriteFile(z + "/weg.txt", "meine Arbeit", kNew + 60);
             };
         },
         [](const std::string& z, auto&) {
             LocalFileTransfer::beforePlacing = nullptr;
             std::filesystem::remove(z + "/weg.txt");
         },
         true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.mounts && geteuid() != 0) continue;
        OwnHome home;
        std::optional<test::MountedFileSystem> fs;
        const std::string q = home.dir / "q", z = home.dir / "m/z";
        test::MakeTree(q, {{"neu.txt", kNew, "neu"}, {"alt.txt", kNew, "neuer"}, {"tief/x.txt", kNew, "x"}});
        test::MakeTree(z, {{"alt.txt", kOld, "alt"}, {"weg.txt", kOld, "weg"}});
        const Snapshot before = Snap(z);
        ASSERT_EQ(Cli({"sync", "--yes", "--quiet", "--mode=mirror", "--max-delete=100%", q, z}).status, kExitEqual);
        c.spoil(z, fs);

        test::CliResult undo;
        if (c.unprivileged) {
            undo.out = test::Unprivileged(home.dir.path(), [] {
                const test::CliResult r = Cli({"undo", "--yes", "--quiet"});
                return std::to_string(r.status) + "\n" + r.out;
            });
            undo.status = std::atoi(undo.out.c_str());
        } else {
            undo = Cli({"undo", "--yes", "--quiet"});
        }
        LocalFileTransfer::beforePlacing = nullptr;
        EXPECT_EQ(undo.status, kExitUnequal) << undo.out;
        EXPECT_NE(undo.out.find("Bleibt: " + z + "/" + c.named + ": " + c.why), std::string::npos) << undo.out;
        if (c.onlyItStays) {
            EXPECT_NE(undo.out.find("ist nur zum Teil rückgängig gemacht: 1 Datei blieb (" + z + "/" + c.named + ")."),
                      std::string::npos)
                << undo.out;
            EXPECT_EQ(ReadFile(z + "/" + c.named), "meine Arbeit");
            Snapshot rest = Snap(z);
            rest.erase("/" + std::string(c.named));
            Snapshot expected = before;
            expected.erase("/" + std::string(c.named));
            EXPECT_EQ(rest, expected);
        }

        // The cause goes away: the same undo does the rest.
        c.mend(z, fs);
        if (c.unprivileged) {  // the trash is ours again
            lchown(home.dir.path().c_str(), getuid(), getgid());
            for (const auto& entry : std::filesystem::recursive_directory_iterator(home.dir.path()))
                lchown(entry.path().c_str(), getuid(), getgid());
        }
        const test::CliResult again = Cli({"undo", "--yes", "--quiet"});
        EXPECT_EQ(again.status, kExitEqual) << again.out << again.err;
        EXPECT_EQ(Snap(z), before);
    }
}

TEST(UndoCommand, BadInputAndRunsThatCannotBeUndone) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    OwnHome home;
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    EXPECT_EQ(Cli({"undo", "--yes"}).status, kExitNotUndoable);  // no run at all yet
    test::MakeTree(q, {{"a.txt", kNew, "neu"}});
    test::MakeTree(z, {{"a.txt", kOld, "alt"}});
    ASSERT_EQ(Cli({"sync", "--yes", "--quiet", q, z}).status, kExitEqual);
    const std::string run = home.Runs().at(0).id;
    const Case cases[] = {
        {"no run id", {"undo", "--yes", "letzter"}, kExitUsage, "ist keine Kennung eines Laufs"},
        {"unknown run", {"undo", "--yes", "20000101T000000-abcd"}, kExitUsage, "steht nicht im Protokoll"},
        {"list takes no run", {"undo", "--list", run}, kExitUsage, "--list nimmt keinen LAUF"},
        {"two runs", {"undo", run, run}, kExitUsage, "ist überzählig"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::CliResult r = Cli(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // Without a terminal, and the question declined: nothing happens.
    UndoOptions options;
    options.run = run;
    std::istringstream no("n\n");
    std::ostringstream out, err;
    EXPECT_EQ(RunUndoCommand(options, no, out, err, false, false), kExitUsage);
    EXPECT_EQ(RunUndoCommand(options, no, out, err, true, false), kExitUnequal);
    EXPECT_NE(out.str().find("Rückgängig machen: 1 Datei in den Papierkorb legen, 1 Datei aus dem Papierkorb "
                             "zurückholen?"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(ReadFile(z + "/a.txt"), "neu");

    // The trash emptied: the replaced version is gone, so the copy stays too.
    std::filesystem::remove_all(home.trash() + "/files");
    std::filesystem::remove_all(home.trash() + "/info");
    const test::CliResult r = Cli({"undo", "--yes", run});
    EXPECT_EQ(r.status, kExitNotUndoable);
    EXPECT_NE(r.out.find("Bleibt: " + z + "/a.txt: nicht mehr im Papierkorb"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(z + "/a.txt"), "neu");
    EXPECT_NE(Cli({"undo", "--list"}).out.find(run + " vom "), std::string::npos);
}

// A rename as the sync modes log it (the two paths and the
// file's stamp after): undo moves it back, into the folder it came from.
TEST(UndoCommand, ALoggedMoveIsMovedBack) {
    OwnHome home;
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    test::MakeTree(q, {{"a.txt"}});
    test::MakeTree(z, {{"alt/x.txt", kOld, "x"}});
    const Snapshot before = Snap(z);
    std::filesystem::create_directories(z + "/neu");
    std::filesystem::rename(z + "/alt/x.txt", z + "/neu/x.txt");
    std::filesystem::remove(z + "/alt");
    NodeInfo moved;
    ASSERT_EQ(InspectPath(z + "/neu/x.txt", false, moved), 0);
    {
        OperationLog log;
        log.beginRun({"Abgleich mit Verschieben", q, z});
        log.write({OperationLog::kMoved, z + "/alt/x.txt", z + "/neu/x.txt", 1, {}, OperationLog::kOk, {}, {},
                   FileStamp::Of(moved)});
        log.endRun();
    }
    EXPECT_EQ(Cli({"undo", "--yes", "--quiet"}).status, kExitEqual);
    Snapshot now = Snap(z);
    now.erase("/neu");  // made by hand above, not by the run
    EXPECT_EQ(now, before);
}

class OkPrompts : public UserPrompts {
public:
    bool AskOkCancel(const std::string&) override { return true; }
    void ShowWarning(const std::string& text) override { ADD_FAILURE() << text; }
    void Beep(BeepKind) override {}
};

// The window's commands through its controller and the real service: each is
// one run, named after the command, and undone as a whole.
TEST(UndoCommand, TheWindowsCopyAndDeleteRunsAreUndone) {
    enum class Command { Synchronize, Copy, CopyRight, Delete };
    struct Case {
        const char* name;
        Command command;
    };
    const Case cases[] = {{"Dateien abgleichen", Command::Synchronize},
                          {"Kopieren", Command::Copy},
                          {"Nach rechts kopieren", Command::CopyRight},
                          {"Löschen", Command::Delete}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OwnHome home;
        TempDir dir;
        const std::string q = dir / "q", z = dir / "z";
        test::MakeTree(q, {{"a.txt", kNew, "neu"}, {"b/c.txt", kOld, "c"}, {"g.txt", kOld, "g"}});
        test::MakeTree(z, {{"a.txt", kOld, "alt"}, {"d.txt", kNew, "d"}, {"g.txt", kOld, "g"}});
        const Snapshot source = Snap(q), target = Snap(z);
        std::string shown;  // the status bar's counts of the run
        {
            TreeMatcher matcher;
            std::string s = q, t = z;
            matcher.Run(s, t, false, false, true);
            const ResultRows rows(matcher, DisplayFilter(DisplayFilterValue::All));
            std::vector<size_t> all;
            for (size_t row = 0; row < rows.size(); ++row)
                if (!rows.IsFolderRow(row)) all.push_back(row);
            AppOptions options;
            options.set(Option::Papierkorb, 1);
            OkPrompts prompts;
            test::ScriptedUi ui;
            ui.overwriteAnswers = {ConfirmAnswer::YesToAll};
            ui.folderAnswers = {ConfirmAnswer::YesToAll};
            ui.deleteAnswers = {true, true};
            OperationLog log;
            LocalFileOperationService service(ui, &log);
            FileOperationController controller(options);
            controller.setPrompts(&prompts);
            controller.setService(&service);
            controller.BeginComparison(PathFilter(), matcher.source(), matcher.target());
            controller.ComparisonEnded(matcher.source(), matcher.target(), &matcher);  // the plan the list shows
            switch (c.command) {
            case Command::Synchronize:
                ASSERT_NE(controller.plan(), nullptr);
                controller.Synchronize(rows, matcher);
                break;
            case Command::Copy: controller.CopySelected(rows, all, matcher); break;
            case Command::CopyRight: controller.CopyInDirection(rows, all, matcher, 1); break;
            case Command::Delete: controller.DeleteSelected(rows, all, matcher); break;
            }
            shown = controller.lastResult().Counts().text();
        }
        ASSERT_TRUE(Snap(q) != source || Snap(z) != target);
        const std::vector<LoggedRun> runs = home.Runs();
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].what, c.name);
        EXPECT_EQ(shown, runs[0].counts.text());  // the window and the log count alike
        EXPECT_EQ(Cli({"undo", "--yes", "--quiet"}).status, kExitEqual);
        EXPECT_EQ(Snap(q), source);
        EXPECT_EQ(Snap(z), target);
    }
}

}  // namespace
}  // namespace kirvo
