// The trash as file managers and trash-cli read it: deleted files come back with
// trash-restore; other file systems use their top folder's trash; a trash that
// cannot be used never costs a file.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fileops/local_file_operation_service.h"
#include "fileops/scripted_ui.h"
#include "support/mounted_file_system.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using test::ReadFile;
using test::ScriptedUi;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kTime = 1'300'000'000;

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

bool HaveTrashCli() { return std::system("command -v trash-list >/dev/null 2>&1 && command -v trash-restore >/dev/null 2>&1") == 0; }

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

TEST(Trash, DeletedFilesComeBackWithTrashRestore) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    // Each name with its original path as the record writes it (bytes as in URLs).
    const struct {
        std::string name;
        std::string recorded;
    } cases[] = {
        {"brief.odt", "brief.odt"},
        {"unter ordner/ä b%.txt", "unter%20ordner/%C3%A4%20b%25.txt"},
        {"a #b %41.txt", "a%20%23b%20%2541.txt"},  // reserved characters, and what looks like an escape
    };
    std::vector<std::string> names;
    std::vector<ListedPath> files;
    for (const auto& c : cases) {
        names.push_back(c.name);
        WriteFile(dir / c.name, bytes + c.name, kTime);
        files.push_back({RootedPath::Join(dir.path(), c.name, TreeSide::Target), {}});
    }
    ScriptedUi ui;
    const OperationResult r = LocalFileOperationService(ui).remove(files, DeleteFlags{false, true});
    ASSERT_TRUE(r.allDone());
    EXPECT_EQ(r.trashedCount(), 3);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(std::filesystem::exists(dir / names[i])) << names[i];
        std::string record = r.files[i].trashedTo;
        record.replace(record.rfind("/files/"), 7, "/info/");
        EXPECT_NE(ReadFile(record + ".trashinfo").find("\nPath=" + dir / cases[i].recorded + "\n"), std::string::npos)
            << ReadFile(record + ".trashinfo");
    }
    if (!HaveTrashCli()) GTEST_SKIP() << "trash-cli is not installed (scripts/install-deps installs it)";

    const std::string listed = Output("trash-list");
    for (const std::string& name : names) EXPECT_NE(listed.find(" " + dir / name + "\n"), std::string::npos) << listed;
    // trash-restore asks which entry; the first by path each time.
    for (size_t i = 0; i < names.size(); ++i)
        Output("cd " + Quoted(dir.path()) + " && echo 0 | trash-restore --sort path " + Quoted(dir.path()));
    for (const std::string& name : names) EXPECT_EQ(ReadFile(dir / name), bytes + name) << name;
}

// Files of another file system go to its top folder's trash, by the rules file
// managers follow; where none can be used, the file stays unless the user says
// otherwise.
TEST(Trash, OtherFileSystemsUseTheirTopFolderTrash) {
    TempDir dir;
    const std::string top = dir / "fs";
    {
        test::MountedFileSystem probe(top, "size=1m");
        if (!probe.mounted()) GTEST_SKIP() << "cannot mount a file system here (needs root)";
    }
    const std::string uid = std::to_string(geteuid());
    struct Case {
        const char* name;
        std::function<void()> setup;
        std::string trashedTo;  // relative to the top folder; "" = kept, after asking
        bool notice;
        bool bindOfHome = false;  // the top folder is a bind mount of the home trash's file system
    };
    const Case cases[] = {
        {"plain", [] {}, ".Trash-" + uid + "/files/f", false},
        {"shared trash with sticky bit", [&] { mkdir((top + "/.Trash").c_str(), 01777); chmod((top + "/.Trash").c_str(), 01777); },
         ".Trash/" + uid + "/files/f", false},
        {"shared trash without sticky bit", [&] { mkdir((top + "/.Trash").c_str(), 0777); chmod((top + "/.Trash").c_str(), 0777); },
         ".Trash-" + uid + "/files/f", true},
        {"record of that name exists", [&] { WriteFile(top + "/.Trash-" + uid + "/info/f.trashinfo", "x", kTime); },
         ".Trash-" + uid + "/files/f.2", false},
        {"own trash is a link elsewhere", [&] { symlink(dir.path().c_str(), (top + "/.Trash-" + uid).c_str()); }, "", false},
        {"own trash open to everyone", [&] { mkdir((top + "/.Trash-" + uid).c_str(), 0777); chmod((top + "/.Trash-" + uid).c_str(), 0777); },
         "", false},
        {"disk full", [&] { WriteFile(top + "/filler", std::string(1 << 20, 'x'), kTime); }, "", false},
        // Same device as the home trash, but no rename reaches it from another mount.
        {"bind mount of the home's file system", [] {}, ".Trash-" + uid + "/files/f", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MakeDirs(dir / "on-home-fs");
        test::MountedFileSystem fs = c.bindOfHome ? test::MountedFileSystem::Bind(dir / "on-home-fs", top)
                                                  : test::MountedFileSystem(top, "size=1m");
        ASSERT_TRUE(fs.mounted());
        WriteFile(top + "/sub/f", "keep me", kTime);
        c.setup();
        ScriptedUi ui;
        ui.withoutTrashAnswers = {ConfirmAnswer::No};
        const std::vector<ListedPath> files = {{RootedPath::Join(top, "sub/f", TreeSide::Source), {}}};
        const OperationResult r = LocalFileOperationService(ui).remove(files, DeleteFlags{false, true});
        if (c.trashedTo.empty()) {
            EXPECT_EQ(ui.withoutTrashQuestions.size(), 1u);
            EXPECT_EQ(r.files[0].outcome, FileOutcome::Skipped);
            EXPECT_EQ(ReadFile(top + "/sub/f"), "keep me");
        } else {
            EXPECT_TRUE(r.allDone()) << r.files[0].reason;
            EXPECT_EQ(r.files[0].trashedTo, top + "/" + c.trashedTo);
            EXPECT_EQ(ReadFile(top + "/" + c.trashedTo), "keep me");
            const std::string info = c.trashedTo.substr(0, c.trashedTo.find("/files/")) + "/info/" +
                                     c.trashedTo.substr(c.trashedTo.rfind('/') + 1) + ".trashinfo";
            EXPECT_EQ(ReadFile(top + "/" + info).substr(0, 27), "[Trash Info]\nPath=sub/f\nDel");
            EXPECT_TRUE(ui.withoutTrashQuestions.empty());
            if (HaveTrashCli() && c.trashedTo.find(".Trash-") == 0)
                EXPECT_NE(Output("trash-list").find(top + "/sub/f"), std::string::npos);
        }
        EXPECT_EQ(ui.notices.size(), c.notice ? 1u : 0u);
    }
}

}  // namespace
}  // namespace kirvo
