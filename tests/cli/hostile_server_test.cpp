#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_command.h"
#include "support/ssh_server.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using Clock = std::chrono::steady_clock;
using test::SshServer;
using test::TempDir;

struct Ended {
    int status = -1;
    double secondsAfterInterrupt = 0;  // from SIGINT (or the start) to the end
    long peakKilobytes = 0;
    std::string err;
};

// kirvo-cli as a process of its own, with `environment` added; SIGINT once
// `interruptWhen` exists (when given). A run that never ends is killed after
// two minutes, so a hang fails the test instead of stopping the suite.
Ended RunCli(const std::vector<std::string>& args, const std::vector<std::string>& environment,
             const std::string& interruptWhen, const std::string& errFile) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
        const int out = open("/dev/null", O_WRONLY);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> argv = {const_cast<char*>("kirvo-cli")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KIRVO_CLI_PATH, argv.data());
        _exit(127);
    }
    Ended ended;
    auto from = Clock::now();
    const auto giveUp = from + std::chrono::minutes(2);
    bool interrupted = interruptWhen.empty();
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (!interrupted && std::filesystem::exists(interruptWhen)) {
            kill(pid, SIGINT);
            interrupted = true;
            from = Clock::now();
        }
        if (Clock::now() > giveUp) kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ended.secondsAfterInterrupt = std::chrono::duration<double>(Clock::now() - from).count();
    ended.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ended.peakKilobytes = usage.ru_maxrss;
    ended.err = test::ReadFile(errFile);
    return ended;
}

