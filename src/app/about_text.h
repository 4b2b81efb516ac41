#pragma once
#include <string>

namespace kirvo {

class VersionInfo;

// The six lines of the about box, each ended by "\r\n": product line, an
// empty line, the product version, company, legal notice and web address.
// A value the version block lacks is left empty.
std::string BuildAboutText(const VersionInfo& version);

}  // namespace kirvo
