#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "cli/cli_test_run.h"
#include "cli/sync_command.h"
#include "platform/file_node.h"
#include "support/faulty_mount.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace kirvo {
namespace {

using test::MakeTree;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = 1'400'000'000;

struct SyncRun {
    int status = -1;
    std::string out;
    std::string err;
};

SyncRun Sync(std::vector<std::string> args, const std::string& answers = "", bool interactive = true) {
    SyncOptions options;
    std::string error;
    SyncRun r;
    if (!ParseSyncOptions(args, options, error)) {
        r.status = kExitUsage;
        r.err = error;
        return r;
    }
    std::istringstream in(answers);
    std::ostringstream out, err;
    r.status = RunSync(options, in, out, err, interactive, false);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// Runs the real binary with stdin from /dev/null (no terminal).
SyncRun SyncBinary(const std::vector<std::string>& args) {
    std::string command = KIRVO_CLI_PATH;
    command += " sync";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " </dev/null 2>&1";
    SyncRun r;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Two trees with work in both directions: new and newer files each way, an equal file.
struct Trees {
    TempDir dir;
    std::string q = dir / "q";
    std::string z = dir / "z";
    Trees() {
        MakeTree(q, {{"new-in-source.txt", kNew, "s1"},
                     {"sub/deeper/only-here.bin", kNew, std::string(5000, 's')},
                     {"newer-in-source.txt", kNew, "s-newer"},
                     {"same.txt", kOld, "same"}});
        MakeTree(z, {{"newer-in-source.txt", kOld, "t-older"},
                     {"same.txt", kOld, "same"},
                     {"from-target/t.txt", kNew, "t1"}});
    }
};

TEST(SyncCommand, DryRunListsEveryPairAndChangesNothing) {
    Trees t;
    const SyncRun r = Sync({"--dry-run", t.q, t.z});
    EXPECT_EQ(r.status, kExitUnequal);
    EXPECT_NE(r.out.find("Von Quelle nach Ziel (3 Dateien):"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(t.q + "/sub/deeper/only-here.bin -> " + t.z + "/sub/deeper/only-here.bin"), std::string::npos);
    EXPECT_NE(r.out.find(t.z + "/from-target/t.txt -> " + t.q + "/from-target/t.txt"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(t.z + "/new-in-source.txt"));
    EXPECT_FALSE(std::filesystem::exists(t.q + "/from-target"));
    EXPECT_EQ(ReadFile(t.z + "/newer-in-source.txt"), "t-older");
    // Dry run needs no terminal either.
    EXPECT_EQ(SyncBinary({"--dry-run", t.q, t.z}).status, kExitUnequal);
}

TEST(SyncCommand, YesBringsTheTreesIntoLine) {
    Trees t;
    const SyncRun r = SyncBinary({"--yes", t.q, t.z});
    EXPECT_EQ(r.status, kExitEqual) << r.out;
    EXPECT_EQ(ReadFile(t.z + "/newer-in-source.txt"), "s-newer");
    EXPECT_EQ(ReadFile(t.z + "/sub/deeper/only-here.bin"), std::string(5000, 's'));
    EXPECT_EQ(ReadFile(t.q + "/from-target/t.txt"), "t1");
    EXPECT_NE(r.out.find("Quelle: 5 Dateien"), std::string::npos) << r.out;
    EXPECT_EQ(Sync({"--dry-run", t.q, t.z}).status, kExitEqual);  // nothing left to do
}

// A conflict has no direction: sync copies the rest, names it, and exits 1.
TEST(SyncCommand, ConflictsArePassedOverAndReported) {
    Trees t;
    WriteFile(t.q + "/clash.txt", "restored", kOld);
    WriteFile(t.z + "/clash.txt", "rewritten", kOld);
    const std::string note = "Konflikte (1, ohne Richtung, werden nicht abgeglichen; <?> in der Liste):\n"
                             "  clash.txt: Gleiche Änderungszeit, aber verschiedene Größe.\n";
    const SyncRun dry = Sync({"--dry-run", "--compare=time-size", t.q, t.z});
    EXPECT_EQ(dry.status, kExitUnequal);
    EXPECT_NE(dry.out.find(note), std::string::npos) << dry.out;
    // Asked, the plan names it too, and the folders the copies make.
    const SyncRun asked = Sync({"--compare=time-size", t.q, t.z}, "n\nn\n");
    EXPECT_NE(asked.out.find("\nIn der Quelle: 1 Ordner wird angelegt.\nIm Ziel: 2 Ordner werden angelegt.\n"
                             "1 Konflikt bleibt, wie er ist.\n"),
              std::string::npos)
        << asked.out;
    const SyncRun r = SyncBinary({"--yes", "--compare=content", t.q, t.z});
    EXPECT_EQ(r.status, kExitUnequal) << r.out;
    EXPECT_NE(r.out.find(note), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Ungleich geblieben: 1 Datei."), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(t.z + "/newer-in-source.txt"), "s-newer");
    EXPECT_EQ(ReadFile(t.q + "/clash.txt"), "restored");
    EXPECT_EQ(ReadFile(t.z + "/clash.txt"), "rewritten");
    // By time alone the pair is equal, as before.
    EXPECT_EQ(Sync({"--dry-run", t.q, t.z}).status, kExitEqual);
}

// Before anything is deleted: a run that would delete more than half of a
// side's files (and at least 10), or that finds a side empty or missing while
// the state says it held files (an unmounted stick), is refused when nobody
// can be asked, unless --max-delete allows it; nothing is changed then.
TEST(SyncCommand, GuardsRefuseMassDeletionsAndEmptiedRootsUnattended) {
    const struct Case {
        const char* what;
        const char* mode;
        int deleted;  // of the source's 20 files, after a first run (-1: the whole root folder)
        std::vector<std::string> options;
        int status;
        const char* said;
    } cases[] = {
        {"the source emptied", "two-way", 20, {}, kExitUnreadable, "Die Quelle ist leer oder fehlt, doch beim letzten Abgleich lagen dort 20 Dateien"},
        {"the source missing", "two-way", -1, {}, kExitUnreadable, "Die Quelle ist leer oder fehlt"},
        {"more than half deleted", "two-way", 12, {}, kExitUnreadable, "Es würden 12 von 20 Dateien im Ziel gelöscht – mehr als die Hälfte."},
        {"allowed by count", "two-way", 12, {"--max-delete=12"}, kExitEqual, ""},
        {"beyond the count allowed", "two-way", 6, {"--max-delete=5"}, kExitUnreadable, "mehr als die erlaubte Grenze"},
        {"half is not more than half", "two-way", 10, {}, kExitEqual, ""},
        {"an emptied source within its limit", "two-way", 20, {"--max-delete=100%"}, kExitEqual, ""},
        {"a mirror of an empty source", "mirror", 20, {}, kExitUnreadable, "Es würden 20 von 20 Dateien im Ziel gelöscht"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string q = dir / "q", z = dir / "z";
        for (int i = 0; i < 20; ++i) WriteFile(q + "/f" + std::to_string(i), "x" + std::to_string(i), kOld);
        ASSERT_EQ(Sync({"--yes", "--mode=two-way", q, z}).status, kExitEqual);
        if (c.deleted < 0) std::filesystem::remove_all(q);
        for (int i = 0; i < c.deleted; ++i) std::filesystem::remove(q + "/f" + std::to_string(i));
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--yes", std::string("--mode=") + c.mode, q, z});
        const SyncRun r = Sync(args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        size_t left = 0;
        for (const auto& e : std::filesystem::directory_iterator(z)) left += e.is_regular_file();
        const size_t deleted = c.deleted < 0 ? 20u : static_cast<size_t>(c.deleted);
        EXPECT_EQ(left, c.status == kExitEqual ? 20u - deleted : 20u);
        // Asked on a terminal instead, the answer decides; Enter keeps everything.
        if (c.status == kExitUnreadable) {
            args.erase(std::find(args.begin(), args.end(), "--yes"));
            EXPECT_EQ(Sync(args, "\n").status, kExitUnreadable);
        }
    }
}

// A state that cannot be read is an error, never "no state": deleted files
// would come back. --forget-state starts the pair afresh.
TEST(SyncCommand, AnUnreadableStateRefusesTheRunUntilItIsForgotten) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z", state = dir / "stand";
    const std::string home = std::getenv("XDG_STATE_HOME");
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    MakeTree(q, {{"a.txt", kOld, "a"}, {"b.txt", kOld, "b"}});
    ASSERT_EQ(Sync({"--yes", "--mode=two-way", q, z}).status, kExitEqual);
    std::filesystem::remove(q + "/a.txt");
    WriteFile(state + "/kirvo/abgleich.db", std::string(4096, 'x'), kOld);
    const SyncRun refused = Sync({"--yes", "--mode=two-way", q, z});
    EXPECT_EQ(refused.status, kExitUnreadable);
    EXPECT_NE(refused.err.find("ist beschädigt"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("--forget-state"), std::string::npos) << refused.err;
    EXPECT_TRUE(std::filesystem::exists(z + "/a.txt"));
    EXPECT_EQ(Sync({"--dry-run", "--mode=two-way", q, z}).status, kExitUnreadable);
    // Afresh: the first run copies as update does; the damaged file is kept aside.
    const SyncRun fresh = Sync({"--yes", "--mode=two-way", "--forget-state", q, z});
    EXPECT_EQ(fresh.status, kExitEqual) << fresh.out << fresh.err;
    EXPECT_NE(fresh.err.find(".defekt-"), std::string::npos) << fresh.err;
    EXPECT_EQ(ReadFile(q + "/a.txt"), "a");
    EXPECT_EQ(Sync({"--mode=mirror", "--forget-state", q, z}).status, kExitUsage);
    // A state folder that cannot be searched is no missing state either: the
    // plan would bring b.txt back from the target.
    const std::string unsearchable = test::Unprivileged(dir.path(), [&] {
        std::filesystem::remove(q + "/b.txt");
        chmod((state + "/kirvo").c_str(), 0);
        std::string said;
        for (const std::vector<std::string>& args : {std::vector<std::string>{"compare", "--mode=two-way", q, z},
                                                     {"sync", "--mode=two-way", "--dry-run", q, z}}) {
            const test::CliResult r = test::Cli(args);
            said += std::to_string(r.status) + (r.err.find("lässt sich nicht lesen") != std::string::npos ? " " : "? ");
        }
        chmod((state + "/kirvo").c_str(), 0700);
        return said;
    });
    EXPECT_EQ(unsearchable, "4 4 ");
    setenv("XDG_STATE_HOME", home.c_str(), 1);
}

TEST(SyncCommand, QuestionsPerDirectionAndTheServicesQuestions) {
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::string answers;
        int status;
        bool sourceToTarget;  // did the files reach the target?
        bool targetToSource;
        int questions;        // direction questions asked
    };
    const Case cases[] = {
        // First question declined, second agreed: only the target's file comes over.
        {"decline to target", {}, "n\nj\n", kExitUnequal, false, true, 2},
        // Both agreed, overwrite of newer-in-source.txt agreed ("Ja").
        {"both agreed", {}, "j\nj\nj\n", kExitEqual, true, true, 2},
        // End of input takes the safe choice for every question.
        {"no answers", {}, "", kExitUnequal, false, false, 2},
        {"only to target", {"--direction=to-target"}, "j\nj\n", kExitUnequal, true, false, 1},
        {"only to source", {"--direction=to-source"}, "j\n", kExitUnequal, false, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Trees t;
        std::vector<std::string> args = c.options;
        args.push_back(t.q);
        args.push_back(t.z);
        const SyncRun r = Sync(args, c.answers);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(std::filesystem::exists(t.z + "/new-in-source.txt"), c.sourceToTarget);
        EXPECT_EQ(std::filesystem::exists(t.q + "/from-target/t.txt"), c.targetToSource);
        int asked = 0;
        for (const char* q : {"Es werden 3 Dateien von Quelle nach Ziel kopiert ! [j/N]",
                              "Es wird 1 Datei von Ziel nach Quelle kopiert ! [j/N]"})
            asked += r.out.find(q) != std::string::npos ? 1 : 0;
        EXPECT_EQ(asked, c.questions) << r.out;
        if (c.sourceToTarget) {
            // The service asked before replacing the existing target file.
            EXPECT_NE(r.out.find("newer-in-source.txt"), std::string::npos);
            EXPECT_EQ(ReadFile(t.z + "/newer-in-source.txt"), "s-newer");
        }
    }
}

TEST(SyncCommand, RefusesWithoutTerminalOrWithBadArguments) {
    Trees t;
    const SyncRun r = SyncBinary({t.q, t.z});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.out.find("Ohne Terminal"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(t.z + "/new-in-source.txt"));

    WriteFile(t.dir / "a-file", "x", kOld);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--direction=sideways", t.q, t.z}, {"--yes", t.q}, {"--yes", t.q, t.z, "extra"},
          {"--yes", "--frobnicate", t.q, t.z}, {"--yes", t.q, t.dir / "a-file"}}) {
        EXPECT_EQ(SyncBinary(args).status, kExitUsage) << args[0];
    }
    EXPECT_FALSE(std::filesystem::exists(t.z + "/new-in-source.txt"));

    // Output that cannot be written is not passed off as success.
    const std::string full = std::string(KIRVO_CLI_PATH) + " sync --dry-run '" + t.q + "' '" + t.z +
                             "' >/dev/full 2>/dev/null";
    const int status = std::system(full.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitUsage);
}

// Only listed files take part: a left-out file is neither copied nor replaced,
// and a listed file whose destination is a left-out folder does not replace it.
TEST(SyncCommand, FilesTheFilterLeavesOutAreNeverTouched) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    MakeTree(q, {{"keep.txt", kNew, "k"}, {"cache.TMP", kNew, "s-cache"}, {"x", kNew, "a file"}});
    MakeTree(z, {{"cache.tmp", kOld, "t-cache"}, {"x/inner.txt", kOld, "keep me"}, {"logs/l.log", kNew, "log"}});
    const SyncRun r = Sync({"--yes", "--exclude=*.tmp", "--exclude=x/", "--exclude", "logs/", q, z});
    EXPECT_EQ(ReadFile(z + "/keep.txt"), "k");
    EXPECT_EQ(ReadFile(z + "/cache.tmp"), "t-cache");
    EXPECT_FALSE(std::filesystem::exists(z + "/cache.TMP"));
    EXPECT_FALSE(std::filesystem::exists(q + "/logs"));
    EXPECT_EQ(ReadFile(z + "/x/inner.txt"), "keep me");
    EXPECT_NE(r.err.find("Das Ziel ist ein Ordner"), std::string::npos) << r.err;
    EXPECT_EQ(r.status, kExitUnequal);  // x is still unequal
    EXPECT_NE(r.out.find("Quelle: 2 Dateien"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Ziel:   1 Datei"), std::string::npos) << r.out;
}

// A missing root is made (that one folder) with --yes or after a "j"; one
// whose parent is missing too is never made: the drive may not be connected.
TEST(SyncCommand, MissingRootIsMadeOnlyWhereItsParentIsThere) {
    const struct {
        const char* what;
        std::string target;  // below the test folder
        std::vector<std::string> options;
        std::string answers;
        int status;
        bool made;
        std::string said;
    } cases[] = {
        {"parent there, --yes", "backup", {"--yes"}, "", kExitEqual, true, "existiert nicht und wird als leer verglichen"},
        // A local path is one whatever its names hold: never taken for an address.
        {"a local path holding ://", "neu://", {"--yes"}, "", kExitEqual, true, "existiert nicht und wird als leer verglichen"},
        {"parent there, asked: j", "backup", {}, "j\nj\n", kExitEqual, true, "Soll der Ordner angelegt werden? [j/N]"},
        {"parent there, asked: n", "backup", {}, "n\n", kExitUnreadable, false, "wird nicht angelegt; dorthin wird nichts kopiert"},
        {"parent missing too", "stick/Sicherung", {"--yes"}, "", kExitUnreadable, false,
         "existiert nicht. Ist der Datenträger angeschlossen? Es wird nichts kopiert."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Trees t;
        const std::string fresh = t.dir / c.target;
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"--direction=to-target", t.q, fresh});
        const SyncRun r = Sync(args, c.answers);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
        EXPECT_EQ(std::filesystem::exists(fresh + "/sub/deeper/only-here.bin"), c.made);
        EXPECT_EQ(std::filesystem::exists(t.dir / "stick"), false);
    }
}

// A user's file named like our temporary files is an ordinary file; a replaced
// file goes to the trash first, and both land in the log (--no-trash and
// --no-log leave them out).
TEST(SyncCommand, ReplacedFilesGoToTheTrashAndTheLogAndLookalikesAreOrdinaryFiles) {
    TempDir dir;
    const std::string s = dir / "S", t = dir / "T";
    WriteFile(s + "/notes", "new", kNew);
    WriteFile(t + "/notes", "old", kOld);
    WriteFile(t + "/.notes.kirvo-tmp", "mine", kOld);
    EXPECT_NE(Sync({"--dry-run", s, t}).out.find(t + "/.notes.kirvo-tmp -> " + s + "/.notes.kirvo-tmp"),
              std::string::npos);

    const SyncRun r = SyncBinary({"--yes", s, t});
    EXPECT_EQ(r.status, kExitEqual) << r.out;
    EXPECT_NE(r.out.find("Von Quelle nach Ziel: 1 ersetzt; 1 ersetzte Datei im Papierkorb."), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(t + "/.notes.kirvo-tmp"), "mine");
    EXPECT_EQ(ReadFile(s + "/.notes.kirvo-tmp"), "mine");
    EXPECT_EQ(ReadFile(t + "/notes"), "new");
    const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
    EXPECT_EQ(ReadFile(trash + "/files/notes"), "old");
    EXPECT_NE(ReadFile(trash + "/info/notes.trashinfo").find("Path=" + t + "/notes\n"), std::string::npos);
    const std::string logPath = std::string(std::getenv("XDG_STATE_HOME")) + "/kirvo/protokoll.log";
    const std::string log = ReadFile(logPath);
    // Each line goes on with the run and, for undo, where the old version lies in the trash.
    EXPECT_NE(log.find("\tPapierkorb\t" + t + "/notes\t" + trash + "/files/notes\t3\t\tok\t"), std::string::npos) << log;
    EXPECT_NE(log.find("\tersetzt\t" + s + "/notes\t" + t + "/notes\t3\t3\tok\t"), std::string::npos) << log;
    EXPECT_NE(log.find("\t" + trash + "\tnotes\t"), std::string::npos) << log;

    WriteFile(s + "/notes", "newer", kNew + 10);
    EXPECT_EQ(SyncBinary({"--yes", "--no-trash", "--no-log", s, t}).status, kExitEqual);
    EXPECT_EQ(ReadFile(t + "/notes"), "newer");
    EXPECT_FALSE(std::filesystem::exists(trash + "/files/notes.2"));
    EXPECT_EQ(ReadFile(logPath), log);
}

// A low open-file limit (ulimit -n 256, hard as well) and a run that starts
// with many handles already open still copy every file.
TEST(SyncCommand, LowOpenFileLimitStillCopiesEverything) {
    for (const char* held : {"", "for fd in $(seq 10 120); do eval \"exec $fd</dev/null\"; done; "}) {
        TempDir dir;
        for (int i = 0; i < 1000; ++i) WriteFile(dir / ("S/" + std::to_string(i % 7) + "/f" + std::to_string(i)), "x", kNew);
        const std::string command = "bash -c 'ulimit -n 256; " + std::string(held) + "exec " + KIRVO_CLI_PATH +
                                    " sync --yes \"$0\" \"$1\"' '" + dir / "S" + "' '" + dir / "T" + "' 2>&1";
        SyncRun r;
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
        const int status = pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kExitEqual) << held << r.out.substr(0, 2000);
        EXPECT_NE(r.out.find("Von Quelle nach Ziel: 1000 kopiert, 8 Ordner angelegt."), std::string::npos) << held << r.out.substr(0, 2000);
    }
}

// Every file below root, as "path=content", sorted.
std::string FilesBelow(const std::string& root) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().string().substr(root.size() + 1);
        if (it->is_symlink()) files.push_back(name + "->" + std::filesystem::read_symlink(it->path()).string());
        else if (it->is_regular_file()) files.push_back(name + "=" + ReadFile(it->path()));
    }
    std::sort(files.begin(), files.end());
    std::string out;
    for (const std::string& f : files) out += f + " ";
    return out;
}

// What Kirvo could not read it never took for missing: sync --yes as an
// ordinary user (the source S, the target T) says what it could not read,
// copies nothing into or out of it, and ends with 4. Nor does a copy that
// reads back from the disk other than it was written replace anything.
TEST(SyncCommand, WhatCannotBeReadIsNeverTakenForMissing) {
    const struct Case {
        const char* what;
        std::vector<test::FileSpec> source, target;
        std::vector<std::string> locked;  // folders of S without any permission
        std::vector<std::string> faults;  // S shown through the faulty file system
        std::vector<std::string> options;
        int status;
        std::string targetAfter;
        std::vector<std::string> said;
        std::vector<std::string> targetFaults = {};  // T shown through the faulty file system
    } cases[] = {
        {"an unreadable folder",
         {{"Dokumente/brief", kNew, "b"}, {"a.txt", kNew, "a"}},
         {},
         {"Dokumente"},
         {},
         {},
         kExitUnreadable,
         "a.txt=a ",
         {"Quelle: nicht lesbar: Dokumente/ – "}},
        // A mirror deletes what the source lacks, but never what it could not read.
        {"an unreadable folder of a mirror's source",
         {{"Dokumente/brief", kNew, "b"}, {"a.txt", kNew, "a"}},
         {{"Dokumente/brief", kOld, "alt"}, {"Dokumente/sub/x", kOld, "x"}, {"weg.txt", kOld, "weg"}},
         {"Dokumente"},
         {},
         {"--mode=mirror"},
         kExitUnreadable,
         "Dokumente/brief=alt Dokumente/sub/x=x a.txt=a ",
         {"Quelle: nicht lesbar: Dokumente/ – ", "Im Ziel gelöscht: 1 in den Papierkorb"}},
        {"a listing that breaks off and a file that cannot be inspected",
         {{"Dokumente/1", kNew, "1"}, {"Dokumente/2", kNew, "2"}, {"Dokumente/3", kNew, "3"},
          {"Dokumente/4", kNew, "4"}, {"Dokumente/5", kNew, "5"}, {"brief.txt", kNew, "neu"}, {"a.txt", kNew, "a"}},
         {{"brief.txt", kOld, "alt"}},
         {},
         {"--cut=/Dokumente:2", "--eio=/brief.txt"},
         {},
         kExitUnreadable,
         "",  // two of Dokumente, a.txt and the old brief.txt: checked below
         {"Quelle: nicht lesbar: Dokumente/ – Liste brach ab: ", "Quelle: nicht lesbar: brief.txt – "}},
        // Checked copies on a card that keeps other bytes than it was given.
        {"copies that read back wrong",
         {{"brief.txt", kNew, "neu"}, {"Dokumente/a.txt", kNew, "a"}},
         {{"brief.txt", kOld, "alt"}},
         {},
         {},
         {"--verify"},
         kExitUnequal,
         "brief.txt=alt ",
         {"Kopie fehlerhaft: beim Zurücklesen andere Daten als in der Quelle", "/T/brief.txt"},
         {"--rw", "--corrupt-written"}},
        // The same card behind a job that says "verify = yes".
        {"a job's copies that read back wrong",
         {{"brief.txt", kNew, "neu"}},
         {{"brief.txt", kOld, "alt"}},
         {},
         {},
         {"run as job", "--verify"},
         kExitUnequal,
         "brief.txt=alt ",
         {"Kopie fehlerhaft: beim Zurücklesen andere Daten als in der Quelle"},
         {"--rw", "--corrupt-written"}},
        {"copies that cannot be read back",
         {{"brief.txt", kNew, "neu"}},
         {{"brief.txt", kOld, "alt"}},
         {},
         {},
         {"--verify"},
         kExitUnequal,
         "brief.txt=alt ",
         {"Kopie fehlerhaft: " + SystemErrorText(EIO)},
         {"--rw", "--eio-written"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir, mounts;
        const std::string backing = dir / "S";
        std::string t = dir / "T";
        for (const test::FileSpec& f : c.source) WriteFile(backing + "/" + f.relativePath, f.content, f.mtime);
        for (const test::FileSpec& f : c.target) WriteFile(t + "/" + f.relativePath, f.content, f.mtime);
        test::MakeDirs(t);
        for (const std::string& folder : c.locked) chmod((backing + "/" + folder).c_str(), 0);
        std::string s = backing;
        const std::string targetBacking = t;
        std::unique_ptr<test::FaultyMount> mount;
        if (!c.faults.empty() || !c.targetFaults.empty()) {
            chmod(mounts.path().c_str(), 0755);
            std::string& shown = c.faults.empty() ? t : s;
            shown = mounts / (c.faults.empty() ? "T" : "S");
            mount = std::make_unique<test::FaultyMount>(c.faults.empty() ? targetBacking : backing, shown,
                                                        c.faults.empty() ? c.targetFaults : c.faults);
            if (!mount->usable()) {
                ASSERT_FALSE(test::FaultyMount::Required()) << mount->why();
                std::printf("Übersprungen (%s): %s\n", c.what, mount->why().c_str());
                continue;
            }
        }
        const std::string ran = test::Unprivileged(dir.path(), [&] {
            // The trash, the log and the lock of the user the run is.
            setenv("XDG_DATA_HOME", (dir / "home/daten").c_str(), 1);
            setenv("XDG_STATE_HOME", (dir / "home/stand").c_str(), 1);
            std::vector<std::string> args = c.options;
            if (!args.empty() && args[0] == "run as job") {
                setenv("XDG_CONFIG_HOME", (dir / "home/konfig").c_str(), 1);
                args = {"job", "save", "karte"};
                args.insert(args.end(), c.options.begin() + 1, c.options.end());
                args.insert(args.end(), {s, t});
                const test::CliResult saved = test::Cli(args);
                if (saved.status != kExitEqual) return std::to_string(saved.status) + "\n" + saved.err;
                const test::CliResult r = test::Cli({"run", "karte"});
                return std::to_string(r.status) + "\n" + r.err + r.out;
            }
            args.insert(args.end(), {"--yes", s, t});
            const SyncRun r = Sync(args);
            return std::to_string(r.status) + "\n" + r.err + r.out;
        });
        const int status = std::atoi(ran.c_str());
        EXPECT_EQ(status, c.status) << ran;
        for (const std::string& text : c.said) EXPECT_NE(ran.find(text), std::string::npos) << text << "\n" << ran;
        // What cannot be read is said as such, not as a failed copy.
        if (c.targetFaults.empty()) EXPECT_EQ(ran.find("Fehler"), std::string::npos) << ran;
        if (!c.targetAfter.empty()) {
            // Nothing of ours is left beside what was there.
            EXPECT_EQ(FilesBelow(targetBacking), c.targetAfter);
        }
        if (!c.faults.empty()) {
            // What the listing gave is copied; the rest of Dokumente, and the file that
            // could not be inspected, is neither missing there nor replaced here.
            EXPECT_EQ(ReadFile(t + "/brief.txt"), "alt");
            EXPECT_EQ(ReadFile(t + "/a.txt"), "a");
            size_t copied = 0;
            for (const auto& e : std::filesystem::directory_iterator(t + "/Dokumente")) copied += e.is_regular_file();
            EXPECT_EQ(copied, 2u);
        }
    }
}

// Links under each setting of --links, through compare and sync --yes as
// root (the backup job): followed to their files, except a link of another
// owner than its file's; copied as links, which the next comparison finds
// equal; or left out, a link in the way of a copy included.
TEST(SyncCommand, LinksAreFollowedCopiedOrLeftOut) {
    if (geteuid() != 0) GTEST_SKIP() << "a link of another owner needs root";
    const std::string foreign =
        "6\tnicht lesbar: docs/shadow – Verknüpfung auf eine Datei eines anderen Besitzers; als root nicht "
        "gefolgt\t\t\tdocs/shadow\t?\t";
    // The row each link has in compare --format=tsv --filter=all under follow, copy and skip ("": none).
    const struct Case {
        const char* what;
        const char* name;
        std::string rows[3];
    } cases[] = {
        {"link to a file", "notes.txt", {"2\tnotes.txt\t4 Byte\t", "2\tnotes.txt\t8 Byte\t", ""}},
        {"link to a folder", "folder", {"", "2\tfolder\t6 Byte\t", ""}},
        {"dangling link", "dangling", {"", "2\tdangling\t7 Byte\t", ""}},
        {"another owner's link out of the root", "shadow", {foreign, "2\tshadow\t", ""}},
        {"link newer than the target's file",
         "replaced.txt",
         {"2\treplaced.txt\t4 Byte\t", "2\treplaced.txt\t8 Byte\t", "2\t\t\t\t\t<---\treplaced.txt\t3 Byte\t"}},
    };
    const struct Mode {
        const char* links;
        int compared, synced, comparedAfter;
        std::string targetAfter;  // "$" stands for the temporary folder
    } modes[] = {
        {"follow", kExitUnreadable, kExitUnreadable, kExitUnreadable,
         "docs/notes.txt=real docs/real.txt=real docs/replaced.txt=real sub/inner.txt=inner "},
        {"copy", kExitUnequal, kExitEqual, kExitEqual,
         "docs/dangling->nowhere docs/folder->../sub docs/notes.txt->real.txt docs/real.txt=real "
         "docs/replaced.txt->real.txt docs/shadow->$/outside/secret.txt sub/inner.txt=inner "},
        // The target's file is not copied over the source's link, which the comparison did not see.
        {"skip", kExitUnequal, kExitUnequal, kExitUnequal, "docs/real.txt=real docs/replaced.txt=old sub/inner.txt=inner "},
    };
    for (size_t m = 0; m < 3; ++m) {
        const Mode& mode = modes[m];
        SCOPED_TRACE(mode.links);
        TempDir dir;
        const std::string q = dir / "q", z = dir / "z";
        MakeTree(q, {{"docs/real.txt", kNew, "real"}, {"sub/inner.txt", kOld, "inner"}});
        MakeTree(z, {{"docs/replaced.txt", kOld, "old"}, {"sub/inner.txt", kOld, "inner"}});
        WriteFile(dir / "outside/secret.txt", "secret", kOld);
        const auto link = [&](const std::string& text, const char* name, int64_t time, uid_t owner) {
            const std::string path = q + "/docs/" + name;
            ASSERT_EQ(symlink(text.c_str(), path.c_str()), 0);
            ASSERT_EQ(lchown(path.c_str(), owner, owner), 0);
            const struct timespec times[2] = {{time, 0}, {time, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        };
        link("real.txt", "notes.txt", kOld, 0);
        link("../sub", "folder", kOld, 0);
        link("nowhere", "dangling", kOld, 0);
        link(dir / "outside/secret.txt", "shadow", kOld, 65534);
        link("real.txt", "replaced.txt", kNew, 0);

        const test::CliResult compared = test::Cli({"compare", "--format=tsv", "--filter=all",
                                                    std::string("--links=") + mode.links, q, z});
        EXPECT_EQ(compared.status, mode.compared) << compared.err;
        for (const Case& c : cases) {
            if (c.rows[m].empty()) {
                EXPECT_EQ(compared.out.find(std::string("\t") + c.name + "\t"), std::string::npos) << c.what;
            } else {
                EXPECT_NE(compared.out.find(c.rows[m]), std::string::npos) << c.what << "\n" << compared.out;
            }
        }
        const SyncRun synced = Sync({"--yes", std::string("--links=") + mode.links, q, z});
        EXPECT_EQ(synced.status, mode.synced) << synced.err << synced.out;
        std::string expected = mode.targetAfter;
        if (const size_t at = expected.find('$'); at != std::string::npos) expected.replace(at, 1, dir.path());
        EXPECT_EQ(FilesBelow(z), expected);
        EXPECT_EQ(ReadFile(dir / "outside/secret.txt"), "secret");
        struct stat st;
        EXPECT_EQ(lstat((q + "/docs/replaced.txt").c_str(), &st) == 0 && S_ISLNK(st.st_mode), true);
        EXPECT_EQ(test::Cli({"compare", std::string("--links=") + mode.links, q, z}).status, mode.comparedAfter);
    }
}

}  // namespace
}  // namespace kirvo
