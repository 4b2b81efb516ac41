#include "platform/sftp/sftp_calls.h"

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
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

namespace {

std::string KeyOf(const std::string& path, bool follow) { return (follow ? "S" : "L") + path; }

}  // namespace

SftpConnection::Reply StatReply(SftpConnection& connection, const std::string& path, bool follow,
                                const std::atomic<bool>* stop, bool foreseen) {
    if (foreseen && stop == nullptr) {
        SftpLookahead::Answer answer;
        if (connection.lookahead().take(KeyOf(path, follow), answer)) return {answer.type, std::move(answer.body)};
    }
    return connection.Call(std::move(Packet(follow ? kStat : kLstat).str(path)), stop);
}

void Foresee(SftpConnection& connection, const std::string& path, bool follow) {
    if (SftpLookahead::Callback callback = connection.lookahead().expect(KeyOf(path, follow)))
        connection.Send(std::move(Packet(follow ? kStat : kLstat).str(path)), std::move(callback));
}

std::vector<SftpConnection::Reply> LstatAll(SftpConnection& connection, const std::vector<std::string>& paths,
                                            bool foreseen) {
    struct Gather {
        std::mutex mutex;
        std::condition_variable done;
        size_t left = 0;
        std::vector<SftpConnection::Reply> replies;
    };
    auto gather = std::make_shared<Gather>();
    gather->replies.resize(paths.size());
    std::vector<std::shared_ptr<SftpLookahead::Entry>> claimed(paths.size());
    for (size_t i = 0; i < paths.size(); ++i)
        if (foreseen) claimed[i] = connection.lookahead().claim(KeyOf(paths[i], false));
    {
        const std::lock_guard lock(gather->mutex);
        for (const auto& entry : claimed) gather->left += entry ? 0 : 1;
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        if (claimed[i]) continue;
        connection.Send(std::move(Packet(kLstat).str(paths[i])), [gather, i](uint8_t type, std::string_view body) {
            const std::lock_guard lock(gather->mutex);
            gather->replies[i] = {type, std::string(body)};
            if (--gather->left == 0) gather->done.notify_all();
        });
    }
    std::vector<SftpConnection::Reply> replies(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!claimed[i]) continue;
        SftpLookahead::Answer answer = connection.lookahead().wait(claimed[i]);
        replies[i] = {answer.type, std::move(answer.body)};
    }
    std::unique_lock lock(gather->mutex);
    gather->done.wait(lock, [&] { return gather->left == 0; });
    for (size_t i = 0; i < paths.size(); ++i)
        if (!claimed[i]) replies[i] = std::move(gather->replies[i]);
    return replies;
}

int WayError(const SftpConnection::Reply& reply) {
    if (reply.type != kAttrs) return reply.type == kStatus ? ErrorOf(reply) : kConnectionLost;
    Reader reader(reply.body);
    const uint32_t type = reader.attrs().type();
    if (type == kTypeFolder) return 0;
    return type == kTypeLink ? kLinkOnTheWay : ENOTDIR;
}

void Forget(SftpConnection& connection, const std::string& path) {
    connection.lookahead().forget(KeyOf(path, false));
    connection.lookahead().forget(KeyOf(path, true));
}

int StatPath(SftpConnection& connection, const std::string& path, bool follow, Attributes& out,
             const std::atomic<bool>* stop, bool foreseen) {
    const SftpConnection::Reply reply = StatReply(connection, path, follow, stop, foreseen);
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
