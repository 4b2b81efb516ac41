#pragma once
#include <string>
#include <string_view>

#include "platform/file_node.h"
#include "platform/sftp/sftp_connection.h"

namespace kirvo::sftp {

// The system error code for a reply that should have been STATUS OK: 0, ENOENT,
// EACCES, EIO, ENOTSUP, kConnectionLost.
int ErrorOf(uint32_t status);
inline int ErrorOf(const SftpConnection::Reply& reply) { return ErrorOf(reply.status()); }

// STAT (follow) or LSTAT of path; a missing path is ENOENT.
int StatPath(SftpConnection& connection, const std::string& path, bool follow, Attributes& out,
             const std::atomic<bool>* stop = nullptr);

// The text of the link at path (READLINK) and the link's own attributes
// (LSTAT); kNotRegularFile when path is no link.
int ReadLink(SftpConnection& connection, const std::string& path, std::string& text, Attributes& link,
             const std::atomic<bool>* stop = nullptr);

NodeInfo ToNodeInfo(const Attributes& attributes);

// folder + "/" + name ("/" + name for the top).
std::string Join(std::string_view folder, std::string_view name);

}  // namespace kirvo::sftp
