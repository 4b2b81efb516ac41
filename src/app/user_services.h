#pragma once
#include <string>
#include <vector>

namespace kirvo {

// The user's service manager (systemd --user), through systemctl.
class UserServices {
public:
    // Whether one runs for this session: its socket under $XDG_RUNTIME_DIR is there.
    static bool Running();
    // "systemctl --user WORDS..."; false with what it said (or why it did not run).
    static bool Systemctl(const std::vector<std::string>& words, std::string& message);
    // Whether the user's services run also without a session (loginctl enable-linger).
    static bool Lingering();
};

}  // namespace kirvo
