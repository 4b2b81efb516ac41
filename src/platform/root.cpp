#include "platform/root.h"

namespace kirvo {

bool Root::NamesRemote(std::string_view text) {
    const size_t colon = text.find("://");
    if (colon == std::string_view::npos || colon == 0) return false;
    for (char c : text.substr(0, colon))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-'))
            return false;
    return true;
}

std::optional<Root> Root::Parse(std::string_view text, std::string* error) {
    if (text.empty()) {
        if (error) *error = "Der Pfad ist leer.";
        return std::nullopt;
    }
    Root root;
    root.text_ = std::string(text);
    if (NamesRemote(text)) {
        root.address_ = RemoteAddress::Parse(text, error);
        if (!root.address_) return std::nullopt;
        root.kind_ = Kind::Sftp;
    }
    std::string_view trimmed = text;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
    root.location_ = std::string(trimmed);
    if (root.location_ != "/") root.location_.push_back('/');
    return root;
}

std::string Root::MissingText() const {
    std::string text = "„" + text_ + "“ existiert nicht.";
    if (!parentExists()) text += " Ist der Datenträger angeschlossen?";
    return text;
}

void Root::Judge(State state, int error, std::string nearestExisting, bool parentExists) {
    state_ = state;
    error_ = error;
    nearestExisting_ = std::move(nearestExisting);
    parentExists_ = parentExists;
}

}  // namespace kirvo
