// What a copy keeps besides the data: extended attributes, ACLs, owner, mode
// and holes, checked on the files kirvo-cli sync made; a destination that
// cannot hold some of it still gets the files, and says so once.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "fileops/tree_tools.h"
#include "support/mounted_file_system.h"
#include "support/temp_tree.h"

namespace kirvo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kTime = 1'300'000'000;

std::string Attribute(const std::string& path, const char* name) {
    char value[8192];
    const ssize_t n = lgetxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? "<none>" : std::string(value, static_cast<size_t>(n));
}

bool Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TEST(MetadataCopy, CopiesKeepAttributesAclsOwnerModeAndHoles) {
    TempDir dir;
    const std::string s = dir / "S", t = dir / "T";
    const bool acl = Shell("command -v setfacl");
    const bool root = geteuid() == 0;
    struct Case {
        const char* file;
        std::function<void(const std::string&)> setup;               // on the source file
        std::function<void(const std::string&, const std::string&)> check;  // source, copy
        bool applies = true;
    };
    const std::string big(5000, 'v');
    const Case cases[] = {
        {"attributes", [&](const std::string& f) {
             setxattr(f.c_str(), "user.c", "x", 1, 0);
             setxattr(f.c_str(), "user.gross", big.data(), big.size(), 0);
         },
         [](const std::string& from, const std::string& to) {
             EXPECT_EQ(Attribute(to, "user.c"), "x");
             EXPECT_EQ(Attribute(to, "user.gross"), Attribute(from, "user.gross"));
             EXPECT_EQ(Attribute(to, "user.kirvo.tmp"), "<none>");  // our marker stays ours
         }},
        {"access ACL", [](const std::string& f) { Shell("setfacl -m u:nobody:rw,g:nogroup:r '" + f + "'"); },
         [](const std::string& from, const std::string& to) {
             EXPECT_NE(Attribute(from, "system.posix_acl_access"), "<none>");
             EXPECT_EQ(Attribute(to, "system.posix_acl_access"), Attribute(from, "system.posix_acl_access"));
         },
         acl},
        {"owner and group", [](const std::string& f) { chown(f.c_str(), 65534, 65534); },
         [](const std::string&, const std::string& to) {
             struct stat st {};
             lstat(to.c_str(), &st);
             EXPECT_EQ(st.st_uid, 65534u);
             EXPECT_EQ(st.st_gid, 65534u);
         },
         root},
        {"mode", [](const std::string& f) { chmod(f.c_str(), 0751); },
         [](const std::string&, const std::string& to) {
             struct stat st {};
             lstat(to.c_str(), &st);
             EXPECT_EQ(st.st_mode & 07777, 0751u);
         }},
        {"sparse", [](const std::string& f) {
             const int fd = open(f.c_str(), O_WRONLY);
             ASSERT_EQ(ftruncate(fd, 512ll << 20), 0);
             ASSERT_EQ(pwrite(fd, "data", 4, 100ll << 20), 4);
             close(fd);
             const struct timespec times[2] = {{kTime, 0}, {kTime, 0}};
             utimensat(AT_FDCWD, f.c_str(), times, 0);
         },
         [](const std::string& from, const std::string& to) {
             struct stat a {}, b {};
             lstat(from.c_str(), &a);
             lstat(to.c_str(), &b);
             EXPECT_EQ(b.st_size, 512ll << 20);
             EXPECT_LE(b.st_blocks * 512, std::max<int64_t>(a.st_blocks * 512, 64 << 10));  // holes stay holes
             char buffer[4] = {};
             const int fd = open(to.c_str(), O_RDONLY);
             EXPECT_EQ(pread(fd, buffer, 4, 100ll << 20), 4);
             close(fd);
             EXPECT_EQ(std::string(buffer, 4), "data");
         }},
        {"acl-dir/in a folder with a default ACL",
         [](const std::string& f) { Shell("setfacl -d -m u:nobody:rwx '" + f.substr(0, f.rfind('/')) + "'"); },
         [](const std::string& from, const std::string& to) {
             // The folder the copy made takes its source's default ACL; the file,
             // made before that ACL, has none, and loses what it inherited there.
             const std::string fromDir = from.substr(0, from.rfind('/')), toDir = to.substr(0, to.rfind('/'));
             EXPECT_NE(Attribute(fromDir, "system.posix_acl_default"), "<none>");
             EXPECT_EQ(Attribute(toDir, "system.posix_acl_default"), Attribute(fromDir, "system.posix_acl_default"));
             EXPECT_EQ(Attribute(to, "system.posix_acl_access"), Attribute(from, "system.posix_acl_access"));
         },
         acl},
    };
    for (const Case& c : cases) {
        if (!c.applies) continue;
        const std::string file = s + "/" + c.file;
        WriteFile(file, "content", kTime);
        c.setup(file);
    }
    if (setxattr((s + "/attributes").c_str(), "user.probe", "1", 1, 0) != 0) GTEST_SKIP() << "no user xattrs here";
    const test::SyncOutcome r = test::SyncYes(s, t, {"--direction=to-target"});
    ASSERT_EQ(r.status, kExitEqual) << r.out << r.err;
    EXPECT_EQ(r.err.find("ließ sich nicht"), std::string::npos) << r.err;
    for (const Case& c : cases) {
        if (!c.applies) continue;
        SCOPED_TRACE(c.file);
        c.check(s + "/" + c.file, t + "/" + c.file);
    }

    // Destinations that cannot hold some of it: the files all the same, and one
    // notice that names what was not kept and calls kept only what was read back.
    const struct {
        const char* name;
        std::function<test::MountedFileSystem(const std::string&)> mount;
        std::string notKept;  // in the list of what was not kept
        std::string kept;     // the sentence after it
    } destinations[] = {
        {"ramfs (no extended attributes)", [](const std::string& at) { return test::MountedFileSystem(at, nullptr, "ramfs"); },
         "erweiterte Attribute", "Inhalt, Änderungszeit und Rechte sind kopiert."},
        {"NTFS through ntfs-3g (takes every permission change and keeps none)",
         [&](const std::string& at) { return test::MountedFileSystem::Ntfs(dir / "ntfs.img", at); }, "Rechte",
         "Inhalt und Änderungszeit sind kopiert."},
    };
    for (const auto& d : destinations) {
        SCOPED_TRACE(d.name);
        const std::string at = dir / "mounted";
        const test::MountedFileSystem fs = d.mount(at);
        if (!fs.mounted()) continue;  // needs root
        const test::SyncOutcome r = test::SyncYes(s, at + "/T", {"--direction=to-target"});
        EXPECT_EQ(r.status, kExitEqual) << r.err;
        EXPECT_EQ(ReadFile(at + "/T/mode"), "content");
        const size_t notice = r.err.find("Hinweis: In „" + at + "/T/" + "“ ließ sich nicht alles");
        ASSERT_NE(notice, std::string::npos) << r.err;
        const std::string line = r.err.substr(notice, r.err.find('\n', notice) - notice);
        EXPECT_NE(line.find(d.notKept), std::string::npos) << line;
        EXPECT_NE(line.find(". " + d.kept), std::string::npos) << line;
        EXPECT_EQ(r.err.find("ließ sich nicht", notice + line.size()), std::string::npos) << r.err;  // once for the destination
    }
}

}  // namespace
}  // namespace kirvo
