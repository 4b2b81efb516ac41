#pragma once
#include <optional>
#include <string>

#include "platform/sftp/remote_login_ui.h"

class QWidget;

namespace kirvo {

// The window's questions while it connects to another machine: whether to
// trust a host key seen for the first time (with its fingerprint), and a
// password or passphrase (hidden as it is typed, never kept). Asked on the
// user-interface thread; the connecting thread waits for the answer.
class RemoteLoginDialogs final : public RemoteLoginUi {
public:
    explicit RemoteLoginDialogs(QWidget* parent) : parent_(parent) {}

    bool acceptNewHostKey(const std::string& machine, const std::string& keyType,
                          const std::string& fingerprint) override;
    std::optional<std::string> askSecret(const std::string& question) override;

    static constexpr const char* kTitle = "Kirvo";

private:
    QWidget* parent_;
};

}  // namespace kirvo
