#include "platform/sftp/sftp_calls.h"

#include <cerrno>
#include <vector>

namespace kirvo::sftp {

int ErrorOf(uint32_t status) {
    switch (status) {
    case kOk: return 0;
    case kEof: return EIO;
    case kNoSuchFile: return ENOENT;
    case kPermissionDenied: return EACCES;
    case kOpUnsupported: return ENOTSUP;
    case kStatusNoConnection:
    case kStatusConnectionLost: return kConnectionLost;
    default: return EIO;
    }
}

int StatPath(SftpConnection& connection, const std::string& path, bool follow, Attributes& out,
             const std::atomic<bool>* stop) {
    const SftpConnection::Reply reply = connection.Call(std::move(Packet(follow ? kStat : kLstat).str(path)), stop);
    if (reply.type != kAttrs) {
        if (reply.type == kStatus) return ErrorOf(reply);
        return reply.type == 0 ? kConnectionLost : EIO;
    }
    Reader reader(reply.body);
    out = reader.attrs();
    return reader.failed() ? EIO : 0;
}

int ReadLink(SftpConnection& connection, const std::string& path, std::string& text, Attributes& link,
             const std::atomic<bool>* stop) {
    text.clear();
    if (const int error = StatPath(connection, path, false, link, stop)) return error;
    if (link.type() != kTypeLink) return kNotRegularFile;
    const SftpConnection::Reply reply = connection.Call(std::move(Packet(kReadlink).str(path)), stop);
    if (reply.type != kName) {
        if (reply.type == kStatus) return ErrorOf(reply);
        return reply.type == 0 ? kConnectionLost : EIO;
    }
    std::vector<Name> names;
    // A link's text is never empty and holds no null character: nothing else is taken for one.
    if (!ParseNames(reply.body, names) || names.size() != 1 || names[0].name.empty() ||
        names[0].name.find('\0') != std::string_view::npos)
        return EIO;
    text = std::string(names[0].name);
    return 0;
}

NodeInfo ToNodeInfo(const Attributes& a) {
    NodeInfo info;
    switch (a.type()) {
    case kTypeFile: info.kind = NodeKind::File; break;
    case kTypeFolder: info.kind = NodeKind::Folder; break;
    case kTypeLink: info.kind = NodeKind::Link; break;
    default: info.kind = NodeKind::Other; break;
    }
    info.size = a.size;
    info.modifiedSeconds = a.mtime;
    info.modifiedNanoseconds = 0;
    info.permissions = a.permissions & 0777;
    return info;
}

std::string Join(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

}  // namespace kirvo::sftp
