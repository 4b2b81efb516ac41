#pragma once
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/temp_tree.h"

namespace kirvo::test {

// A file system of our own (tmpfs by default, a bind mount of another folder, NTFS, or an ext4 image)
// where the system lets us mount one (root); unmounted when the object dies.
class MountedFileSystem {
public:
    MountedFileSystem(const std::string& path, const char* options, const char* type = "tmpfs") : path_(path) {
        MakeDirs(path);
        mounted_ = mount(type, path.c_str(), type, 0, options) == 0;
    }
    // A bind mount: `folder` shown a second time at path.
    static MountedFileSystem Bind(const std::string& folder, const std::string& path) {
        MountedFileSystem m(path);
        m.mounted_ = mount(folder.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) == 0;
        return m;
    }
    // An NTFS volume through ntfs-3g on a 16 MiB image: a FUSE file system that
    // keeps no permission bits and cannot exchange two names.
    static MountedFileSystem Ntfs(const std::string& image, const std::string& path) {
        MountedFileSystem m(path);
        const std::string make = "truncate -s 16M '" + image + "' && mkntfs -q -F -f '" + image +
                                 "' >/dev/null 2>&1 && ntfs-3g '" + image + "' '" + path + "' 2>/dev/null";
        m.mounted_ = geteuid() == 0 && std::system(make.c_str()) == 0;
        return m;
    }
    // Why disk images cannot be mounted here; "" where they must be (root, with /dev/loop-control).
    static std::string LoopUnavailable() {
        if (geteuid() != 0) return "mounting a disk image needs root";
        if (access("/dev/loop-control", F_OK) != 0) return "no loop devices here (/dev/loop-control)";
        return "";
    }
    // A new 16 MiB ext4 image with a label: a stick of its own, with the lost+found mkfs makes.
    static bool MakeImage(const std::string& image, const std::string& label) {
        const std::string make =
            "truncate -s 16M '" + image + "' && mkfs.ext4 -q -F -L '" + label + "' '" + image + "' >/dev/null 2>&1";
        return std::system(make.c_str()) == 0;
    }
    // An image mounted through a loop device, as a plugged-in stick is.
    static MountedFileSystem Image(const std::string& image, const std::string& path) {
        MountedFileSystem m(path);
        m.mounted_ = std::system(("mount -o loop '" + image + "' '" + path + "' 2>/dev/null").c_str()) == 0;
        return m;
    }
    void Unmount() {
        if (mounted_) umount2(path_.c_str(), MNT_DETACH);
        mounted_ = false;
    }
    MountedFileSystem(MountedFileSystem&& other) noexcept : path_(other.path_), mounted_(other.mounted_) {
        other.mounted_ = false;
    }
    MountedFileSystem& operator=(MountedFileSystem&& other) noexcept {
        if (this != &other) {
            Unmount();
            path_ = other.path_;
            mounted_ = other.mounted_;
            other.mounted_ = false;
        }
        return *this;
    }
    ~MountedFileSystem() { Unmount(); }
    MountedFileSystem(const MountedFileSystem&) = delete;
    MountedFileSystem& operator=(const MountedFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    bool makeReadOnly() { return mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

private:
    explicit MountedFileSystem(const std::string& path) : path_(path) { MakeDirs(path); }
    std::string path_;
    bool mounted_ = false;
};

}  // namespace kirvo::test
