#pragma once
#include <sys/stat.h>

#include <string>

#include "platform/file_node.h"

namespace kirvo {

// Reads the text of the link `name` in `folder` and describes the link itself
// (kind Link, the length of its text, its own time). kNotRegularFile when the
// name is no link; kSourceChanged when the link changed while it was read.
// `st`, when given, gets the link's stat record.
int ReadLinkAt(int folder, const char* name, std::string& text, NodeInfo& info, struct stat* st = nullptr);

}  // namespace kirvo
