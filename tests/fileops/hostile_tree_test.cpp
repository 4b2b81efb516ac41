#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/error_text.h"
#include "cli/cli_command.h"
#include "cli/cli_test_run.h"
#include "fileops/file_operation_texts.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/scripted_ui.h"
#include "fileops/tree_tools.h"
#include "platform/sftp/remote_connections.h"
#include "support/ssh_server.h"
#include "support/mounted_file_system.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using test::ReadDeep;
using test::ReadFile;
using test::ScriptedUi;
using test::SyncYes;
using test::TempDir;
using test::Unequal;
using test::WriteDeep;
using test::WriteFile;

constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = 1'400'000'000;
const CopyFlags kNoQuestions{false, false};

bool Present(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Every name below root with its content ("<dir>" for folders), to see that nothing changed.
std::vector<std::string> Snapshot(const std::string& root) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        out.push_back(e.path().string() + "=" + (e.is_directory() ? "<dir>" : ReadFile(e.path())));
    }
    std::sort(out.begin(), out.end());
    return out;
}

void MakeSocket(const std::string& path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    path.copy(address.sun_path, path.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
    close(fd);
}

// Between the comparison and the operation a folder on the way is swapped for
// a link to somewhere else. Whatever lies there is never opened for writing,
// written or removed; the file fails with a reason that says why. The same
// with the side concerned on another machine (through a local SSH server).
TEST(HostileTree, FolderSwappedForLinkIsNeverFollowed) {
    test::SshServer server;
    enum class Op { CopyInto, CopyFrom, Delete };
    struct Case {
        const char* name;
        Op op;
        const char* swapped;  // relative folder replaced by the link (on the side concerned)
        bool toRoot;          // the link points to / instead of a folder outside both roots
    };
    const Case cases[] = {
        {"copy into a swapped folder", Op::CopyInto, "sub", false},
        {"copy into a swapped deeper folder", Op::CopyInto, "sub/inner", false},
        {"copy into a folder swapped for a link to /", Op::CopyInto, "sub", true},
        {"copy out of a swapped folder", Op::CopyFrom, "sub", false},
        {"copy out of a folder swapped for a link to /", Op::CopyFrom, "sub", true},
        {"delete in a swapped folder", Op::Delete, "sub", false},
        {"delete in a swapped deeper folder", Op::Delete, "sub/inner", false},
        {"delete in a folder swapped for a link to /", Op::Delete, "sub/inner", true},
    };
    const std::string probe = "kirvo-probe-" + std::to_string(getpid());
    for (const bool remote : {false, true}) {
    if (remote && !server.running()) continue;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (remote ? " (remote)" : ""));
        TempDir dir;
        const std::string q = dir / "q", z = dir / "z", outside = dir / "outside";
        const std::string rel = std::string(c.swapped) + "/" + probe;
        WriteFile(q + "/" + rel, "new", kNew);
        WriteFile(z + "/" + rel, "old", kOld);
        WriteFile(outside + "/" + probe, "precious", kOld);
        WriteFile(outside + "/" + "inner/" + probe, "precious too", kOld);
        const std::vector<std::string> before = Snapshot(outside);

        const std::string& side = c.op == Op::CopyFrom ? q : z;
        std::filesystem::remove_all(side + "/" + c.swapped);
        ASSERT_EQ(symlink(c.toRoot ? "/" : outside.c_str(), (side + "/" + c.swapped).c_str()), 0);

        ScriptedUi ui;
        ui.errorAnswers = {ErrorAnswer::Skip};
        RemoteConnections connections(nullptr, LoginSettings::Default());
        const std::string sideRoot = remote ? server.Url(side) : side;
        const std::string from = c.op == Op::CopyFrom ? sideRoot : q;
        const std::string to = c.op == Op::CopyFrom ? z : sideRoot;
        if (remote) ASSERT_EQ(connections.connect(*Root::Parse(sideRoot)), "");
        LocalFileOperationService service(ui, nullptr, connections);
        const OperationResult r =
            c.op == Op::Delete
                ? service.remove(std::vector<ListedPath>{RootedPath::Join(to, rel)}, DeleteFlags{false})
                : service.copy(std::vector<CopyPair>{{RootedPath::Join(from, rel), RootedPath::Join(to, rel)}},
                               kNoQuestions);

        ASSERT_EQ(r.files.size(), 1u);
        EXPECT_EQ(r.files[0].outcome, FileOutcome::Failed);
        ASSERT_EQ(ui.errors.size(), 1u);
        EXPECT_EQ(ui.errors[0].reason, FileOperationTexts::kLinkOnTheWay);
        EXPECT_EQ(ui.errors[0].path, sideRoot + "/" + c.swapped);
        EXPECT_EQ(Snapshot(outside), before);
        EXPECT_FALSE(Present("/" + probe));
        EXPECT_FALSE(Present("/inner"));
    }
    }
}

