#include "platform/remote_address.h"
#include "platform/translation.h"

#include <charconv>

namespace kirvo {

std::optional<RemoteAddress> RemoteAddress::Parse(std::string_view text, std::string* error) {
    const auto fail = [&](const std::string& why) -> std::optional<RemoteAddress> {
        if (error) *error = "„" + std::string(text) + Tr("“ ist keine gültige Adresse: ") + why + ".";
        return std::nullopt;
    };
    if (!IsRemote(text)) return fail(Tr("sie beginnt nicht mit sftp://"));
    std::string_view rest = text.substr(kScheme.size());
    const size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    RemoteAddress address;
    address.path = slash == std::string_view::npos ? "/" : std::string(rest.substr(slash));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        address.user = std::string(authority.substr(0, at));
        authority.remove_prefix(at + 1);
        if (address.user.empty()) return fail(Tr("vor dem @ fehlt der Benutzername"));
    }
    std::string_view port;
    if (!authority.empty() && authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return fail(Tr("die ] nach dem Rechnernamen fehlt"));
        address.host = std::string(authority.substr(1, close - 1));
        authority.remove_prefix(close + 1);
        if (!authority.empty()) {
            if (authority.front() != ':') return fail(Tr("nach der ] darf nur :PORT folgen"));
            port = authority.substr(1);
        }
    } else {
        const size_t colon = authority.find(':');
        address.host = std::string(authority.substr(0, colon));
        if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    }
    if (address.host.empty()) return fail(Tr("der Rechnername fehlt"));
    if (address.host.find_first_of(" \t/\\") != std::string::npos) return fail(Tr("der Rechnername enthält ungültige Zeichen"));
    if (!port.empty() || (authority.find(':') != std::string_view::npos)) {
        int value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
            return fail(Tr("der Port muss eine Zahl von 1 bis 65535 sein"));
        address.port = value;
    }
    return address;
}

std::string RemoteAddress::Machine() const {
    std::string text(kScheme);
    if (!user.empty()) text += user + "@";
    text += host.find(':') != std::string::npos ? "[" + host + "]" : host;
    if (port != 0) text += ":" + std::to_string(port);
    return text;
}

std::string RemoteAddress::ServerPath() const {
    if (path == "/~" || path == "/~/") return ".";
    if (path.rfind("/~/", 0) == 0) return path.substr(3);
    return path;
}

}  // namespace kirvo
