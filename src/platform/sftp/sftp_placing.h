#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/file_node.h"

namespace kirvo {

class SftpConnection;

// Puts a finished temporary file in place on another machine without
// waiting for the server in between, so that many files can be under way at
// once: the folders on the way (`way`, each must still be a real folder) and
// the destination are looked at together; only while the destination is
// still what `expected` says is `from` renamed over `to` (a plain rename
// where nothing is there, posix-rename@openssh.com over a file; with `keep`
// an existing destination is kNoTrash, there is no trash there); then the
// copy is looked at as it stands. The steps of one file follow each other;
// `done` runs once at the end, on the connection's thread (it may send,
// never wait), with the error and what stands at `to` (kind Missing where
// unknown). The connection must outlive the placing.
class SftpPlacing {
public:
    using Done = std::function<void(int error, const NodeInfo& placed, const std::string& reason)>;

    static void Start(SftpConnection& connection, std::vector<std::string> way, std::string from, std::string to,
                      const NodeInfo& expected, bool keep, Done done);
};

}  // namespace kirvo
