// Who a root is: the same folder under another mount point is the same root,
// two folders of file systems without an identity of their own never are.
#include "sync/root_identity.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/temp_tree.h"
#include "sync/pair_key.h"

namespace kirvo {
namespace {

MountEntry Mount(const char* mountPoint, const char* fsType, const char* source, const char* root = "/") {
    return {1, 8, 17, root, mountPoint, fsType, source};
}

TEST(RootIdentity, FromTheFileSystemAndThePathInsideIt) {
    const auto uuids = [](const MountEntry& m) -> std::optional<std::string> {
        if (m.source == "/dev/sdb1") return "1C2E-3F40";
        return std::nullopt;
    };
    struct Case {
        const char* what;
        const char* path;
        MountEntry mount;
        const char* identity;
        bool stableInodes;
        const char* read = "";  // the UUID read from the device itself
    };
    const Case cases[] = {
        {"a stick", "/media/anna/STICK/Dokumente", Mount("/media/anna/STICK", "vfat", "/dev/sdb1"),
         "uuid:1C2E-3F40 /Dokumente", false},
        {"the same stick mounted elsewhere", "/mnt/Dokumente", Mount("/mnt", "vfat", "/dev/sdb1"),
         "uuid:1C2E-3F40 /Dokumente", false},
        {"the stick's root", "/mnt", Mount("/mnt", "vfat", "/dev/sdb1"), "uuid:1C2E-3F40 /", false},
        {"a folder of it bound elsewhere", "/srv/dok/a", Mount("/srv/dok", "vfat", "/dev/sdb1", "/Dokumente"),
         "uuid:1C2E-3F40 /Dokumente/a", false},
        {"a disk without a UUID", "/home/anna/x", Mount("/", "ext4", "/dev/vda"), "dev:/dev/vda /home/anna/x", true},
        {"a mount point that only begins like the path", "/mnt2/x", Mount("/mnt", "vfat", "/dev/sdb1"), "path /mnt2/x",
         false},
        {"NFS", "/net/fotos/2024", Mount("/net/fotos", "nfs4", "nas:/volume1/fotos"), "net:nas:/volume1/fotos /2024",
         true},
        {"SMB with a blank in the share", "/smb/x", Mount("/smb", "cifs", "//nas/Meine Fotos"),
         "net://nas/Meine\\040Fotos /x", false},
        {"sshfs", "/home/anna/fern/a", Mount("/home/anna/fern", "fuse.sshfs", "anna@nas:/daten"),
         "net:anna@nas:/daten /a", false},
        {"tmpfs: numbers kept while mounted", "/tmp/a", Mount("/tmp", "tmpfs", "tmpfs"), "path /tmp/a", true},
        {"another folder of the same tmpfs", "/tmp/b", Mount("/tmp", "tmpfs", "tmpfs"), "path /tmp/b", true},
        {"overlay", "/x", Mount("/", "overlay", "overlay"), "path /x", false},
        {"a loop device", "/mnt/iso/y", Mount("/mnt/iso", "ext4", "/dev/loop3"), "path /mnt/iso/y", false},
        {"a loop device whose UUID udev does not name", "/mnt/iso/y", Mount("/mnt/iso", "ext4", "/dev/loop3"),
         "uuid:77-AB /y", true, "77-AB"},
        {"NTFS over FUSE keeps its file numbers", "/win/a", Mount("/win", "fuseblk", "/dev/sdb1"), "uuid:1C2E-3F40 /a",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const RootIdentity id = RootIdentity::OnMount(c.path, &c.mount, uuids, {c.read});
        EXPECT_EQ(id.text(), c.identity);
        EXPECT_EQ(id.stableInodes(), c.stableInodes);
    }
    EXPECT_EQ(RootIdentity::OnMount("/a/b", nullptr, uuids).text(), "path /a/b");
    EXPECT_EQ(RootIdentity::Remote("Anna", "NAS.example", 0, "/volume1//Bilder/./alt/../").text(),
              "sftp://Anna@nas.example:22 /volume1/Bilder");
    EXPECT_EQ(RootIdentity::Remote("anna", "::1", 2222, "/~/x").text(), "sftp://anna@[::1]:2222 /~/x");
}

TEST(RootIdentity, OfALocalFolderWhetherItExistsOrIsReachedThroughALink) {
    test::TempDir dir;
    const RootIdentity before = RootIdentity::Local(dir / "noch/nicht/da");
    test::MakeDirs(dir / "noch/nicht/da");
    EXPECT_EQ(RootIdentity::Local(dir / "noch/nicht/da"), before);
    EXPECT_EQ(RootIdentity::Local(dir / "noch/./nicht//da/"), before);
    std::filesystem::create_directory_symlink(dir / "noch", dir / "link");
    EXPECT_EQ(RootIdentity::Local(dir / "link/nicht/da"), before);
    EXPECT_NE(RootIdentity::Local(dir / "noch/nicht"), before);
    const std::string here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(RootIdentity::Local("noch/nicht/da"), before);
    std::filesystem::current_path(here);
    EXPECT_NE(before.text().find("/noch/nicht/da"), std::string::npos) << before.text();
    EXPECT_NE(PairKey(before, RootIdentity::Local(dir / "x")).fileName(),
              PairKey(before, RootIdentity::Local(dir / "y")).fileName());
}

}  // namespace
}  // namespace kirvo
