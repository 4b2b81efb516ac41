#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/undo_use_case.h"
#include "cli/cli_command.h"
#include "cli/cli_test_run.h"
#include "fileops/operation_log.h"
#include "fileops/run_log.h"
#include "fileops/scripted_ui.h"
#include "fileops/tree_tools.h"
#include "platform/posix/local_file_transfer.h"
#include "platform/sftp/remote_connections.h"
#include "support/ssh_server.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"
#include "sync/sync_state_store.h"

namespace kirvo {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = 1'400'000'000;

std::string Content(const std::string& name, const char* version, size_t size) {
    std::string pattern = name + ":" + version + ";";
    std::string content;
    content.reserve(size);
    while (content.size() < size) content.append(pattern, 0, std::min(pattern.size(), size - content.size()));
    return content;
}

// One file of the two trees: what each side holds before the sync and what both hold after it.
struct Expected {
    std::string before[2];  // "" = absent
    std::string after;
};

// Work in both directions: large files (so kills land inside copies), small
// ones, files on one side only, newer on either side.
std::map<std::string, Expected> MakeTrees(const std::string& q, const std::string& z, size_t big, int small = 60) {
    std::map<std::string, Expected> files;
    fs::remove_all(q);
    fs::remove_all(z);
    fs::create_directories(q);
    fs::create_directories(z);
    const auto add = [&](const std::string& rel, size_t size, int newerSide, bool otherHasIt) {
        Expected e;
        const std::string fresh = Content(rel, "neu", size);
        const std::string old = Content(rel, "alt", size / 2 + 1);
        e.before[newerSide] = fresh;
        e.before[1 - newerSide] = otherHasIt ? old : "";
        e.after = fresh;
        test::WriteFile((newerSide == 0 ? q : z) + "/" + rel, fresh, kNew);
        if (otherHasIt) test::WriteFile((newerSide == 0 ? z : q) + "/" + rel, old, kOld);
        files[rel] = e;
    };
    for (int i = 0; i < 3; ++i) {
        add("gross/q" + std::to_string(i) + ".bin", big + 1000u * i, 0, i != 1);
        add("gross/z" + std::to_string(i) + ".bin", big * 5 / 6 + 1000u * i, 1, i != 2);
    }
    for (int i = 0; i < small; ++i) {
        const std::string folder = "klein/" + std::to_string(i % 7) + "/";
        add(folder + "q" + std::to_string(i), 100 + 37 * i, 0, i % 3 != 0);
        add(folder + "z" + std::to_string(i), 50 + 41 * i, 1, i % 4 != 0);
    }
    return files;
}

// Two-way, on trees that are in line: since the last run a quarter of the
// files was edited on one side, a quarter deleted on one side, and what a
// run before deleted is new on one side. Each outcome is known: the new
// version on both sides, or nothing ("" after).
std::map<std::string, Expected> ChangeTrees(const std::string& q, const std::string& z,
                                            const std::map<std::string, Expected>& files, int run) {
    std::map<std::string, Expected> changed;
    const std::string roots[2] = {q, z};
    const std::string version = "r" + std::to_string(run);
    int i = 0;
    for (const auto& [rel, was] : files) {
        Expected e;
        const int side = (i / 4) % 2;
        const size_t size = std::max<size_t>(was.after.size(), 64);
        if (was.after.empty()) {
            e.before[side] = e.after = Content(rel, version.c_str(), size);
            test::WriteFile(roots[side] + "/" + rel, e.after, kNew + 100 * (run + 1));
        } else if (i % 4 == 0) {
            e.before[1 - side] = was.after;
            e.before[side] = e.after = Content(rel, version.c_str(), size + 1);
            test::WriteFile(roots[side] + "/" + rel, e.after, kNew + 100 * (run + 1));
        } else if (i % 4 == 1) {
            e.before[1 - side] = was.after;
            fs::remove(roots[side] + "/" + rel);
        } else {
            e.before[0] = e.before[1] = e.after = was.after;
        }
        changed[rel] = e;
        ++i;
    }
    return changed;
}

// What lies in the two trees now, temporary files of ours apart (they may stay after a kill).
std::string CheckBetween(const std::string& q, const std::string& z, const std::map<std::string, Expected>& files,
                         bool finished) {
    std::string problems;
    const std::string roots[2] = {q, z};
    for (int side = 0; side < 2; ++side) {
        for (const auto& e : fs::recursive_directory_iterator(roots[side])) {
            if (!e.is_regular_file()) continue;
            const std::string rel = e.path().string().substr(roots[side].size() + 1);
            const bool temporary = e.path().filename().string().find(".kirvo-tmp") != std::string::npos;
            if (temporary) {
                // A kill between a replace's exchange and the removal of the old
                // version's temporary name leaves that name with its twin in the
                // trash; it goes with the next copy into its folder. Anything
                // else of ours must be gone after a finished run.
                const bool parked = fs::hard_link_count(e.path()) >= 2;
                if (finished && !parked) problems += "temporary file left: " + rel + "\n";
                continue;
            }
            if (!files.count(rel)) problems += "unexpected file: " + rel + "\n";
            else if (!temporary && finished && files.at(rel).after.empty()) problems += "not deleted: " + rel + "\n";
        }
        for (const auto& [rel, e] : files) {
            const std::string now = test::ReadDeep(roots[side], rel);
            const bool old = e.before[side].empty() ? now == "<missing>" : now == e.before[side];
            const bool fresh = e.after.empty() ? now == "<missing>" : now == e.after;
            if (finished ? !fresh : !(old || fresh))
                problems += (side == 0 ? "q/" : "z/") + rel + ": " + std::to_string(now.size()) + " bytes, mixed\n";
        }
    }
    return problems;
}

// With a server, the target is reached through it; nothing there goes to a trash.
// `output`, when given, receives what the run writes.
pid_t StartSync(const std::string& q, const std::string& z, const test::SshServer* server, bool twoWay,
                const std::string& output = "") {
    const std::string target = server ? server->Url(z) : z;
    std::vector<const char*> args = {"kirvo-cli", "sync", "--yes", server ? "--no-trash" : "--quiet"};
    if (twoWay) args.insert(args.end(), {"--mode=two-way", "--max-delete=100%"});
    args.insert(args.end(), {q.c_str(), target.c_str(), nullptr});
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        const int err = output.empty() ? null : open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err < 0 ? null : err, 1);
        dup2(err < 0 ? null : err, 2);
        execv(KIRVO_CLI_PATH, const_cast<char* const*>(args.data()));
        _exit(127);
    }
    return pid;
}

int Finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// kirvo-cli sync --yes killed with SIGKILL at random moments: every file on
// either side is then as it was or completely new, and a rerun finishes the job
// with nothing of ours left behind. With a server the target is on "another machine".
// Two-way, each run carries the changes since the last one (ChangeTrees), a
// deletion included, and the state left by a killed run lets the next finish.
void KillRuns(int runs, unsigned seed, size_t big, const test::SshServer* server = nullptr, bool twoWay = false) {
    test::Scratch scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string q = scratch.path() + "/q", z = scratch.path() + "/z";

    // One way, more than a batch of small files (to another machine two batches are under way at once).
    const int small = 140;
    auto files = MakeTrees(q, z, big, small);
    const auto start = Clock::now();
    ASSERT_EQ(Finish(StartSync(q, z, server, twoWay)), kExitEqual);
    const auto full = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    ASSERT_EQ(CheckBetween(q, z, files, true), "");

    std::mt19937 random(seed);
    int killedInside = 0;
    // The kills are spread over a window that follows how long a run takes
    // now (the machine may be busier or idler than at the first run).
    int64_t window = full;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        files = twoWay ? ChangeTrees(q, z, files, run) : MakeTrees(q, z, big, small);
        const pid_t pid = StartSync(q, z, server, twoWay);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % (window + 1)));
        kill(pid, SIGKILL);
        if (Finish(pid) == -SIGKILL) {
            ++killedInside;
            window = std::min<int64_t>(window * 21 / 20 + 1, 4 * full);
        } else {
            window = window * 3 / 4;
        }
        ASSERT_EQ(CheckBetween(q, z, files, false), "");
        const std::string errors = scratch.path() + "/rerun.err";
        const int rerun = Finish(StartSync(q, z, server, twoWay, errors));
        ASSERT_EQ(CheckBetween(q, z, files, true), "") << "rerun status " << rerun << "\n" << test::ReadFile(errors);
        ASSERT_EQ(rerun, kExitEqual) << test::ReadFile(errors);
    }
    ::testing::Test::RecordProperty("killed_inside_a_run", killedInside);
    if (runs >= 20) {
        EXPECT_GE(killedInside, runs / 3);  // most kills landed inside a run
    }
}

// An undo that, as if killed, ends at once when it reaches step `at`.
class UndoKilledAt final : public UndoQuestions {
public:
    explicit UndoKilledAt(int32_t at) {
        ui_.onProgress = [at](const ProgressInfo& info) {
            if (info.filesDone == at) raise(SIGKILL);
        };
    }
    bool confirm(const LoggedRun&, const std::vector<UndoStep>&) override { return true; }
    FileOperationUi& startWork() override { return ui_; }

private:
    test::ScriptedUi ui_;
};

