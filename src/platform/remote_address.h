#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace kirvo {

// A folder on another machine, named as "sftp://[user@]host[:port]/path".
// The path is the remote one as the user wrote it; "/~" or "/~/..." at its
// start stands for the login folder there. Host names in brackets
// ("sftp://[::1]:2222/x") may hold colons. User and port left out are taken
// from ~/.ssh/config, else the login name and 22.
struct RemoteAddress {
    std::string user;  // "" when not given
    std::string host;
    int port = 0;      // 0 when not given
    std::string path;  // starts with '/'; "/" at least

    static constexpr std::string_view kScheme = "sftp://";

    // Whether a root or path is of this form (the scheme alone decides).
    static bool IsRemote(std::string_view text) { return text.substr(0, kScheme.size()) == kScheme; }

    // Empty when the text is not a valid address; `error` then says why, in German.
    static std::optional<RemoteAddress> Parse(std::string_view text, std::string* error = nullptr);

    // "sftp://[user@]host[:port]" without the path: what a connection is to.
    std::string Machine() const;
    // The path as the server takes it: relative to the login folder for "/~...".
    std::string ServerPath() const;
};

}  // namespace kirvo
