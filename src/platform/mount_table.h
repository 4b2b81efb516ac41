#pragma once
#include <string>

namespace kirvo {

// The mount point of the file system an absolute path lies on, judged from
// the mounts the system has now and the path's text (links are not
// followed; the path need not exist): "/" when nothing else is mounted on
// its way.
std::string MountPointOf(const std::string& absolutePath);

}  // namespace kirvo
