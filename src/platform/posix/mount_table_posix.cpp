#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/mount_table.h"

namespace kirvo {
namespace {

// mountinfo writes blanks, tabs, line ends and backslashes as \ooo.
std::string Unescaped(const std::string& field) {
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '7') {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

bool IsBelow(const std::string& path, const std::string& folder) {
    if (folder == "/") return true;
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

}  // namespace

std::string MountPointOf(const std::string& absolutePath) {
    std::string path = std::filesystem::path(absolutePath).lexically_normal().string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::string best = "/";
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
        mountPoint = Unescaped(mountPoint);
        if (IsBelow(path, mountPoint) && mountPoint.size() > best.size()) best = mountPoint;
    }
    return best;
}

}  // namespace kirvo