// Sources that are not regular files fail at once (a fifo never blocks), and
// so does another owner's link for root; a destination that is a link is
// replaced only when it points to a file.
TEST(HostileTree, OddSourcesFailWithoutBlocking) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    test::MakeDirs(q);
    test::MakeDirs(z);
    ASSERT_EQ(mkfifo((q + "/fifo").c_str(), 0600), 0);
    MakeSocket(q + "/socket");
    ASSERT_EQ(symlink("nowhere", (q + "/dangling").c_str()), 0);
    ASSERT_EQ(symlink("loop", (q + "/loop").c_str()), 0);
    ASSERT_EQ(symlink("/", (q + "/root").c_str()), 0);
    ASSERT_EQ(symlink(".", (q + "/self").c_str()), 0);
    std::vector<std::pair<std::string, std::string>> expected = {
        {"fifo", "keine normale Datei"}, {"socket", ErrorText(ENXIO)},  {"dangling", ErrorText(ENOENT)},
        {"loop", ErrorText(ELOOP)},       {"root", "keine normale Datei"}, {"self", "keine normale Datei"},
    };
    if (geteuid() == 0) {
        // Root follows no link whose owner is not its file's, listed or not.
        WriteFile(dir / "secret", "secret", kOld);
        ASSERT_EQ(symlink((dir / "secret").c_str(), (q + "/foreign").c_str()), 0);
        ASSERT_EQ(lchown((q + "/foreign").c_str(), 65534, 65534), 0);
        expected.emplace_back("foreign", "als root nicht gefolgt");
    }
    std::vector<CopyPair> pairs;
    for (const auto& [name, text] : expected) pairs.push_back({RootedPath::Join(q, name), RootedPath::Join(z, name)});
    ScriptedUi ui;
    ui.errorAnswers.assign(expected.size(), ErrorAnswer::Skip);
    const OperationResult r = LocalFileOperationService(ui).copy(pairs, kNoQuestions);
    ASSERT_EQ(ui.errors.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(r.files[i].outcome, FileOutcome::Failed) << expected[i].first;
        EXPECT_NE(ui.errors[i].reason.find(expected[i].second), std::string::npos) << ui.errors[i].reason;
    }
    EXPECT_TRUE(std::filesystem::is_empty(z));
}

