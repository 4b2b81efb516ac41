#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/content_reader.h"
#include "platform/directory_lister.h"
#include "platform/root.h"
#include "platform/root_access.h"
#include "platform/sftp/sftp_connection.h"
#include "platform/sftp/ssh_login.h"

namespace kirvo {

class RemoteLoginUi;

// The connections of one comparison: one per remote root, made before the
// scan and kept for the file operations that follow. Listers and root folders
// of the roots connected here go over them; a snapshot root is read from its
// file (platform/snapshot); every other root is the local file system's. A connection that broke off is made again when a root of it
// is opened next (the file operations' "Wiederholen"); the login then asks
// again what it needs (nothing is kept).
class RemoteConnections final : public RootAccess {
public:
    RemoteConnections(RemoteLoginUi* ui, LoginSettings settings);
    ~RemoteConnections() override;
    RemoteConnections(const RemoteConnections&) = delete;
    RemoteConnections& operator=(const RemoteConnections&) = delete;

    // Connects for a remote root unless its connection stands (a local root
    // needs nothing): "" on success, else the German message, with the fault.
    // The root is known as remote from then on, connected or not.
    std::string connect(const Root& root, LoginFault* fault = nullptr);
    // What there is at a root: a local one looks for itself, a remote one asks
    // over its connection (Unreadable with kConnectionLost without one).
    void inspect(Root& root) override;
    // The listers of a run (RunOptions::listers): remote roots over their
    // connections, every other root the local file system's.
    DirectoryListerFactory listers();
    // The content readers of a run (RunOptions::readers).
    ContentReaderFactory readers();
    // Whether a connection broke off since it was made (a scan over it is incomplete).
    bool anyLost() const;
    // The German message for a root whose connection broke off, or "".
    std::string lostMessage() const;
    // From any thread: ends a login under way and every connection (the next use connects anew).
    void cancel();
    // Drops every connection.
    void clear();

    int open(const std::string& root, FolderHandle& out) override;
    int make(const std::string& root, std::string& failed) override;
    bool remote(std::string_view root) const override;

private:
    struct Entry {
        RemoteAddress address;
        std::shared_ptr<SftpConnection> connection;  // null until connected
        std::string rootPath;  // absolute on the server
    };
    static std::string KeyOf(std::string_view root);
    std::string Connect(const std::string& key, const RemoteAddress& address, LoginFault* fault);
    bool find(std::string_view root, Entry& out) const;
    bool connected(std::string_view root, Entry& out);

    RemoteLoginUi* ui_;
    LoginSettings settings_;
    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;  // by location (KeyOf)
    LoginCancel* login_ = nullptr;          // the login under way
};

}  // namespace kirvo
