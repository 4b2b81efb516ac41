#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/content_reader.h"
#include "platform/directory_lister.h"
#include "platform/root_access.h"
#include "platform/sftp/sftp_connection.h"
#include "platform/sftp/ssh_login.h"

namespace kirvo {

class RemoteLoginUi;

// The connections of one comparison: one per remote root ("sftp://..."),
// made before the scan and kept for the file operations that follow. Listers
// and root folders of remote roots go over them; every other root is the local
// file system's. A connection that broke off is made again when a root of it
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
    std::string connect(const std::string& root, LoginFault* fault = nullptr);
    // The listers of a run (RunOptions::listers).
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

    // Whether a connected remote root can be listed: 0, ENOENT, ENOTDIR,
    // EACCES, or kConnectionLost.
    int check(const std::string& root);

    int open(const std::string& root, FolderHandle& out) override;
    int make(const std::string& root, std::string& failed) override;

private:
    struct Entry {
        std::shared_ptr<SftpConnection> connection;
        std::string rootPath;  // absolute on the server
    };
    bool find(const std::string& root, Entry& out);

    RemoteLoginUi* ui_;
    LoginSettings settings_;
    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;  // by RemoteAddress::Key
    LoginCancel* login_ = nullptr;          // the login under way
};

}  // namespace kirvo
