#include "platform/root.h"
#include "platform/translation.h"

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
        if (error) *error = Tr("Der Pfad ist leer.");
        return std::nullopt;
    }
    if (!NamesRemote(text)) return Local(text);
    Root root = Local(text);
    root.address_ = RemoteAddress::Parse(text, error);
    if (!root.address_) return std::nullopt;
    root.kind_ = Kind::Sftp;
    return root;
}


std::string Root::MissingText() const {
    std::string text = "„" + text_ + Tr("“ existiert nicht.");
    if (!parentExists()) text += Tr(" Ist der Datenträger angeschlossen?");
    return text;
}

void Root::Judge(State state, int error, std::string nearestExisting, bool parentExists) {
    state_ = state;
    error_ = error;
    nearestExisting_ = std::move(nearestExisting);
    parentExists_ = parentExists;
}

}  // namespace kirvo
