#pragma once
#include <sys/types.h>

#include <string>

#include "support/temp_tree.h"

namespace kirvo::test {

// A real OpenSSH server on 127.0.0.1 at a free port, for the tests of remote
// folders: its host key and a user key made in a temporary folder, which is
// also the HOME of the process (and of the programs it starts) while the
// object lives, with ~/.ssh holding the key and, when trusted, a known_hosts
// that names the server. Logging in as the current user (root here) with the
// key; the server's configuration is its own file, nothing of the system's is
// touched; no SSH agent is used. The server's sessions get the same HOME,
// so a subsystem starts without the user's shell start-up files (however
// slow those are, the tests' deadlines hold). Stopped, and HOME and the
// agent restored, when the object dies.
class SshServer {
public:
    // trustHost: known_hosts already holds the server's key. sftpServer: the
    // command line of the file-transfer subsystem ("": OpenSSH's own).
    explicit SshServer(bool trustHost = true, const std::string& sftpServer = "");
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    // False (with the reason in error()) when no server could be started.
    bool running() const { return pid_ > 0; }
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    // "sftp://localhost:PORT" + absolute local path: the same folder, through the server.
    std::string Url(const std::string& localPath) const;
    const std::string& home() const { return home_.path(); }
    // The host key's fingerprint as ssh-keygen shows it ("SHA256:...").
    const std::string& fingerprint() const { return fingerprint_; }
    // Replaces the user's key by one that needs a passphrase.
    bool UsePassphraseKey(const std::string& passphrase);
    // Ends every session of the server at once (kill -9), as a connection that breaks off.
    void DropConnections();
    // Replaces the user's key by one the server does not know.
    bool UseUnknownKey();
    // Puts another key for the server into known_hosts (as after a changed host key).
    bool ForgeKnownHost();

private:
    TempDir home_;
    TempDir serverDir_;
    std::string savedHome_;
    bool hadHome_ = false;
    std::string savedAgent_;  // SSH_AUTH_SOCK: no agent of the user's takes part
    bool hadAgent_ = false;
    std::string error_;
    std::string fingerprint_;
    int port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace kirvo::test
