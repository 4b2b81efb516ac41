#pragma once
#include <optional>
#include <string>

namespace kirvo {

// What connecting to another machine asks the user: whether to trust a host
// key seen for the first time, and a password or a key's passphrase. The
// window asks in dialogs (on its own thread, while the connecting thread
// waits), kirvo-cli on the terminal. Secrets are used once and never kept.
class RemoteLoginUi {
public:
    virtual ~RemoteLoginUi() = default;

    // The machine is not in ~/.ssh/known_hosts: trust this key (it is then
    // added there)? keyType like "ssh-ed25519", fingerprint "SHA256:...".
    virtual bool acceptNewHostKey(const std::string& machine, const std::string& keyType,
                                  const std::string& fingerprint) = 0;

    // A password or passphrase for `question` (German, names the account or
    // key); nothing when the user declines.
    virtual std::optional<std::string> askSecret(const std::string& question) = 0;
};

}  // namespace kirvo