// Undo of a two-way run that copied many files, killed part way: the pair's
// state went before the first copy did, so the next two-way run deletes none
// of the originals whose copies undo took away; it copies them again.
TEST(SyncKill, AnUndoKilledPartWayLeavesAStateThatDeletesNothing) {
    for (const int32_t at : {1, 40}) {
        SCOPED_TRACE("killed at step " + std::to_string(at));
        test::Scratch scratch;
        ASSERT_FALSE(scratch.path().empty());
        const std::string q = scratch.path() + "/q", z = scratch.path() + "/z";
        std::map<std::string, std::string> originals;
        for (int i = 0; i < 60; ++i) {
            const std::string rel = "d" + std::to_string(i % 4) + "/f" + std::to_string(i);
            originals[rel] = Content(rel, "original", 100 + i);
            test::WriteFile(q + "/" + rel, originals[rel], kOld);
        }
        fs::create_directories(z);
        ASSERT_EQ(Finish(StartSync(q, z, nullptr, true)), kExitEqual);

        std::vector<LoggedRun> runs;
        std::string error;
        ASSERT_TRUE(RunLog::ReadRuns(OperationLog::DefaultPath(), runs, error)) << error;
        ASSERT_FALSE(runs.empty());
        ASSERT_EQ(runs.back().sourceRoot, q);
        const std::string ended = test::InChild([&] {
            OperationLog log;
            RemoteConnections roots(nullptr, LoginSettings::Default());
            UndoKilledAt questions(at);
            UndoRequest request;
            request.run = runs.back().id;
            request.confirm = UndoRequest::Confirm::Yes;
            UndoUseCase(log, roots, SyncStateStore::DefaultFolder()).run(request, questions);
            return std::string("not killed");
        });
        ASSERT_EQ(ended, "child died with signal " + std::to_string(SIGKILL));
        size_t taken = 0;
        for (const auto& [rel, content] : originals) taken += !fs::exists(z + "/" + rel);
        ASSERT_GT(taken, 0u);
        ASSERT_LT(taken, originals.size());

        EXPECT_EQ(Finish(StartSync(q, z, nullptr, true)), kExitEqual);
        for (const auto& [rel, content] : originals) {
            EXPECT_EQ(test::ReadDeep(q, rel), content) << rel;
            EXPECT_EQ(test::ReadDeep(z, rel), content) << rel;
        }
    }
}

TEST(SyncKill, KilledRunsLeaveOldOrNewContentAndARerunFinishes) { KillRuns(2, 1, 1u << 20); }

TEST(SyncKillSlow, ManyRandomKills) { KillRuns(120, 20261207, 6u << 20); }

TEST(SyncKill, KilledTwoWayRunsLeaveOldOrNewContentAndARerunFinishes) { KillRuns(3, 2, 1u << 20, nullptr, true); }

// Killed after the old version went into the trash, before the copy took its
// place: the old file is as it was, only its change time moved (the trash's
// link). The rerun copies over it, no conflict, no temporary file left.
TEST(SyncKill, ATwoWayRunKilledBeforeAReplaceLeavesNoConflict) {
    test::Scratch scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string q = scratch.path() + "/q", z = scratch.path() + "/z";
    std::map<std::string, Expected> files;
    for (const std::string rel : {"a.txt", "b/c.txt"}) {
        test::WriteFile(q + "/" + rel, Content(rel, "alt", 300), kOld);
        test::WriteFile(z + "/" + rel, Content(rel, "alt", 300), kOld);
        files[rel] = {{Content(rel, "alt", 300), Content(rel, "neu", 301)}, Content(rel, "neu", 301)};
    }
    ASSERT_EQ(Finish(StartSync(q, z, nullptr, true)), kExitEqual);
    for (const auto& [rel, e] : files) test::WriteFile(z + "/" + rel, e.after, kNew);
    const std::string ended = test::InChild([&] {
        LocalFileTransfer::beforePlacing = [](const std::string& name) {
            if (name == "c.txt") raise(SIGKILL);
        };
        return std::to_string(test::Cli({"sync", "--yes", "--quiet", "--mode=two-way", q, z}).status);
    });
    ASSERT_EQ(ended, "child died with signal " + std::to_string(SIGKILL));
    const std::string output = scratch.path() + "/rerun.out";
    EXPECT_EQ(Finish(StartSync(q, z, nullptr, true, output)), kExitEqual) << test::ReadFile(output);
    EXPECT_EQ(CheckBetween(q, z, files, true), "");
}

TEST(SyncKillSlow, ManyRandomKillsTwoWay) { KillRuns(60, 20261209, 6u << 20, nullptr, true); }

TEST(SyncKill, KilledRunsWithARemoteTargetLeaveOldOrNewContent) {
    const test::SshServer server;
    if (!server.running()) GTEST_SKIP() << server.error();
    KillRuns(2, 1, 1u << 20, &server);
}

TEST(SyncKillSlow, ManyRandomKillsWithARemoteTarget) {
    const test::SshServer server;
    if (!server.running()) GTEST_SKIP() << server.error();
    KillRuns(40, 20261208, 6u << 20, &server);
}

}  // namespace
}  // namespace kirvo
