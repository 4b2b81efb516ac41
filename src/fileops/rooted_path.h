#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "fileops/listed_file.h"

namespace kirvo {

// A full path together with the root it belongs to. The file operations take the
// root as given (links in the root's own path are followed: the user chose it) and
// reach the rest below it without following any link on the way and without ever
// leaving it. Paths are byte strings taken as they are.
struct RootedPath {
    std::string path;       // root + relative: the full path, as shown and reported
    uint32_t rootSize = 0;  // path[0, rootSize) is the root; 0: no root, every name is checked
    TreeSide side = TreeSide::None;  // which of the compared trees the root is

    // root must end in the separator (the engine's roots do); one is added otherwise.
    static RootedPath Join(std::string_view root, std::string_view relative, TreeSide side = TreeSide::None) {
        RootedPath p;
        p.side = side;
        p.path.reserve(root.size() + 1 + relative.size());
        p.path.append(root);
        if (!p.path.empty() && p.path.back() != '/') p.path.push_back('/');
        p.rootSize = static_cast<uint32_t>(p.path.size());
        p.path.append(relative);
        return p;
    }

    std::string_view root() const { return std::string_view(path).substr(0, rootSize); }
    std::string_view relative() const { return std::string_view(path).substr(rootSize); }

    friend bool operator==(const RootedPath&, const RootedPath&) = default;
};

}  // namespace kirvo