// A tree with every hostile kind of entry goes through the whole
// synchronisation: what is a file (or a link to one) arrives as itself,
// everything else is left alone, and nothing hangs.
TEST(HostileTree, HostileEntriesSurviveAFullSync) {
    test::Scratch dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string q = dir.path() + "/q", z = dir.path() + "/z";
    std::vector<std::string> names;
    for (int b = 1; b < 256; ++b) {
        if (b == '/') continue;
        names.push_back("n" + std::string(1, static_cast<char>(b)));
    }
    names.push_back(std::string(255, 'L'));
    names.push_back(std::string(254, '\xE4') + "x");
    names.push_back("sub/" + std::string(255, 'M'));
    for (const std::string& n : names) WriteFile(q + "/" + n, "content of " + n, kNew);
    WriteFile(z + "/" + std::string(255, 'L'), "older", kOld);
    WriteFile(q + "/real/file", "through a link", kNew);
    test::MakeDirs(q + "/links");
    ASSERT_EQ(symlink("..", (q + "/links/up").c_str()), 0);  // a loop if it were entered
    ASSERT_EQ(symlink("/", (q + "/links/root").c_str()), 0);
    ASSERT_EQ(symlink("gone", (q + "/links/dangling").c_str()), 0);
    ASSERT_EQ(symlink("me", (q + "/links/me").c_str()), 0);
    ASSERT_EQ(symlink("../real/file", (q + "/links/file").c_str()), 0);
    ASSERT_EQ(mkfifo((q + "/fifo").c_str(), 0600), 0);
    MakeSocket(q + "/sock");

    const test::SyncOutcome r = SyncYes(q, z);
    EXPECT_EQ(r.status, kExitEqual) << r.out << r.err;
    for (const std::string& n : names) EXPECT_EQ(ReadFile(z + "/" + n), "content of " + n) << n;
    EXPECT_EQ(ReadFile(z + "/links/file"), "through a link");
    struct stat st;
    ASSERT_EQ(lstat((z + "/links/file").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    for (const char* n : {"links/up", "links/root", "links/dangling", "links/me", "fifo", "sock"})
        EXPECT_FALSE(Present(z + "/" + n)) << n;
    EXPECT_TRUE(Unequal(q, z).empty());
}

// Past the system's path limit files are copied and deleted like any other.
TEST(HostileTree, PathsLongerThanTheLimitAreCopiedAndDeleted) {
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    std::string deep;
    for (int i = 0; i < 40; ++i) deep += std::string(120, static_cast<char>('a' + i % 26)) + "/";
    const std::string rel = deep + "tief.txt";
    ASSERT_GT(rel.size(), 4096u);
    ASSERT_TRUE(WriteDeep(q, rel, "deep content", kNew));
    ASSERT_TRUE(WriteDeep(z, deep + "other.txt", "kept", kOld));
    ScriptedUi ui;
    LocalFileOperationService service(ui);

    const OperationResult copied =
        service.copy(std::vector<CopyPair>{{RootedPath::Join(q, rel), RootedPath::Join(z, rel)},
                                           {RootedPath::Join(q, rel), RootedPath::Join(z, "new/" + rel)}},
                     CopyFlags{false, false});
    EXPECT_TRUE(copied.allDone()) << (ui.errors.empty() ? "" : ui.errors[0].reason);
    EXPECT_EQ(ReadDeep(z, rel), "deep content");
    EXPECT_EQ(ReadDeep(z, "new/" + rel), "deep content");

    const OperationResult removed = service.remove(std::vector<ListedPath>{RootedPath::Join(z, rel)}, DeleteFlags{false});
    EXPECT_TRUE(removed.allDone());
    EXPECT_EQ(ReadDeep(z, rel), "<missing>");
    EXPECT_EQ(ReadDeep(z, deep + "other.txt"), "kept");
    EXPECT_EQ(ReadDeep(q, rel), "deep content");

    // Roots that long are there, not missing.
    const test::CliResult compared = test::Cli({"compare", "--format=tsv", q + "/" + deep, z + "/" + deep});
    EXPECT_EQ(compared.err, "");
    EXPECT_EQ(compared.status, kExitUnequal);
    EXPECT_NE(compared.out.find("\ttief.txt\t--->\t"), std::string::npos) << compared.out;
}

// One root inside the other never converges (each run would nest the tree
// once more): sync refuses. The same folder as both roots has nothing to do.
TEST(HostileTree, NestedRootsAreRefusedAndTheSameRootIsInLine) {
    TempDir dir;
    const std::string q = dir / "q";
    WriteFile(q + "/a.txt", "a", kNew);
    WriteFile(q + "/backup/old.txt", "o", kOld);
    // The inner folder reached through a link, and shown once more by a bind mount.
    symlink((q + "/backup").c_str(), (dir / "link").c_str());
    const test::MountedFileSystem bind = test::MountedFileSystem::Bind(q + "/backup", dir / "bind");
    const std::vector<std::string> before = Snapshot(dir.path());
    struct Case {
        std::string source, target;
        int status;
    };
    std::vector<Case> cases = {
        {q, q + "/backup", kExitUsage},
        {q + "/backup", q, kExitUsage},
        {q + "/backup/", q + "/./", kExitUsage},
        {q, dir / "link", kExitUsage},
        {q, q + "/backup/neu", kExitUsage},  // made there by the copy
        {q, q, kExitEqual},
        {q, q + "/", kExitEqual},
    };
    if (bind.mounted()) {
        cases.push_back({q, dir / "bind", kExitUsage});
        cases.push_back({dir / "bind", q, kExitUsage});
        cases.push_back({dir / "bind", q + "/backup", kExitEqual});  // one folder, two ways
    }
    // Comparing them is fine: each tree is read once.
    EXPECT_EQ(Unequal(q, q + "/backup"), (std::vector<std::string>{"+1 a.txt", "-1 old.txt", "+1 backup/old.txt"}));
    for (const Case& c : cases) {
        const test::SyncOutcome r = SyncYes(c.source, c.target);
        EXPECT_EQ(r.status, c.status) << c.source << " " << c.target << r.err;
        EXPECT_EQ(Snapshot(dir.path()), before);
    }
}

}  // namespace
}  // namespace kirvo
