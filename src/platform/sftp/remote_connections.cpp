#include "platform/sftp/remote_connections.h"

#include <cerrno>
#include <vector>

#include "platform/remote_address.h"
#include "platform/sftp/sftp_calls.h"
#include "platform/sftp/sftp_content_reader.h"
#include "platform/sftp/sftp_directory_lister.h"
#include "platform/sftp/sftp_folder.h"
#include "platform/snapshot/snapshot_backend.h"
#include "platform/translation.h"

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

// The folder above an absolute server path ("/" for "/x").
std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

RemoteConnections::RemoteConnections(RemoteLoginUi* ui, LoginSettings settings)
    : ui_(ui), settings_(std::move(settings)) {}

RemoteConnections::~RemoteConnections() = default;

// The key of a root's entry: its location, whatever separators the caller's text ends in.
std::string RemoteConnections::KeyOf(std::string_view root) {
    while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
    return std::string(root) + "/";
}

std::string RemoteConnections::connect(const Root& root, LoginFault* fault) {
    if (fault) *fault = LoginFault::None;
    if (!root.remote()) return {};
    const RemoteAddress& address = *root.address();
    const std::string key = KeyOf(root.location());
    {
        const std::lock_guard lock(mutex_);
        Entry& entry = entries_[key];  // known as remote from now on, connected or not
        entry.address = address;
        if (entry.connection && !entry.connection->lost()) return {};
    }
    return Connect(key, address, fault);
}

std::string RemoteConnections::Connect(const std::string& key, const RemoteAddress& address, LoginFault* fault) {
    LoginCancel cancel;
    {
        const std::lock_guard lock(mutex_);
        login_ = &cancel;
    }
    LoginFault why = LoginFault::None;
    std::string message;
    std::shared_ptr<SftpConnection> connection = SftpConnection::Open(address, ui_, settings_, cancel, why, message);
    {
        const std::lock_guard lock(mutex_);
        login_ = nullptr;
    }
    if (fault) *fault = why;
    if (!connection) return message;
    std::string rootPath = ResolveRoot(*connection, address);
    const std::lock_guard lock(mutex_);
    Entry& entry = entries_[key];
    entry.connection = std::move(connection);
    entry.rootPath = std::move(rootPath);
    return {};
}

bool RemoteConnections::find(std::string_view root, Entry& out) const {
    const std::lock_guard lock(mutex_);
    const auto it = entries_.find(KeyOf(root));
    if (it == entries_.end()) return false;
    out = it->second;
    return true;
}

// A remote root with its connection standing (made anew when it broke off); false when none can be made.
bool RemoteConnections::connected(std::string_view root, Entry& out) {
    if (!find(root, out)) return false;
    if (out.connection && !out.connection->lost()) return true;
    return Connect(KeyOf(root), out.address, nullptr).empty() && find(root, out) && out.connection != nullptr;
}

bool RemoteConnections::remote(std::string_view root) const {
    Entry entry;
    return find(root, entry);
}

DirectoryListerFactory RemoteConnections::listers() {
    return [this](const std::string& root) -> std::unique_ptr<DirectoryLister> {
        if (Root::NamesSnapshot(root)) return MakeSnapshotLister(root);
        Entry entry;
        if (!find(root, entry)) return MakeDirectoryLister(root);
        if (!entry.connection) return std::make_unique<UnreachableLister>();
        return std::make_unique<SftpDirectoryLister>(entry.connection, entry.rootPath);
    };
}

ContentReaderFactory RemoteConnections::readers() {
    return [this](const std::string& root) -> std::unique_ptr<ContentReader> {
        if (Root::NamesSnapshot(root)) return MakeSnapshotReader(root);
        Entry entry;
        if (!find(root, entry)) return MakeContentReader(root);
        if (!entry.connection) return std::make_unique<UnreachableReader>();
        return std::make_unique<SftpContentReader>(entry.connection, entry.rootPath);
    };
}

bool RemoteConnections::anyLost() const { return !lostMessage().empty(); }

