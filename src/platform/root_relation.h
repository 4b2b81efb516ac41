#pragma once
#include <string>

namespace kirvo {

// How two roots lie to each other on disk, judged by the identity (device and
// inode) of the folders on the way up from each, so that links, "..", other
// spellings and bind mounts (a folder shown a second time elsewhere) are seen
// through. A root that does not exist yet counts from the folder it would be
// made in.
enum class RootRelation {
    Apart,
    Same,               // one folder reached two ways
    SecondInsideFirst,
    FirstInsideSecond,
};

RootRelation RelateRoots(const std::string& first, const std::string& second);

}  // namespace kirvo
