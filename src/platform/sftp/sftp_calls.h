#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_node.h"
#include "platform/sftp/sftp_connection.h"

namespace kirvo::sftp {

// The system error code for a reply that should have been STATUS OK: 0, ENOENT,
// EACCES, EIO, ENOTSUP, kConnectionLost.
int ErrorOf(uint32_t status);
inline int ErrorOf(const SftpConnection::Reply& reply) { return ErrorOf(reply.status()); }

// STAT (follow) or LSTAT of path; a missing path is ENOENT. With `foreseen`
// (and no stop flag) an answer asked for ahead (Foresee) is taken where there
// is one: only for looks that may be that old, never right before a change.
int StatPath(SftpConnection& connection, const std::string& path, bool follow, Attributes& out,
             const std::atomic<bool>* stop = nullptr, bool foreseen = false);
// The reply of STAT or LSTAT of path, as StatPath takes it.
SftpConnection::Reply StatReply(SftpConnection& connection, const std::string& path, bool follow,
                                const std::atomic<bool>* stop = nullptr, bool foreseen = false);
// Asks for STAT or LSTAT of path now, for a StatPath soon (see SftpLookahead).
void Foresee(SftpConnection& connection, const std::string& path, bool follow);
// LSTATs of several paths sent at once; replies in order. With `foreseen`,
// answers asked for ahead are taken where there are some.
std::vector<SftpConnection::Reply> LstatAll(SftpConnection& connection, const std::vector<std::string>& paths,
                                            bool foreseen = false);
// What a reply to LSTAT says about a folder on the way: 0, kLinkOnTheWay,
// ENOTDIR or the reply's error.
int WayError(const SftpConnection::Reply& reply);
// Drops what was asked ahead about path: we are about to change it.
void Forget(SftpConnection& connection, const std::string& path);

// The text of the link at path (READLINK) and the link's own attributes
// (LSTAT); kNotRegularFile when path is no link.
int ReadLink(SftpConnection& connection, const std::string& path, std::string& text, Attributes& link,
             const std::atomic<bool>* stop = nullptr);

NodeInfo ToNodeInfo(const Attributes& attributes);

// folder + "/" + name ("/" + name for the top).
std::string Join(std::string_view folder, std::string_view name);

}  // namespace kirvo::sftp
