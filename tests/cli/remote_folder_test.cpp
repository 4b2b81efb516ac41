#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cli/cli_test_run.h"
#include "cli/cli_command.h"
#include "fileops/file_operation_texts.h"
#include "fileops/local_file_operation_service.h"
#include "fileops/scripted_ui.h"
#include "platform/file_node.h"
#include "platform/sftp/remote_connections.h"
#include "platform/sftp/remote_login_ui.h"
#include "support/ssh_server.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using test::MakeTree;
using test::SshServer;
using test::TempDir;
using test::WriteFile;

using test::Cli;
using test::CliResult;

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

#define REQUIRE_SERVER(server)                                              \
    if (!(server).running()) GTEST_SKIP() << (server).error()

// A tree and its copy, compared locally and through the server (either side
// remote), by time and by content: the same rows, sums and exit status; only
// the root texts differ.
TEST(RemoteFolder, ComparedThroughTheServerLikeALocalCopy) {
    SshServer server;
    REQUIRE_SERVER(server);
    TempDir dir;
    const std::string q = dir / "q", z = dir / "z";
    MakeTree(q, {{"a.txt", 1'300'000'000, "abc"},
                 {"Sub/b.txt", 1'200'000'000, "bb"},
                 {"Sub/Deep/er/c d.txt", 1'250'000'000, std::string(70'000, 'c')},
                 {"B.TXT", 1'300'000'005, "B"},
                 {"gr\xc3\xbc\xc3\x9f.txt", 1'300'000'000, "g"},
                 {"only-here.txt", 1'300'000'000, "o"},
                 {"same-time.txt", 1'300'000'000, "aaa"}});
    MakeTree(z, {{"a.txt", 1'300'000'001, "abc"},   // within the tolerance
                 {"Sub/b.txt", 1'100'000'000, "b"},  // older
                 {"Sub/Deep/er/c d.txt", 1'250'000'000, std::string(70'000, 'c')},
                 {"b.txt", 1'300'000'000, "b"},      // the same name but for case
                 {"gr\xc3\xbc\xc3\x9f.txt", 1'400'000'000, "g"},
                 {"Leer/.keep", 1'300'000'000, ""},
                 {"only-there/x.txt", 1'300'000'000, "x"},
                 {"same-time.txt", 1'300'000'000, "bbb"}});  // told apart by content only
    ASSERT_EQ(symlink("a.txt", (z + "/link-to-file").c_str()), 0);
    ASSERT_EQ(symlink("Sub", (z + "/link-to-folder").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (z + "/dangling").c_str()), 0);
    ASSERT_EQ(symlink("a.txt", (q + "/link-to-file").c_str()), 0);

    for (const char* filter : {"--filter=all", "--filter=unequal", "--compare=content", "--links=copy", "--links=skip"}) {
        for (const bool remoteTarget : {true, false}) {
            const std::string local = remoteTarget ? z : q;
            const std::string source = remoteTarget ? q : server.Url(q);
            const std::string target = remoteTarget ? server.Url(z) : z;
            // Links taken as themselves are compared by their texts.
            const std::string content = std::string(filter) == "--links=copy" ? "--compare=content" : "--filter=all";
            const CliResult there = Cli({"compare", "--format=tsv", filter, content, source, target});
            const CliResult here = Cli({"compare", "--format=tsv", filter, content, q, z});
            EXPECT_EQ(there.err, "") << filter;
            EXPECT_EQ(there.status, here.status) << filter;
            EXPECT_EQ(ReplaceAll(there.out, server.Url(local), local), here.out) << filter << " " << remoteTarget;
        }
    }
}

struct Node {
    std::string content;
    int64_t mtime;
    mode_t mode;
};

Node Look(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return {test::ReadFile(path), static_cast<int64_t>(st.st_mtim.tv_sec), st.st_mode & 07777};
}

// Synchronising with the other machine, either side remote: both directions
// copied, contents, times and permission bits kept, no temporary file left;
// a file there is replaced only for good (no trash), so --yes alone keeps it.
TEST(RemoteFolder, SyncBringsBothSidesInLineEitherWay) {
    SshServer server;
    REQUIRE_SERVER(server);
    for (const bool remoteTarget : {true, false}) {
        SCOPED_TRACE(remoteTarget ? "remote target" : "remote source");
        TempDir dir;
        const std::string q = dir / "q", z = dir / "z";
        MakeTree(q, {{"new.txt", 1'400'000'000, "neu"},
                     {"Tief/er/neu.bin", 1'400'000'001, std::string(300'000, 'n')},
                     {"both.txt", 1'400'000'000, "quelle"}});
        MakeTree(z, {{"back.txt", 1'350'000'000, "zurueck"}, {"both.txt", 1'300'000'000, "ziel"}});
        chmod((q + "/new.txt").c_str(), 0640);
        chmod((z + "/back.txt").c_str(), 0604);
        // Links copied as links, each way: the same text and time arrive.
        ASSERT_EQ(symlink("new.txt", (q + "/hin").c_str()), 0);
        ASSERT_EQ(symlink("../nirgends", (z + "/her").c_str()), 0);
        const struct timespec times[2] = {{1'400'000'002, 0}, {1'400'000'002, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, (z + "/her").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        const std::string source = remoteTarget ? q : server.Url(q);
        const std::string target = remoteTarget ? server.Url(z) : z;
        const std::string there = remoteTarget ? z : q;  // the remote side

        const CliResult kept = Cli({"sync", "--yes", "--no-log", "--links=copy", source, target});
        EXPECT_EQ(kept.status, remoteTarget ? kExitUnequal : kExitEqual) << kept.err;  // the trash is local
        if (remoteTarget) {
            EXPECT_NE(kept.err.find("kein Papierkorb"), std::string::npos) << kept.err;
            EXPECT_EQ(test::ReadFile(z + "/both.txt"), "ziel");
        }
        // Checked copies, read back through the connection or from the local disk.
        const CliResult r = Cli({"sync", "--yes", "--no-log", "--no-trash", "--links=copy", "--verify", source, target});
        EXPECT_EQ(r.status, kExitEqual) << r.out << r.err;
        EXPECT_EQ(r.err.find("nicht zurückgelesen"), std::string::npos) << r.err;
        for (const char* name : {"hin", "her"}) {
            struct stat a {}, b {};
            ASSERT_EQ(lstat((q + "/" + name).c_str(), &a), 0) << name;
            ASSERT_EQ(lstat((z + "/" + name).c_str(), &b), 0) << name;
            EXPECT_TRUE(S_ISLNK(a.st_mode) && S_ISLNK(b.st_mode)) << name;
            EXPECT_EQ(std::filesystem::read_symlink(q + "/" + name), std::filesystem::read_symlink(z + "/" + name));
            EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec) << name;
        }
        for (const char* name : {"new.txt", "Tief/er/neu.bin", "both.txt", "back.txt"}) {
            const Node a = Look(q + "/" + name), b = Look(z + "/" + name);
            EXPECT_EQ(a.content, b.content) << name;
            EXPECT_EQ(a.mtime, b.mtime) << name;
            EXPECT_EQ(a.mode, b.mode) << name;
        }
        EXPECT_EQ(Look(z + "/new.txt").mode, 0640u);
        EXPECT_EQ(Look(q + "/back.txt").mode, 0604u);
        EXPECT_EQ(test::ReadFile(z + "/both.txt"), "quelle");
        std::string temporaries;
        for (const auto& e : std::filesystem::recursive_directory_iterator(there))
            if (e.path().string().find(".kirvo-tmp") != std::string::npos) temporaries += e.path().string() + " ";
        EXPECT_EQ(temporaries, "");

        // Deleting there: the one question says it is for good, even with the trash chosen.
        RemoteConnections connections(nullptr, LoginSettings::Default());
        ASSERT_EQ(connections.connect(*Root::Parse(server.Url(there))), "");
        test::ScriptedUi ui;
        ui.deleteAnswers = {true};
        const OperationResult gone = LocalFileOperationService(ui, nullptr, connections)
                                         .remove(std::vector<ListedPath>{RootedPath::Join(server.Url(there), "new.txt")},
                                                 DeleteFlags{true, true});
        ASSERT_EQ(ui.deleteQuestions.size(), 1u);
        EXPECT_FALSE(ui.deleteQuestions[0].toTrash);
        EXPECT_EQ(gone.files[0].outcome, FileOutcome::Done);
        EXPECT_FALSE(std::filesystem::exists(there + "/new.txt"));

        // Nor does the question about a file changed there since the comparison,
        // before replacing or deleting it.
        WriteFile(there + "/both.txt", "seither geändert", 1'500'000'000);
        const ListedFile listed = ListedFile::Present(6, 1'400'000'000, 0);
        ui.changedAnswers = {ConfirmAnswer::No, ConfirmAnswer::No};
        LocalFileOperationService service(ui, nullptr, connections);
        service.copy(std::vector<CopyPair>{{RootedPath::Join(remoteTarget ? q : z, "both.txt"),
                                            RootedPath::Join(server.Url(there), "both.txt"), listed}},
                     CopyFlags{false, false, true});
        service.remove(std::vector<ListedPath>{{RootedPath::Join(server.Url(there), "both.txt"), listed}},
                       DeleteFlags{false, true});
        ASSERT_EQ(ui.changedQuestions.size(), 2u);
        for (const ChangedFile& question : ui.changedQuestions)
            EXPECT_NE(FileOperationTexts::ChangedQuestion(question).find("endgültig"), std::string::npos);
        EXPECT_EQ(test::ReadFile(there + "/both.txt"), "seither geändert");
    }
}

// SFTP carries unsigned 32-bit seconds: a local file from 1965 or 2200
// against the other machine is a conflict with its reason, never older or
// newer, and a copy there is refused, never written with a wrapped time.
// Either side remote; nothing changes on either side.
TEST(RemoteFolder, TimesTheOtherMachineCannotKeepAreNeverWrapped) {
    SshServer server;
    REQUIRE_SERVER(server);
    const int64_t in1965 = -142'000'000, in2200 = 7'258'118'400, in2000 = 950'000'000;
    for (const bool remoteTarget : {true, false}) {
        SCOPED_TRACE(remoteTarget ? "remote target" : "remote source");
        TempDir dir;
        const std::string here = dir / "hier", there = dir / "dort";
        MakeTree(here, {{"1965.jpg", in1965, "original"}, {"2200.txt", in2200, "zukunft"}, {"nur-hier.jpg", in1965, "alt"}});
        MakeTree(there, {{"1965.jpg", in2000, "kopie"}, {"2200.txt", in2000, "heute"}});
        const std::string source = remoteTarget ? here : server.Url(there);
        const std::string target = remoteTarget ? server.Url(there) : here;

        const CliResult compared = Cli({"compare", source, target});
        EXPECT_EQ(compared.status, kExitUnequal);
        size_t conflicts = 0;
        for (size_t at = 0; (at = compared.out.find(kTimeNotStorableText, at)) != std::string::npos; ++at) ++conflicts;
        EXPECT_EQ(conflicts, 2u) << compared.out;

        const CliResult synced = Cli({"sync", "--yes", "--no-trash", "--no-log", source, target});
        EXPECT_NE(synced.status, kExitEqual);
        EXPECT_NE(synced.err.find(kTimeNotStorableText), std::string::npos) << synced.err;
        EXPECT_FALSE(std::filesystem::exists(there + "/nur-hier.jpg"));
        for (const auto& [path, content, mtime] : {std::tuple{here + "/1965.jpg", "original", in1965},
                                                   {here + "/2200.txt", "zukunft", in2200},
                                                   {there + "/1965.jpg", "kopie", in2000},
                                                   {there + "/2200.txt", "heute", in2000}}) {
            EXPECT_EQ(Look(path).content, content) << path;
            EXPECT_EQ(Look(path).mtime, mtime) << path;
        }
    }
}

// A connection that breaks off in the middle of a copy: the file fails with
// "Verbindung unterbrochen", nothing half-written is left at the destination,
// and "Wiederholen" connects anew and finishes it. Both ways.
TEST(RemoteFolder, ABrokenConnectionFailsTheFileAndRetryConnectsAnew) {
    SshServer server;
    REQUIRE_SERVER(server);
    for (const bool upload : {true, false}) {
        SCOPED_TRACE(upload ? "upload" : "download");
        TempDir dir;
        const std::string big(24 << 20, 'b');
        MakeTree(dir / "q", {{"big.bin", 1'400'000'000, big}});
        MakeTree(dir / "z", {{"big.bin", 1'300'000'000, "old"}});
        const std::string remoteSide = upload ? dir / "z" : dir / "q";
        RemoteConnections connections(nullptr, LoginSettings::Default());
        ASSERT_EQ(connections.connect(*Root::Parse(server.Url(remoteSide))), "");
        const std::string from = upload ? dir / "q" : server.Url(dir / "q");
        const std::string to = upload ? server.Url(dir / "z") : dir / "z";
        for (const bool retry : {false, true}) {
            test::ScriptedUi ui;
            bool dropped = false;
            ui.onProgress = [&](const ProgressInfo& p) {
                if (dropped || p.bytesDone == 0) return;  // in the middle of the data
                server.DropConnections();
                dropped = true;
            };
            ui.errorAnswers = {retry ? ErrorAnswer::Retry : ErrorAnswer::Skip};
            ui.onError = [&](const test::ScriptedUi::Error& e) {
                EXPECT_NE(e.reason.find("Verbindung unterbrochen"), std::string::npos) << e.reason;
                EXPECT_EQ(test::ReadFile(dir / "z/big.bin"), "old");
            };
            const CopyFlags flags{false, false, false};
            const OperationResult r = LocalFileOperationService(ui, nullptr, connections)
                                          .copy(std::vector<CopyPair>{{RootedPath::Join(from, "big.bin"),
                                                                       RootedPath::Join(to, "big.bin"),
                                                                       ListedFile::Present(3, 1'300'000'000, 0)}},
                                                flags);
            ASSERT_EQ(r.files.size(), 1u);
            EXPECT_EQ(ui.errors.size(), 1u);
            EXPECT_EQ(r.files[0].outcome, retry ? FileOutcome::Done : FileOutcome::Failed);
            EXPECT_EQ(test::ReadFile(dir / "z/big.bin") == big, retry);
        }
        std::string temporaries;
        for (const char* side : {"q", "z"})
            for (const auto& e : std::filesystem::directory_iterator(dir / side))
                if (e.path().string().find(".kirvo-tmp") != std::string::npos) temporaries += e.path().string() + " ";
        EXPECT_EQ(temporaries, "");
    }
}

// The window's way of logging in: a key's passphrase and an unknown host key
// are asked about through the login UI; declining either connects nothing.
TEST(RemoteFolder, PassphraseAndNewHostKeyAreAskedThroughTheLoginUi) {
    struct ScriptedLogin final : RemoteLoginUi {
        std::vector<std::optional<std::string>> secrets;  // answers, in turn
        bool trust = false;
        std::vector<std::string> asked;
        bool acceptNewHostKey(const std::string& machine, const std::string& type, const std::string& print) override {
            asked.push_back("host " + machine + " " + type + " " + print);
            return trust;
        }
        std::optional<std::string> askSecret(const std::string& question) override {
            asked.push_back(question);
            if (secrets.empty()) return std::nullopt;
            std::optional<std::string> answer = secrets.front();
            secrets.erase(secrets.begin());
            return answer;
        }
    };
    const struct {
        const char* name;
        bool trust;
        std::vector<std::optional<std::string>> secrets;
        LoginFault fault;
    } cases[] = {
        {"right passphrase", true, {"geheim"}, LoginFault::None},
        {"passphrase declined", true, {std::nullopt}, LoginFault::Cancelled},
        {"host key declined", false, {"geheim"}, LoginFault::HostKeyUnknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SshServer server(false);
        REQUIRE_SERVER(server);
        ASSERT_TRUE(server.UsePassphraseKey("geheim"));
        ScriptedLogin ui;
        ui.trust = c.trust;
        ui.secrets = c.secrets;
        RemoteConnections connections(&ui, LoginSettings::Default());
        LoginFault fault = LoginFault::Failed;
        const std::string message = connections.connect(*Root::Parse(server.Url(server.home())), &fault);
        EXPECT_EQ(fault, c.fault) << message;
        EXPECT_EQ(message.empty(), c.fault == LoginFault::None) << message;
        ASSERT_FALSE(ui.asked.empty());
        EXPECT_EQ(ui.asked[0], "host localhost ssh-ed25519 " + server.fingerprint());
        if (c.trust) {
            ASSERT_EQ(ui.asked.size(), 2u);
            EXPECT_EQ(ui.asked[1].rfind("Passphrase für den Schlüssel", 0), 0u) << ui.asked[1];
        }
    }
}

// What stops a connection, and what a missing remote root gives.
TEST(RemoteFolder, LoginFaultsAndMissingRootsEachSayWhatIsWrong) {
    TempDir dir;
    MakeTree(dir / "q", {{"a.txt"}});
    const struct {
        const char* name;
        bool trustHost;
        std::vector<std::string> options;
        std::string remotePath;  // below dir
        int status;
        std::string errStart;    // after "kirvo-cli compare: "
        bool knownAfter;         // the key is in known_hosts afterwards
    } cases[] = {
        {"unknown host", false, {}, "q", kExitUnreachable, "Der Rechner „localhost“ ist noch nicht bekannt (Schlüssel ssh-ed25519 SHA256:", false},
        {"unknown host accepted", false, {"--accept-new-host-key"}, "q", kExitEqual, "", true},
        {"changed key", true, {"--accept-new-host-key"}, "q", kExitUnreachable, "WARNUNG: Der Schlüssel des Rechners „localhost“ ist ein anderer", true},
        {"wrong key", true, {}, "q", kExitUnreachable, "Die Anmeldung an „", true},
        {"missing root", true, {}, "nowhere", kExitUnreadable, "Hinweis: Das Ziel \"", true},
        {"file as root", true, {}, "q/a.txt", kExitUnreadable, "Ziel: nicht lesbar: sftp://", true},
    };
    for (const auto& c : cases) {
        SshServer server(c.trustHost);
        REQUIRE_SERVER(server);
        const std::string name = c.name;
        if (name == "changed key") ASSERT_TRUE(server.ForgeKnownHost());
        if (name == "wrong key") ASSERT_TRUE(server.UseUnknownKey());
        std::vector<std::string> args = {"compare"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(dir / "q");
        args.push_back(server.Url(dir / c.remotePath));
        const CliResult r = Cli(args);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
        if (c.errStart.empty()) EXPECT_EQ(r.err, "") << c.name;
        else EXPECT_EQ(r.err.rfind("kirvo-cli compare: " + c.errStart, 0), 0u) << c.name << ": " << r.err;
        const std::string known = test::ReadFile(server.home() + "/.ssh/known_hosts");
        EXPECT_EQ(known.find("[localhost]:" + std::to_string(server.port())) != std::string::npos, c.knownAfter) << c.name;
    }
    EXPECT_EQ(Cli({"compare", dir / "q", "sftp://localhost:0/x"}).status, kExitUsage);  // no valid address

    // What a server says reaches the terminal escaped: here its banner, in the library's error.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);
    std::thread banner([listener] {
        const int peer = accept(listener, nullptr, nullptr);
        const std::string hostile = "SSH-1.5-\x1b]0;owned\x07\x1b[2J\r\n";
        [[maybe_unused]] ssize_t n = write(peer, hostile.data(), hostile.size());
        close(peer);
    });
    const CliResult r = Cli({"compare", dir / "q", "sftp://localhost:" + std::to_string(ntohs(address.sin_port)) + "/x"});
    banner.join();
    close(listener);
    EXPECT_EQ(r.status, kExitUnreachable);
    EXPECT_NE(r.err.find("\\x1B]0;owned\\x07\\x1B[2J"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
}

}  // namespace
}  // namespace kirvo
