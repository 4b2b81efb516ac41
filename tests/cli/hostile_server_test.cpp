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
// Ctrl+C ends a wait for a stalled server at once (exit 130).
TEST(HostileServer, StallsAndEndlessListingsEndTheConnection) {
    TempDir dir;
    const std::string control = dir / "control";
    SshServer server(true, std::string(KIRVO_HOSTILE_SFTP_PATH) + " " + control);
    if (!server.running()) GTEST_SKIP() << server.error();
    for (const std::string side : {"q", "z"}) {
        test::MakeTree(dir / side, {{"a.txt"}, {"Ordner/b.txt"}});
        for (int i = 0; i < 120; ++i) test::WriteFile(dir / (side + "/Falle/f" + std::to_string(i)), "x", 1'300'000'000);
    }
    const struct {
        const char* fault;
        int strayMs;  // while stalled: a reply nobody asked for this often
        bool interrupt;
        bool content;  // --compare=content
        int status;
        std::string says;
    } cases[] = {
        {"stall-readdir", 100, false, false, kExitUnreachable, "der Server hat 2 Sekunden lang nicht auf eine Anfrage geantwortet"},
        {"stall-readdir", 0, false, false, kExitUnreachable, "der Server hat 2 Sekunden lang nicht auf eine Anfrage geantwortet"},
        {"stall-readdir", 100, true, false, kExitInterrupted, "Abgebrochen."},
        {"stall-read", 100, true, true, kExitInterrupted, "Abgebrochen."},
        {"silent", 100, false, false, kExitUnreachable, "Der Server beginnt die Dateiübertragung nicht."},
        {"empty-names", 100, false, false, kExitUnreachable, "immer wieder leere Listen von Namen"},
        {"repeat-names", 100, false, false, kExitUnreachable, "dieselben Namen eines Ordners mehrmals"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + " " + std::to_string(c.strayMs) + (c.interrupt ? " interrupted" : ""));
        std::filesystem::remove(control + ".stalled");
        std::ofstream(control) << "fault=" << c.fault << "\nfolder=Falle\nbatch=50\nstray-ms=" << c.strayMs << "\n";
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
}

}  // namespace
}  // namespace kirvo
