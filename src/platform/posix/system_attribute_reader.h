#pragma once

namespace kirvo {

// Reads the system attribute of the sub-folders of one open folder, where its
// file system keeps one: FAT (vfat) through its attribute ioctl, NTFS through
// the attribute the ntfs-3g and ntfs3 drivers publish as an extended
// attribute. On every other file system no folder is a system folder, and
// nothing is read.
class SystemAttributeReader {
public:
    // Looks at the folder's file system once.
    explicit SystemAttributeReader(int folderFd);
    bool IsSystem(const char* name);

private:
    enum class Kind { None, Fat, Ntfs };
    int folderFd_;
    Kind kind_ = Kind::None;
};

}  // namespace kirvo
