#pragma once
#include <string>
#include <string_view>

#include "engine/file_entry.h"

namespace kirvo {

// A place one side of a comparison could not read: a folder that could not
// be opened or whose listing broke off ("a/b/"), a name that is there but
// could not be inspected ("a/c"), or the root itself (""). What lies there on
// that side is unknown, never absent.
struct UnknownPlace {
    Side side = kSourceSide;
    std::string path;    // relative to the side's root; a folder ends in the separator
    int error = 0;       // the system's error number (or one of ours)
    std::string reason;  // short, German

    // Whether relativePath (a file's path below the root) lies at or below
    // this place, letters A to Z taken as equal to a to z as in the pairing.
    bool Covers(std::string_view relativePath) const;
};

}  // namespace kirvo
