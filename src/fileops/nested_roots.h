#pragma once
#include <string>

#include "platform/root.h"

namespace kirvo {

// Copying between two roots where one lies inside the other never ends: every
// run copies the inner tree into itself once more. The German message that
// refuses it, or "" when the roots lie apart (or are one and the same folder,
// which leaves nothing to copy). Judged on disk (see RelateRoots), so links and
// bind mounts are seen through. Two roots on other machines are refused as
// well: nothing is copied between them.
std::string NestedRootsMessage(const Root& source, const Root& target);

}  // namespace kirvo
