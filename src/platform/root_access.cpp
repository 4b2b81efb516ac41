#include "platform/root_access.h"

namespace kirvo {
namespace {

class LocalRootAccess final : public RootAccess {
public:
    int open(const std::string& root, FolderHandle& out) override { return FolderHandle::OpenRoot(root, out); }
    int make(const std::string& root, std::string& failed) override { return MakeRootFolder(root, failed); }
};

}  // namespace

RootAccess& RootAccess::Local() {
    static LocalRootAccess local;
    return local;
}

int MakeRootFolder(const std::string& root, std::string& failed) {
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const size_t slash = path.rfind('/');
    const std::string parent = slash == std::string::npos ? "" : slash == 0 ? "/" : path.substr(0, slash);
    FolderHandle parentFolder;
    if (const int error = FolderHandle::OpenRoot(parent, parentFolder)) {
        failed = parent.empty() ? "." : parent;
        return error;
    }
    FolderHandle made;
    if (const int error = parentFolder.openChild(path.substr(slash == std::string::npos ? 0 : slash + 1), true, made)) {
        failed = path;
        return error;
    }
    return 0;
}

}  // namespace kirvo
