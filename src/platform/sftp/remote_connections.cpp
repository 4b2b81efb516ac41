#include "platform/sftp/remote_connections.h"

#include <cerrno>
#include <vector>

#include "platform/sftp/remote_address.h"
#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_content_reader.h"
#include "platform/sftp/sftp_directory_lister.h"
#include "platform/sftp/sftp_folder.h"

namespace kirvo {
namespace {

// A remote root without a connection lists nothing.
class UnreachableLister final : public DirectoryLister {
public:
    ListingStatus OpenRoot(const std::string&) override { return Unreachable(); }
    int AutomaticInFlight() const override { return 1; }
    void SetInFlight(int) override {}
    void Start(const Request&, ListingReceiver& receiver) override { receiver.Finished(Unreachable(), nullptr); }

private:
    static ListingStatus Unreachable() { return ListingStatus::Failed(kConnectionLost, SystemErrorText(kConnectionLost)); }
};

// A remote root without a connection reads nothing.
class UnreachableReader final : public ContentReader {
public:
    int open(std::string_view, std::unique_ptr<OpenedContent>& file, ContentIdentity& identity) override {
        file.reset();
        identity = ContentIdentity{};
        return kConnectionLost;
    }
};

// The server's absolute form of the root's path; a root that does not exist
// yet is taken as written (below the login folder for "/~/...").
std::string ResolveRoot(SftpConnection& connection, const RemoteAddress& address) {
    const std::string path = address.ServerPath();
    const auto realpath = [&](const std::string& p) -> std::string {
        const SftpConnection::Reply reply = connection.Call(std::move(sftp::Packet(sftp::kRealpath).str(p)));
        std::vector<sftp::Name> names;
        if (reply.type != sftp::kName || !sftp::ParseNames(reply.body, names) || names.empty()) return {};
        return std::string(names[0].name);
    };
    std::string resolved = realpath(path);
    if (!resolved.empty()) return resolved;
    if (!path.empty() && path[0] == '/') return path;
    const std::string home = realpath(".");
    return sftp::Join(home.empty() ? "/" : home, path);
}

}  // namespace

RemoteConnections::RemoteConnections(RemoteLoginUi* ui, LoginSettings settings)
    : ui_(ui), settings_(std::move(settings)) {}

RemoteConnections::~RemoteConnections() = default;

std::string RemoteConnections::connect(const std::string& root, LoginFault* fault) {
    if (fault) *fault = LoginFault::None;
    if (!IsRemoteRoot(root)) return {};
    std::string message;
    const std::optional<RemoteAddress> address = RemoteAddress::Parse(root, &message);
    if (!address) {
        if (fault) *fault = LoginFault::Failed;
        return message;
    }
    const std::string key = address->Key();
    {
        const std::lock_guard lock(mutex_);
        const auto it = entries_.find(key);
        if (it != entries_.end() && !it->second.connection->lost()) return {};
    }
    LoginCancel cancel;
    {
        const std::lock_guard lock(mutex_);
        login_ = &cancel;
    }
    LoginFault why = LoginFault::None;
    std::shared_ptr<SftpConnection> connection = SftpConnection::Open(*address, ui_, settings_, cancel, why, message);
    {
        const std::lock_guard lock(mutex_);
        login_ = nullptr;
    }
    if (fault) *fault = why;
    if (!connection) return message;
    Entry entry{connection, ResolveRoot(*connection, *address)};
    const std::lock_guard lock(mutex_);
    entries_[key] = std::move(entry);
    return {};
}

bool RemoteConnections::find(const std::string& root, Entry& out) {
    const std::optional<RemoteAddress> address = RemoteAddress::Parse(root);
    if (!address) return false;
    const std::lock_guard lock(mutex_);
    const auto it = entries_.find(address->Key());
    if (it == entries_.end()) return false;
    out = it->second;
    return true;
}

DirectoryListerFactory RemoteConnections::listers() {
    return [this](const std::string& root) -> std::unique_ptr<DirectoryLister> {
        if (!IsRemoteRoot(root)) return MakeDirectoryLister(root);
        Entry entry;
        if (!find(root, entry)) return std::make_unique<UnreachableLister>();
        return std::make_unique<SftpDirectoryLister>(entry.connection, entry.rootPath);
    };
}

ContentReaderFactory RemoteConnections::readers() {
    return [this](const std::string& root) -> std::unique_ptr<ContentReader> {
        if (!IsRemoteRoot(root)) return MakeContentReader(root);
        Entry entry;
        if (!find(root, entry)) return std::make_unique<UnreachableReader>();
        return std::make_unique<SftpContentReader>(entry.connection, entry.rootPath);
    };
}

bool RemoteConnections::anyLost() const { return !lostMessage().empty(); }

std::string RemoteConnections::lostMessage() const {
    const std::lock_guard lock(mutex_);
    for (const auto& [key, entry] : entries_)
        if (entry.connection->lost()) {
            const std::string reason = entry.connection->lostReason();
            if (reason.empty()) return "Die Verbindung zu „" + entry.connection->machine() + "“ ist unterbrochen.";
            return "Die Verbindung zu „" + entry.connection->machine() + "“ wurde beendet: " + reason + ".";
        }
    return {};
}

void RemoteConnections::cancel() {
    const std::lock_guard lock(mutex_);
    if (login_) login_->cancel();
    for (auto& [key, entry] : entries_) entry.connection->Abort();
}

void RemoteConnections::clear() {
    std::map<std::string, Entry> gone;
    const std::lock_guard lock(mutex_);
    gone.swap(entries_);
}

int RemoteConnections::open(const std::string& root, FolderHandle& out) {
    out = FolderHandle();
    if (!IsRemoteRoot(root)) return FolderHandle::OpenRoot(root, out);
    Entry entry;
    if (!find(root, entry) || entry.connection->lost()) {
        if (!connect(root).empty() || !find(root, entry)) return kConnectionLost;
    }
    sftp::Attributes a;
    if (const int error = sftp::StatPath(*entry.connection, entry.rootPath, true, a)) return error;
    if (a.type() != sftp::kTypeFolder) return ENOTDIR;
    out = FolderHandle(std::make_unique<SftpFolder>(entry.connection, entry.rootPath, std::string()));
    return 0;
}

int RemoteConnections::check(const std::string& root) {
    FolderHandle folder;
    if (const int error = open(root, folder)) return error;
    Entry entry;
    if (!find(root, entry)) return kConnectionLost;
    const SftpConnection::Reply opened = entry.connection->Call(std::move(sftp::Packet(sftp::kOpendir).str(entry.rootPath)));
    if (opened.type != sftp::kHandle) return opened.type == sftp::kStatus ? sftp::ErrorOf(opened) : kConnectionLost;
    entry.connection->Call(std::move(sftp::Packet(sftp::kClose).str(std::string(sftp::Reader(opened.body).str()))));
    return 0;
}

int RemoteConnections::make(const std::string& root, std::string& failed) {
    if (!IsRemoteRoot(root)) return MakeFolders(root, failed);
    failed = root;
    Entry entry;
    if (!find(root, entry) || entry.connection->lost()) {
        if (!connect(root).empty() || !find(root, entry)) return kConnectionLost;
    }
    // Each missing folder from the top down, as the user named the root.
    std::string path;
    for (size_t pos = 1; pos <= entry.rootPath.size();) {
        size_t next = entry.rootPath.find('/', pos);
        if (next == std::string::npos) next = entry.rootPath.size();
        if (next > pos) {
            path = entry.rootPath.substr(0, next);
            sftp::Attributes a;
            const int error = sftp::StatPath(*entry.connection, path, true, a);
            if (error == ENOENT) {
                sftp::Attributes none;
                if (const int made = sftp::ErrorOf(entry.connection->Call(std::move(sftp::Packet(sftp::kMkdir).str(path).attrs(none)))))
                    return made;
            } else if (error != 0) {
                return error;
            } else if (a.type() != sftp::kTypeFolder) {
                return ENOTDIR;
            }
        }
        pos = next + 1;
    }
    failed.clear();
    return 0;
}

}  // namespace kirvo
