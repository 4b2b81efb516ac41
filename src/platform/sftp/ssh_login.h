#pragma once
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

#include "platform/remote_address.h"

struct ssh_session_struct;

namespace kirvo {

class RemoteLoginUi;

// Why a connection could not be made; each with its German message.
enum class LoginFault {
    None,
    UnknownMachine,   // the name does not resolve
    Unreachable,      // refused, no route, timed out
    HostKeyUnknown,   // not in known_hosts and not accepted
    HostKeyChanged,   // known_hosts holds another key: never connected
    Refused,          // every way of logging in was refused
    NoFileTransfer,   // the server offers no SFTP
    Cancelled,
    Failed,           // anything else (the library's text comes with it)
};

// Lets another thread stop a login under way at once: the socket is shut down.
class LoginCancel {
public:
    void cancel();
    bool cancelled() const { return cancelled_.load(); }
    // The socket of the login under way (-1: none).
    void setSocket(int fd);

private:
    std::atomic<bool> cancelled_{false};
    std::mutex mutex_;
    int socket_ = -1;
};

struct LoginSettings {
    // The folder with config, known_hosts and id_* ("$HOME/.ssh" by default).
    std::string sshFolder;
    // Without a UI an unknown host key is refused unless this is set (kirvo-cli --accept-new-host-key).
    bool acceptNewHostKey = false;
    int connectTimeoutSeconds = 10;
    // A request without its reply for this long ends the connection.
    std::chrono::milliseconds replyTimeout{30'000};
    // File-transfer channels of one connection, each with a server process of
    // its own there, so that the server works on several files at once.
    int channels = 4;

    // HOME's .ssh; the reply timeout from KIRVO_SFTP_TIMEOUT (whole seconds, 1
    // to 3600) and the channels from KIRVO_SFTP_CHANNELS (1 to 8) when set.
    static LoginSettings Default();
};

// Connects and logs in to the address's machine as OpenSSH would: ~/.ssh/config
// (Host aliases, HostName, User, Port, IdentityFile), the host key checked
// against ~/.ssh/known_hosts (an unknown one asked about through `ui`, a changed
// one always refused), then the agent and the keys, then a password or
// keyboard-interactive answers asked through `ui`. Returns the session, or null
// with the fault and a German message. `ui` may be null (nothing is asked).
ssh_session_struct* LogIn(const RemoteAddress& address, RemoteLoginUi* ui, const LoginSettings& settings,
                          LoginCancel& cancel, LoginFault& fault, std::string& message);

}  // namespace kirvo