// A server that misbehaves in the listing of one folder ("Falle", 120 files,
// among others that list well): the comparison never waits for ever, never
// grows without bound, and says the connection was ended and why (exit 3);
// Ctrl+C ends a wait for a stalled server at once (exit 130). A folder it
// will not open, cuts short or names something in that is no name is
// unknown with its reason (exit 4); such a name never becomes a path.
TEST(HostileServer, NeverHoldsNorFoolsTheComparison) {
    TempDir dir;
    const std::string control = dir / "control";
    SshServer server(true, std::string(KIRVO_HOSTILE_SFTP_PATH) + " " + control);
    if (!server.running()) GTEST_SKIP() << server.error();
    for (const std::string side : {"q", "z"}) {
        test::MakeTree(dir / side, {{"a.txt"}, {"Ordner/b.txt"}});
        for (int i = 0; i < 120; ++i) test::WriteFile(dir / (side + "/Falle/f" + std::to_string(i)), "x", 1'300'000'000);
    }
    const struct {
        const char* control;  // after "folder=Falle"
        bool interrupt;
        bool content;  // --compare=content
        int status;
        std::string says;
    } cases[] = {
        {"fault=stall-readdir\nstray-ms=100", false, false, kExitUnreachable, "der Server hat 2 Sekunden lang nicht auf eine Anfrage geantwortet"},
        {"fault=stall-readdir\nstray-ms=0", false, false, kExitUnreachable, "der Server hat 2 Sekunden lang nicht auf eine Anfrage geantwortet"},
        {"fault=stall-readdir", true, false, kExitInterrupted, "Abgebrochen."},
        {"fault=stall-read", true, true, kExitInterrupted, "Abgebrochen."},
        {"fault=silent", false, false, kExitUnreachable, "Der Server beginnt die Dateiübertragung nicht."},
        {"fault=empty-names", false, false, kExitUnreachable, "immer wieder leere Listen von Namen"},
        {"fault=repeat-names", false, false, kExitUnreachable, "dieselben Namen eines Ordners mehrmals"},
        {"fault=opendir-denied", false, false, kExitUnreadable, "nicht lesbar: Falle/ – "},
        {"fault=failure-after-first", false, false, kExitUnreadable, "nicht lesbar: Falle/ – der Server brach die Liste ab: "},
        {"fault=bad-name\nname=a/b", false, false, kExitUnreadable, "Falle/ – der Server nennt einen Namen mit „/“"},
        {"fault=bad-name\nname=a\\x00b", false, false, kExitUnreadable, "Falle/ – der Server nennt einen Namen mit einem Nullzeichen"},
        {"fault=bad-name\nname=", false, false, kExitUnreadable, "Falle/ – der Server nennt einen leeren Namen"},
        {"fault=bad-name\nname=..", false, false, kExitUnreadable, "Falle/ – der Server nennt „.“ oder „..“ als Datei"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.control) + (c.interrupt ? " interrupted" : ""));
        std::filesystem::remove(control + ".stalled");
        std::ofstream(control) << "folder=Falle\nbatch=50\n" << c.control << "\n";
        // Interrupted, the usual 30 seconds apply: only the stop ends the wait early.
        const std::vector<std::string> environment = {c.interrupt ? "KIRVO_SFTP_TIMEOUT=30" : "KIRVO_SFTP_TIMEOUT=2"};
        const Ended r = RunCli({"compare", "--quiet", c.content ? "--compare=content" : "--compare=time", dir / "q",
                                server.Url(dir / "z")},
                               environment,
                               c.interrupt ? control + ".stalled" : "", dir / "err");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_LT(r.secondsAfterInterrupt, c.interrupt ? 5 : 20);  // hang guards: about 0.2 s and 2 s
        EXPECT_LT(r.peakKilobytes, 200 * 1024);
    }

    // Synchronising with such a folder copies nothing into it and nothing out
    // of its other side, either way; the name with "/" makes no folder here.
    for (const char* fault : {"fault=failure-after-first", "fault=bad-name\nname=a/b"}) {
        for (const bool remoteSource : {true, false}) {
            SCOPED_TRACE(std::string(fault) + (remoteSource ? " remote source" : " remote target"));
            std::ofstream(control) << "folder=Falle\nbatch=50\n" << fault << "\n";
            std::filesystem::remove_all(dir / "hier");
            test::MakeTree(dir / "hier", {{"Falle/neu", 1'400'000'000, "neu"}});
            const std::string local = dir / "hier", remote = server.Url(dir / "z");
            const Ended r = RunCli({"sync", "--yes", "--no-trash", "--no-log", "--quiet", remoteSource ? remote : local,
                                    remoteSource ? local : remote},
                                   {"KIRVO_SFTP_TIMEOUT=30"}, "", dir / "err");
            EXPECT_EQ(r.status, kExitUnreadable) << r.err;
            EXPECT_FALSE(std::filesystem::exists(dir / "hier/Falle/a"));
            EXPECT_FALSE(std::filesystem::exists(dir / "z/Falle/neu"));
            EXPECT_TRUE(std::filesystem::exists(dir / "hier/Ordner/b.txt"));  // the rest is synchronised
            EXPECT_TRUE(std::filesystem::exists(dir / "z/Falle/f119"));
        }
    }

    // Copying many files there, with many requests under way at once: replies
    // out of order change nothing; a file whose writes fail is reported and
    // the others arrive; a server that stops answering writes ends the run at
    // its deadline, and its files are reported. Run again, everything arrives, and no
    // temporary file is left anywhere.
    const struct {
        const char* control;
        const char* timeout;
        int status;
        std::string says;
        bool othersArrive;
    } uploads[] = {
        {"fault=reorder", "KIRVO_SFTP_TIMEOUT=30", kExitUnequal, "", true},
        {"folder=Falle\nfault=fail-write", "KIRVO_SFTP_TIMEOUT=30", kExitUnequal, "Falle/n7", true},
        {"folder=Falle\nfault=stall-write", "KIRVO_SFTP_TIMEOUT=2", kExitUnequal, "Verbindung unterbrochen", false},
    };
    std::vector<std::pair<std::string, std::string>> wanted;  // relative path, content
    std::filesystem::remove_all(dir / "hier");
    for (int i = 0; i < 300; ++i) {
        const std::string rel = (i % 3 ? "Falle/n" : "Ordner/n") + std::to_string(i);
        wanted.emplace_back(rel, std::string(4096 + i, static_cast<char>('a' + i % 26)));
        test::WriteFile(dir / ("hier/" + rel), wanted.back().second, 1'400'000'000);
    }
    for (const auto& c : uploads) {
        SCOPED_TRACE(c.control);
        for (const auto& [rel, content] : wanted) std::filesystem::remove(dir / ("z/" + rel));
        std::filesystem::remove(control + ".stalled");
        std::ofstream(control) << c.control << "\n";
        const std::vector<std::string> args = {"sync", "--yes", "--no-trash", "--no-log", "--quiet", "--direction=to-target",
                                               dir / "hier", server.Url(dir / "z")};
        const Ended r = RunCli(args, {c.timeout}, "", dir / "err");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_LT(r.secondsAfterInterrupt, 30);  // hang guard: the deadline ends a stalled copy
        EXPECT_LT(r.peakKilobytes, 200 * 1024);
        for (const auto& [rel, content] : wanted) {
            const std::string there = dir / ("z/" + rel);
            const bool arrives = c.othersArrive && (c.control == std::string("fault=reorder") || rel[0] == 'O');
            // What is there is complete, never half.
            EXPECT_TRUE(std::filesystem::exists(there) ? test::ReadFile(there) == content : !arrives) << rel;
        }
        std::ofstream(control) << "fault=none\n";
        EXPECT_EQ(RunCli(args, {}, "", dir / "err").status, kExitUnequal) << test::ReadFile(dir / "err");
        for (const auto& [rel, content] : wanted) EXPECT_EQ(test::ReadFile(dir / ("z/" + rel)), content) << rel;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "z"))
            EXPECT_EQ(e.path().string().find(".kirvo-tmp"), std::string::npos) << e.path();
    }
}

}  // namespace
}  // namespace kirvo
