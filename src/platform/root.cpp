#include "platform/root.h"

#include <filesystem>

#include "platform/file_node.h"
#include "platform/translation.h"

namespace kirvo {

bool Root::NamesSnapshot(std::string_view text) { return text.starts_with(kSnapshotPrefix); }

std::string Root::SnapshotFileOf(std::string_view text) {
    if (!NamesSnapshot(text)) return {};
    text.remove_prefix(kSnapshotPrefix.size());
    while (text.size() > 1 && text.back() == '/') text.remove_suffix(1);
    return std::string(text);
}

bool Root::NamesRemote(std::string_view text) {
    if (NamesSnapshot(text)) return true;
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
    if (NamesSnapshot(text)) {
        const std::string file = SnapshotFileOf(text);
        if (file.empty() || file == "/") {
            if (error) *error = Tr("Nach „snapshot:“ fehlt die Schnappschussdatei.");
            return std::nullopt;
        }
        // Absolute, so that the root means the same file wherever it is read from.
        std::error_code ec;
        std::filesystem::path path = std::filesystem::absolute(file, ec);
        if (ec) path = file;
        Root root;
        root.text_ = std::string(text);
        root.kind_ = Kind::Snapshot;
        root.location_ = std::string(kSnapshotPrefix) + path.lexically_normal().string() + "/";
        return root;
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

std::string Root::reason() const { return reason_.empty() ? SystemErrorText(error_) : reason_; }

void Root::JudgeUnreadable(int error, std::string reason) {
    Judge(State::Unreadable, error);
    reason_ = std::move(reason);
}

void Root::Judge(State state, int error, std::string nearestExisting, bool parentExists) {
    state_ = state;
    error_ = error;
    reason_.clear();
    nearestExisting_ = std::move(nearestExisting);
    parentExists_ = parentExists;
}

}  // namespace kirvo
