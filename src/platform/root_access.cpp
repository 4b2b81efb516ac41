#include "platform/root_access.h"

#include <cerrno>
#include <vector>

#include "platform/file_node.h"

namespace kirvo {
namespace {

class LocalRootAccess final : public RootAccess {
public:
    int open(const std::string& root, FolderHandle& out) override { return FolderHandle::OpenRoot(root, out); }
    int make(const std::string& root, std::string& failed) override { return MakeFolders(root, failed); }
};

}  // namespace

RootAccess& RootAccess::Local() {
    static LocalRootAccess local;
    return local;
}

bool IsRemoteRoot(std::string_view root) {
    const size_t colon = root.find("://");
    if (colon == std::string_view::npos || colon == 0) return false;
    for (char c : root.substr(0, colon))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-'))
            return false;
    return true;
}

int MakeFolders(const std::string& root, std::string& failed) {
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::vector<std::string> missing;  // deepest first
    for (std::string current = path; !current.empty();) {
        NodeInfo info;
        if (const int error = InspectPath(current, true, info)) {
            failed = current;
            return error;
        }
        if (info.kind == NodeKind::Folder) break;
        if (info.kind != NodeKind::Missing) {
            failed = current;
            return ENOTDIR;
        }
        missing.push_back(current);
        const size_t slash = current.rfind('/');
        if (slash == std::string::npos || slash == 0) break;
        current.resize(slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (const int error = MakeFolder(*it)) {
            failed = *it;
            return error;
        }
    }
    return 0;
}

}  // namespace kirvo
