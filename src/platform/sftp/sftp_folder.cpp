#include "platform/sftp/sftp_folder.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_placing.h"
#include "platform/temporary_name.h"
#include "platform/trash.h"

namespace kirvo {
namespace {

bool IsPlainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

uint64_t Fnv(std::string_view text) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

}  // namespace

std::string SftpFolder::path() const { return relative_.empty() ? root_ : sftp::Join(root_, relative_); }

std::string SftpFolder::pathOf(std::string_view name) const { return sftp::Join(path(), name); }

int SftpFolder::openBeneath(std::string_view relative, std::unique_ptr<FolderBackend>& out, size_t* failedAt) const {
    return walk(relative, out, failedAt, true);
}

// The paths of the folders from here down to `relative` ("a/b": this/a,
// this/a/b); false, with failedAt, for a name that is none.
bool SftpFolder::wayTo(std::string_view relative, std::vector<std::string>& paths, std::vector<size_t>* ends,
                       size_t* failedAt) const {
    std::string now = path();
    for (size_t pos = 0; pos < relative.size();) {
        size_t next = relative.find('/', pos);
        if (next == std::string_view::npos) next = relative.size();
        if (next > pos) {
            const std::string_view name = relative.substr(pos, next - pos);
            if (!IsPlainName(name)) {
                if (failedAt) *failedAt = next;
                return false;
            }
            now = sftp::Join(now, name);
            paths.push_back(now);
            if (ends) ends->push_back(next);
        }
        pos = next + 1;
    }
    return true;
}

void SftpFolder::foresee(std::span<const std::string> relativePaths, bool followLinks) const {
    for (const std::string& relative : relativePaths) {
        std::string_view folder, name;
        SplitRelative(relative, folder, name);
        std::vector<std::string> way;
        if (!IsPlainName(name) || !wayTo(folder, way, nullptr, nullptr)) continue;
        for (const std::string& p : way) sftp::Foresee(*connection_, p, false);
        sftp::Foresee(*connection_, sftp::Join(way.empty() ? path() : way.back(), name), followLinks);
    }
}

int SftpFolder::walk(std::string_view relative, std::unique_ptr<FolderBackend>& out, size_t* failedAt,
                     bool foreseen) const {
    while (!relative.empty() && relative.back() == '/') relative.remove_suffix(1);
    std::vector<std::string> paths;
    std::vector<size_t> ends;
    if (!wayTo(relative, paths, &ends, failedAt)) return kDotOnTheWay;
    const std::vector<SftpConnection::Reply> replies = sftp::LstatAll(*connection_, paths, foreseen);
    for (size_t i = 0; i < replies.size(); ++i) {
        if (const int error = sftp::WayError(replies[i])) {
            if (failedAt) *failedAt = ends[i];
            return error;
        }
    }
    std::string below = relative_;
    if (!relative.empty()) below = below.empty() ? std::string(relative) : below + "/" + std::string(relative);
    out = std::make_unique<SftpFolder>(connection_, root_, below);
    return 0;
}

int SftpFolder::openChild(std::string_view name, bool create, std::unique_ptr<FolderBackend>& out, bool* created) const {
    if (!IsPlainName(name)) return kDotOnTheWay;
    const std::string child = pathOf(name);
    if (create) {
        sftp::Forget(*connection_, child);
        sftp::Attributes none;
        const SftpConnection::Reply reply = connection_->Call(std::move(sftp::Packet(sftp::kMkdir).str(child).attrs(none)));
        if (reply.status() == sftp::kOk && created) *created = true;
        if (reply.type == 0) return kConnectionLost;
    }
    sftp::Attributes a;
    if (const int error = sftp::StatPath(*connection_, child, false, a)) return error;
    if (a.type() == sftp::kTypeLink) return kLinkOnTheWay;
    if (a.type() != sftp::kTypeFolder) return ENOTDIR;
    out = std::make_unique<SftpFolder>(connection_, root_, relative_.empty() ? std::string(name) : relative_ + "/" + std::string(name));
    return 0;
}

uint32_t SftpFolder::copyMetadataFrom(const FolderBackend& source) const {
    NodeInfo info;
    if (source.describe(info) != 0) return 0;
    sftp::Attributes a;
    a.flags = sftp::kAttrPermissions;
    a.permissions = info.permissions & 0777;
    connection_->Call(std::move(sftp::Packet(sftp::kSetstat).str(path()).attrs(a)));
    // Owner, group, extended attributes and ACLs do not travel over SFTP.
    return 0;
}

int SftpFolder::inspect(std::string_view name, bool followLinks, NodeInfo& info) const {
    sftp::Attributes a;
    const int error = sftp::StatPath(*connection_, pathOf(name), followLinks, a, nullptr, true);
    if (error == ENOENT) return 0;
    if (error != 0) return error;
    info = sftp::ToNodeInfo(a);
    return 0;
}

int SftpFolder::describe(NodeInfo& info) const {
    sftp::Attributes a;
    if (const int error = sftp::StatPath(*connection_, path(), false, a)) return error;
    info = sftp::ToNodeInfo(a);
    return 0;
}

int SftpFolder::removeFileOrLink(std::string_view name) const {
    if (!IsPlainName(name)) return EISDIR;
    sftp::Attributes a;
    if (const int error = sftp::StatPath(*connection_, pathOf(name), false, a)) return error;
    if (a.type() == sftp::kTypeFolder) return EISDIR;
    if (a.type() != sftp::kTypeFile && a.type() != sftp::kTypeLink) return kNotRegularFile;
    if (const int error = checkWay()) return error;
    // REMOVE unlinks the name: a link goes, never what it points to; a folder is refused.
    sftp::Forget(*connection_, pathOf(name));
    return sftp::ErrorOf(connection_->Call(std::move(sftp::Packet(sftp::kRemove).str(pathOf(name)))));
}

int SftpFolder::renameChild(std::string_view from, const FolderBackend& destination, std::string_view to) const {
    if (!IsPlainName(from) || !IsPlainName(to)) return kDotOnTheWay;
    const auto* there = dynamic_cast<const SftpFolder*>(&destination);
    if (there == nullptr || &there->connection() != connection_.get()) return EXDEV;
    if (const int error = checkWay()) return error;
    if (const int error = there->checkWay()) return error;
    const std::string target = there->pathOf(to);
    sftp::Forget(*connection_, pathOf(from));
    sftp::Forget(*connection_, target);
    // The protocol's own rename never replaces a file (posix-rename would):
    // whatever appeared at the new name since stays.
    const SftpConnection::Reply renamed =
        connection_->Call(std::move(sftp::Packet(sftp::kRename).str(pathOf(from)).str(target)));
    if (renamed.status() == sftp::kFailure) {
        sftp::Attributes a;
        if (sftp::StatPath(*connection_, target, false, a) == 0) return EEXIST;
    }
    return sftp::ErrorOf(renamed);
}

int SftpFolder::removeEmptyFolder(std::string_view name) const {
    if (!IsPlainName(name)) return EINVAL;
    sftp::Attributes a;
    if (const int error = sftp::StatPath(*connection_, pathOf(name), false, a)) return error;
    if (a.type() != sftp::kTypeFolder) return ENOTDIR;
    if (const int error = checkWay()) return error;
    sftp::Forget(*connection_, pathOf(name));
    const SftpConnection::Reply removed = connection_->Call(std::move(sftp::Packet(sftp::kRmdir).str(pathOf(name))));
    // Servers answer a folder with something in it with a plain failure.
    return removed.status() == sftp::kFailure ? ENOTEMPTY : sftp::ErrorOf(removed);
}

int SftpFolder::identify(uint64_t& device, uint64_t& inode) const {
    device = (1ull << 62) | connection_->number();
    inode = Fnv(path());
    return 0;
}

int SftpFolder::checkWay() const {
    std::unique_ptr<FolderBackend> again;
    SftpFolder root(connection_, root_, {});
    return root.walk(relative_, again, nullptr, false);
}

// Our temporary files carry the check digits in their names; on another
// machine there is neither a lock nor a marker to go by, so the name decides.
int SftpFolder::removeStaleTemporaries() const {
    const SftpConnection::Reply opened = connection_->Call(std::move(sftp::Packet(sftp::kOpendir).str(path())));
    if (opened.type != sftp::kHandle) return 0;
    const std::string handle(sftp::Reader(opened.body).str());
    std::vector<std::string> ours;
    while (true) {
        const SftpConnection::Reply names = connection_->Call(std::move(sftp::Packet(sftp::kReaddir).str(handle)));
        if (names.type != sftp::kName) break;
        sftp::Reader reader(names.body);
        const uint32_t count = reader.u32();
        for (uint32_t i = 0; i < count && !reader.failed(); ++i) {
            const std::string_view name = reader.str();
            reader.str();
            const sftp::Attributes a = reader.attrs();
            if (a.type() == sftp::kTypeFile && TemporaryName::HasOurForm(name)) ours.emplace_back(name);
        }
    }
    connection_->Call(std::move(sftp::Packet(sftp::kClose).str(handle)));
    int removed = 0;
    for (const std::string& name : ours)
        removed += connection_->Call(std::move(sftp::Packet(sftp::kRemove).str(pathOf(name)))).status() == sftp::kOk;
    return removed;
}

std::vector<std::string> SftpFolder::way() const {
    std::vector<std::string> paths;
    SftpFolder root(connection_, root_, {});
    root.wayTo(relative_, paths, nullptr, nullptr);
    return paths;
}

int SftpFolder::place(const std::string& temp, const std::string& destination, const NodeInfo& expected, bool keep,
                      std::string* reason, NodeInfo* placed) const {
    struct Wait {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        int error = 0;
        NodeInfo placed;
        std::string reason;
    };
    auto wait = std::make_shared<Wait>();
    SftpPlacing::Start(*connection_, way(), pathOf(temp), pathOf(destination), expected, keep,
                       [wait](int error, const NodeInfo& now, const std::string& why) {
                           const std::lock_guard lock(wait->mutex);
                           wait->error = error;
                           wait->placed = now;
                           wait->reason = why;
                           wait->finished = true;
                           wait->done.notify_all();
                       });
    std::unique_lock lock(wait->mutex);
    wait->done.wait(lock, [&] { return wait->finished; });
    if (reason && !wait->reason.empty()) *reason = wait->reason;
    if (placed) *placed = wait->placed;
    return wait->error;
}

}  // namespace kirvo
