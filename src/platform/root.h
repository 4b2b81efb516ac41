#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/remote_address.h"

namespace kirvo {

// A root of a comparison as the user named it, parsed once where it comes in
// (the window's path fields, kirvo-cli's operands) and handed down: what kind
// it is, the location every layer below works with, and what is known about
// it on disk (or on the other machine).
class Root {
public:
    enum class Kind : uint8_t { Local, Sftp };
    enum class State : uint8_t {
        Unchecked,   // not looked at yet
        Exists,      // a folder that can be listed
        Missing,     // nothing there; nearestExisting() says how much of the path there is
        NotFolder,   // something else is there, or on the way
        Unreadable,  // there but not listable, or whether it is there cannot be found out (error())
    };

    // The root a text names: "sftp://..." (checked; see RemoteAddress), else
    // a local path. None for an empty text or an address that is no valid
    // one; `error` then says why, in German.
    static std::optional<Root> Parse(std::string_view text, std::string* error = nullptr);
    // Whether a text begins with a scheme ("sftp://"): a path of another
    // machine, for code that only shows or records paths.
    static bool NamesRemote(std::string_view text);

    Kind kind() const { return kind_; }
    bool remote() const { return kind_ != Kind::Local; }
    // As given, for histories and messages.
    const std::string& text() const { return text_; }
    // As the layers below take it: ending in exactly one separator ("/" stays "/").
    const std::string& location() const { return location_; }
    // The parsed address of a remote root; null for a local one.
    const RemoteAddress* address() const { return address_ ? &*address_ : nullptr; }

    State state() const { return state_; }
    bool exists() const { return state_ == State::Exists; }
    // The system's error for Unreadable and NotFolder (or one of ours).
    int error() const { return error_; }
    // Missing: the deepest folder on the root's path that exists, "" when
    // none could be found; the root's own parent when parentExists().
    const std::string& nearestExisting() const { return nearestExisting_; }
    // Missing with its parent there: the root alone could be made.
    bool parentExists() const { return state_ == State::Missing && parentExists_; }
    // "„/media/stick/Sicherung“ existiert nicht." and, where its parent is
    // missing too, that the drive may not be connected.
    std::string MissingText() const;

    // Looks at a local root: from "/" (or the current folder) one name at a
    // time, following links as the user's path does, so a path of any length
    // is judged and a name that cannot be looked at is never taken for
    // missing. A remote root is left as it is (its connection judges it).
    void Inspect();
    // What the connection of a remote root found.
    void Judge(State state, int error, std::string nearestExisting = {}, bool parentExists = false);

private:
    Kind kind_ = Kind::Local;
    std::string text_;
    std::string location_;
    std::optional<RemoteAddress> address_;
    State state_ = State::Unchecked;
    int error_ = 0;
    std::string nearestExisting_;
    bool parentExists_ = false;
};

}  // namespace kirvo