std::string RemoteConnections::lostMessage() const {
    const std::lock_guard lock(mutex_);
    for (const auto& [key, entry] : entries_)
        if (entry.connection && entry.connection->lost()) {
            const std::string reason = entry.connection->lostReason();
            if (reason.empty()) return Tr("Die Verbindung zu „") + entry.connection->machine() + Tr("“ ist unterbrochen.");
            return Tr("Die Verbindung zu „") + entry.connection->machine() + Tr("“ wurde beendet: ") + reason + ".";
        }
    return {};
}

void RemoteConnections::cancel() {
    const std::lock_guard lock(mutex_);
    if (login_) login_->cancel();
    for (auto& [key, entry] : entries_)
        if (entry.connection) entry.connection->Abort();
}

void RemoteConnections::clear() {
    std::map<std::string, Entry> gone;
    const std::lock_guard lock(mutex_);
    gone.swap(entries_);
}

int RemoteConnections::open(const std::string& root, FolderHandle& out) {
    out = FolderHandle();
    Entry entry;
    if (!find(root, entry)) return FolderHandle::OpenRoot(root, out);
    if (!connected(root, entry)) return kConnectionLost;
    sftp::Attributes a;
    if (const int error = sftp::StatPath(*entry.connection, entry.rootPath, true, a)) return error;
    if (a.type() != sftp::kTypeFolder) return ENOTDIR;
    out = FolderHandle(std::make_unique<SftpFolder>(entry.connection, entry.rootPath, std::string()));
    return 0;
}

void RemoteConnections::inspect(Root& root) {
    if (root.snapshot()) return InspectSnapshot(root);
    if (!root.remote()) return root.Inspect();
    Entry entry;
    if (!connected(root.location(), entry)) return root.Judge(Root::State::Unreadable, kConnectionLost);
    SftpConnection& connection = *entry.connection;
    sftp::Attributes a;
    const int error = sftp::StatPath(connection, entry.rootPath, true, a);
    if (error == ENOENT) {
        const std::string parent = ParentOf(entry.rootPath);
        sftp::Attributes p;
        const bool parentThere = sftp::StatPath(connection, parent, true, p) == 0 && p.type() == sftp::kTypeFolder;
        return root.Judge(Root::State::Missing, 0, parentThere ? parent : std::string(), parentThere);
    }
    if (error != 0) return root.Judge(Root::State::Unreadable, error);
    if (a.type() != sftp::kTypeFolder) return root.Judge(Root::State::NotFolder, ENOTDIR);
    const SftpConnection::Reply opened = connection.Call(std::move(sftp::Packet(sftp::kOpendir).str(entry.rootPath)));
    if (opened.type != sftp::kHandle)
        return root.Judge(Root::State::Unreadable, opened.type == sftp::kStatus ? sftp::ErrorOf(opened) : kConnectionLost);
    connection.Call(std::move(sftp::Packet(sftp::kClose).str(std::string(sftp::Reader(opened.body).str()))));
    root.Judge(Root::State::Exists, 0);
}

int RemoteConnections::make(const std::string& root, std::string& failed) {
    Entry entry;
    if (!find(root, entry)) return MakeRootFolder(root, failed);
    failed = root;
    if (!connected(root, entry)) return kConnectionLost;
    // The root itself, and only where its parent folder is there.
    const std::string parent = ParentOf(entry.rootPath);
    sftp::Attributes a;
    const int parentError = sftp::StatPath(*entry.connection, parent, true, a);
    if (parentError != 0) return parentError;
    if (a.type() != sftp::kTypeFolder) return ENOTDIR;
    const int error = sftp::StatPath(*entry.connection, entry.rootPath, true, a);
    if (error == 0) return a.type() == sftp::kTypeFolder ? 0 : ENOTDIR;
    if (error != ENOENT) return error;
    sftp::Attributes none;
    if (const int made =
            sftp::ErrorOf(entry.connection->Call(std::move(sftp::Packet(sftp::kMkdir).str(entry.rootPath).attrs(none)))))
        return made;
    failed.clear();
    return 0;
}

}  // namespace kirvo
