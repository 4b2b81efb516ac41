#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

#include "app/job_store.h"
#include "cli/cli_command.h"
#include "cli/cli_test_run.h"
#include "support/temp_tree.h"
#include "support/unprivileged.h"

namespace kirvo {
namespace {

namespace fs = std::filesystem;
using test::Cli;
using test::CliResult;
using test::MakeTree;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using Json = nlohmann::json;

constexpr int64_t kNew = 1'400'000'000;

bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// Waits up to `seconds` for a condition that another process brings about.
bool Within(double seconds, const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

CliResult Shell(const std::string& command) {
    CliResult r;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// The real kirvo-cli, with extra environment in front.
CliResult Binary(const std::string& environment, const std::string& args) {
    return Shell(environment + " " + KIRVO_CLI_PATH + " " + args);
}

TEST(Jobs, SavedJobRunsWithItsSettingsAndReportsInJson) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    MakeTree(q, {{"a.txt", kNew, "abc"}, {"tief/unten/b.txt", kNew, "bbbb"}, {"weg.tmp", kNew, "t"}});
    WriteFile(q + "/bad\xff.txt", "x", kNew);
    ASSERT_EQ(symlink("a.txt", (q + "/verweis").c_str()), 0);  // left out, as the job says
    fs::create_directories(z);
    ASSERT_EQ(Cli({"job", "save", "docs", "--direction=to-target", "--exclude=*.tmp", "--links=skip", q, z}).status,
              kExitEqual);

    // compare: one row per file, sizes as numbers, times as ISO 8601 and UTC nanoseconds,
    // a name that is no UTF-8 with its exact bytes beside it.
    const CliResult compared = Cli({"compare", "--format=json", "--exclude=*.tmp", "--links=skip", q, z});
    ASSERT_EQ(compared.status, kExitUnequal) << compared.err;
    const Json list = Json::parse(compared.out);
    EXPECT_EQ(list["settings"]["links"], "skip");
    ASSERT_EQ(list["rows"].size(), 3u);
    const Json& bad = list["rows"][1]["source"];
    EXPECT_EQ(bad["path"], "bad\xEF\xBF\xBD.txt");
    EXPECT_EQ(bad["path_base64"], "YmFk/y50eHQ=");
    const Json& b = list["rows"][2];
    EXPECT_EQ(b["source"]["path"], "tief/unten/b.txt");
    EXPECT_EQ(b["source"]["size"], 4);
    EXPECT_EQ(b["source"]["modified_ns"], kNew * 1'000'000'000);
    EXPECT_TRUE(std::regex_match(b["source"]["modified"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.000[+-]\d\d:\d\d)")));
    EXPECT_EQ(b["direction"], "to-target");
    EXPECT_TRUE(b["target"].is_null());
    EXPECT_EQ(list["totals"]["source"]["bytes"], 8);
    EXPECT_EQ(list["counts"]["unequal"], 3);

    // run: every copy with its paths, bytes and result; the job's filter holds.
    const CliResult ran = Cli({"run", "--format=json", "docs"});
    ASSERT_EQ(ran.status, kExitEqual) << ran.err;
    const Json report = Json::parse(ran.out);
    EXPECT_EQ(report["job"], "docs");
    EXPECT_EQ(report["exit_status"], 0);
    EXPECT_EQ(report["counts"]["copied"], 3);
    EXPECT_EQ(report["counts"]["bytes"], 8);
    ASSERT_EQ(report["actions"].size(), 3u);
    EXPECT_EQ(report["actions"][2]["destination"], z + "/tief/unten/b.txt");
    EXPECT_EQ(report["actions"][2]["bytes"], 4);
    EXPECT_EQ(report["actions"][2]["result"], "done");
    EXPECT_EQ(ReadFile(z + "/tief/unten/b.txt"), "bbbb");
    EXPECT_FALSE(Exists(z + "/weg.tmp"));
    EXPECT_FALSE(Exists(z + "/verweis"));
    EXPECT_EQ(report["afterwards"]["unequal"], 0);

    const CliResult again = Cli({"run", "docs"});
    EXPECT_EQ(again.status, kExitEqual);
    EXPECT_NE(again.out.find("Auftrag \"docs\": nichts zu tun – Status 0"), std::string::npos) << again.out;
    const std::string log = ReadFile(std::string(std::getenv("XDG_STATE_HOME")) + "/kirvo/protokoll.log");
    EXPECT_NE(log.find("\tAuftrag\t" + q + "\t" + z + "\t8\t\tAuftrag \"docs\": 3 kopiert"), std::string::npos) << log;
}

// A run that must not start: nothing is made, and the message says why.
TEST(Jobs, RunIsRefusedWithoutItsDriveOrWithAnInvalidJob) {
    TempDir dir;
    const std::string q = dir / "q";
    MakeTree(q, {{"a.txt", kNew, "a"}});
    const std::string folder = JobStore().folder();
    fs::create_directories(folder);
    WriteFile(folder + "/kaputt.job", "source = " + q + "\n# Ziel\ntrash = vielleicht\ntarget = /x\n", kNew);
    ASSERT_EQ(Cli({"job", "save", "stick", q, dir / "stick/Dokumente"}).status, kExitEqual);
    struct Case {
        std::string job;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"stick", 4, "kirvo-cli run: Das Ziel „" + dir / "stick/Dokumente" + "“ existiert nicht. Ist der Datenträger angeschlossen? Es wird "
                     "nichts kopiert."},
        {"kaputt", kExitUsage, "Auftrag \"kaputt\", Zeile 3: ungültiger Wert \"vielleicht\" für trash"},
        {"fehlt", kExitUsage, "Es gibt keinen Auftrag \"fehlt\""},
        {"../x", kExitUsage, "Ungültiger Name \"../x\" für einen Auftrag"},
    };
    for (const Case& c : cases) {
        const CliResult r = Cli({"run", c.job});
        EXPECT_EQ(r.status, c.status) << c.job << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.job << ": " << r.err;
    }
    EXPECT_FALSE(Exists(dir / "stick"));

    // A source below a folder that cannot be searched is unreadable, never
    // missing (without root's rights: root searches every folder).
    test::MakeDirs(dir / "zu/q");
    test::MakeDirs(dir / "zu-ziel");
    const std::string locked = test::Unprivileged(dir.path(), [&] {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
            setenv(name, (dir / name).c_str(), 1);
        if (Cli({"job", "save", "zu", dir / "zu/q", dir / "zu-ziel"}).status != kExitEqual) return std::string("not saved");
        chmod((dir / "zu").c_str(), 0);
        const CliResult r = Cli({"run", "zu"});
        return std::to_string(r.status) + " " + r.err;
    });
    EXPECT_EQ(locked.rfind("4 ", 0), 0u) << locked;
    EXPECT_NE(locked.find("nicht lesbar: " + dir / "zu/q/"), std::string::npos) << locked;
    EXPECT_EQ(locked.find("existiert nicht"), std::string::npos) << locked;
}

TEST(Jobs, ScheduleWritesUserUnitsAndSwitchesThemOn) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "stick/z";
    MakeTree(q, {{"a.txt", kNew, "a"}});
    fs::create_directories(z);
    // A hand-written job: its comment and an entry of a later version survive the rewrite.
    const std::string jobFile = JobStore().PathOf("plan");
    fs::create_directories(fs::path(jobFile).parent_path());
    WriteFile(jobFile, "# meine Sicherung\nsource = " + q + "\ntarget = " + z + "\nkuenftig = 7\n", kNew);
    // systemctl stands in for the user's service manager, which must not be touched.
    const std::string bin = dir / "bin", calls = dir / "systemctl.calls", runtime = dir / "run";
    WriteFile(bin + "/systemctl", "#!/bin/sh\necho \"$*\" >> " + calls + "\n", kNew);
    chmod((bin + "/systemctl").c_str(), 0755);
    WriteFile(runtime + "/systemd/private", "", kNew);
    chmod(runtime.c_str(), 0700);
    const std::string environment = "PATH=" + bin + ":$PATH XDG_RUNTIME_DIR=" + runtime;
    const std::string units = std::string(std::getenv("XDG_CONFIG_HOME")) + "/systemd/user/";
    const bool analyze = std::system("command -v systemd-analyze >/dev/null") == 0;

    // A state folder with a tab and a line end reaches the unit as systemd reads it.
    const std::string home = std::getenv("XDG_STATE_HOME");
    setenv("XDG_STATE_HOME", (dir / "stand\tneu\nzeile").c_str(), 1);
    CliResult r = Binary(environment, "schedule plan --every=daily");
    ASSERT_EQ(r.status, kExitEqual) << r.out;
    const std::string service = ReadFile(units + "kirvo-plan.service");
    EXPECT_NE(service.find("ExecStart=\"" + fs::canonical(KIRVO_CLI_PATH).string() + "\" run plan\n"),
              std::string::npos)
        << service;
    EXPECT_NE(service.find("Environment=\"XDG_STATE_HOME=" + dir / "stand\\tneu\\nzeile\"\n"), std::string::npos)
        << service;
    // One systemd cannot take is refused: the unit would run against other folders.
    setenv("XDG_STATE_HOME", (dir / "stand\x01").c_str(), 1);
    r = Binary(environment, "schedule plan --every=weekly");
    EXPECT_EQ(r.status, kExitUsage) << r.out;
    EXPECT_NE(r.out.find("lässt sich nicht in eine systemd-Einheit schreiben"), std::string::npos) << r.out;
    EXPECT_EQ(ReadFile(units + "kirvo-plan.service"), service);
    EXPECT_NE(ReadFile(units + "kirvo-plan.timer").find("OnCalendar=daily\nPersistent=true\n"), std::string::npos);
    EXPECT_EQ(ReadFile(calls), "--user daemon-reload\n--user enable --now kirvo-plan.timer\n");
    const std::string job = ReadFile(jobFile);
    EXPECT_EQ(job.rfind("# meine Sicherung\nsource = ", 0), 0u) << job;
    EXPECT_NE(job.find("kuenftig = 7\n"), std::string::npos) << job;
    EXPECT_NE(job.find("every = daily\n"), std::string::npos) << job;
    setenv("XDG_STATE_HOME", home.c_str(), 1);
    if (analyze) {
        const CliResult verify = Shell("XDG_RUNTIME_DIR=" + runtime + " systemd-analyze verify --user " + units +
                                       "kirvo-plan.service " + units + "kirvo-plan.timer");
        EXPECT_EQ(verify.status, 0) << verify.out;
        r = Binary(environment, "schedule plan --every=bogus");
        EXPECT_EQ(r.status, kExitUsage) << r.out;
        EXPECT_NE(ReadFile(units + "kirvo-plan.timer").find("OnCalendar=daily"), std::string::npos);
    }

    // When the stick is mounted: wanted by its mount unit, idle while it is not.
    fs::remove(calls);
    r = Binary(environment, "schedule plan --when-mounted --mount-point=" + dir / "stick");
    ASSERT_EQ(r.status, kExitEqual) << r.out;
    std::string mountUnit = dir / "stick";  // as systemd-escape --path writes it: only '-' needs escaping here
    for (size_t at = 0; (at = mountUnit.find('-', at)) != std::string::npos; at += 4) mountUnit.replace(at, 1, "\\x2d");
    std::replace(mountUnit.begin(), mountUnit.end(), '/', '-');
    mountUnit = mountUnit.substr(1) + ".mount";
    const std::string mounted = ReadFile(units + "kirvo-plan.service");
    EXPECT_NE(mounted.find("ConditionPathIsMountPoint=" + dir / "stick" + "\n"), std::string::npos) << mounted;
    EXPECT_NE(mounted.find("WantedBy=" + mountUnit + "\n"), std::string::npos) << mounted;
    EXPECT_FALSE(Exists(units + "kirvo-plan.timer"));
    EXPECT_NE(ReadFile(calls).find("--user reenable kirvo-plan.service\n"), std::string::npos) << ReadFile(calls);

    r = Binary(environment, "schedule plan --off");
    EXPECT_EQ(r.status, kExitEqual) << r.out;
    EXPECT_FALSE(Exists(units + "kirvo-plan.service"));
    EXPECT_EQ(ReadFile(jobFile).find("when-mounted"), std::string::npos);
}

// Changes in new nested folders reach the target within seconds; the
// watcher's own copies start no further run; SIGTERM ends it with 0.
TEST(JobsSlow, WatchCarriesChangesToTheTargetAndEndsOnSigterm) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z", output = dir / "watch.out";
    fs::create_directories(q);
    fs::create_directories(z);
    ASSERT_EQ(Cli({"job", "save", "beobachtet", "--direction=to-target", q, z}).status, kExitEqual);
    const pid_t watcher = fork();
    ASSERT_GE(watcher, 0);
    if (watcher == 0) {
        (void)!freopen(output.c_str(), "w", stdout);
        (void)!freopen((dir / "watch.err").c_str(), "w", stderr);
        execl(KIRVO_CLI_PATH, "kirvo-cli", "watch", "beobachtet", static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto runs = [&] {
        const std::string text = Exists(output) ? ReadFile(output) : "";
        return std::count(text.begin(), text.end(), '\n');
    };
    ASSERT_TRUE(Within(10, [&] { return runs() == 1; })) << ReadFile(dir / "watch.err");

    struct Step {
        const char* what;
        std::function<void()> change;
        std::function<bool()> arrived;
    };
    const Step steps[] = {
        {"neu angelegt", [&] { WriteFile(q + "/neu/tief/a.txt", "a", kNew); },
         [&] { return Exists(z + "/neu/tief/a.txt"); }},
        {"umbenannt", [&] { fs::rename(q + "/neu/tief/a.txt", q + "/neu/tief/b.txt"); WriteFile(q + "/neu/tief/noch/c.txt", "c", kNew); },
         [&] { return Exists(z + "/neu/tief/b.txt") && Exists(z + "/neu/tief/noch/c.txt"); }},
        {"Ordner umbenannt", [&] { fs::rename(q + "/neu", q + "/anders"); WriteFile(q + "/anders/tief/d.txt", "d", kNew); },
         [&] { return Exists(z + "/anders/tief/d.txt"); }},
        {"gelöscht", [&] { fs::remove(q + "/anders/tief/b.txt"); }, [] { return true; }},
    };
    for (const Step& step : steps) {
        const long before = runs();
        step.change();
        EXPECT_TRUE(Within(5, step.arrived)) << step.what << "\n" << ReadFile(output) << ReadFile(dir / "watch.err");
        EXPECT_TRUE(Within(5, [&] { return runs() > before; })) << step.what;
    }
    EXPECT_TRUE(Exists(z + "/anders/tief/b.txt")) << "update deletes nothing";
    const long settled = runs();
    std::this_thread::sleep_for(std::chrono::seconds(4));
    EXPECT_EQ(runs(), settled) << ReadFile(output);

    kill(watcher, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(watcher, &status, 0), watcher);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace kirvo
