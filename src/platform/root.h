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
    // Snapshot: a listing saved by "kirvo-cli snapshot save" (snapshot:FILE),
    // read from its file and never written to.
    enum class Kind : uint8_t { Local, Sftp, Snapshot };
    enum class State : uint8_t {
        Unchecked,   // not looked at yet
        Exists,      // a folder that can be listed (a snapshot: its file)
        Missing,     // nothing there; nearestExisting() says how much of the path there is
        NotFolder,   // something else is there, or on the way
        Unreadable,  // there but not listable, or whether it is there cannot be found out (error())
    };

    // The root a text names: "sftp://..." (checked; see RemoteAddress),
    // "snapshot:FILE" (FILE taken from the current folder), else a local
    // path. None for an empty text, an address that is no valid one or a
    // snapshot without a file; `error` then says why, in German.
    static std::optional<Root> Parse(std::string_view text, std::string* error = nullptr);
    // A folder the user gave as a local path (a folder chosen in a dialog,
    // dropped, or an engine run on paths): never an address, whatever its
    // names hold ("a://b" is a folder "a:" with "b" in it).
    static Root Local(std::string_view path) {
        Root root;
        root.text_ = std::string(path);
        std::string_view trimmed = path;
        while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
        root.location_ = std::string(trimmed);
        if (!root.location_.empty() && root.location_ != "/") root.location_.push_back('/');
        return root;
    }
    // Whether a text names no folder of this machine: it begins with a
    // scheme ("sftp://", what Parse takes for an address) or names a
    // snapshot. Only for texts that are no Root (yet): a line of the log.
    static bool NamesRemote(std::string_view text);
    // Whether a text (as typed, or a location) names a snapshot: "snapshot:FILE".
    static bool NamesSnapshot(std::string_view text);
    // The file of a snapshot's location (or text), without the prefix and the
    // trailing separator; "" for any other text.
    static std::string SnapshotFileOf(std::string_view text);
    static constexpr std::string_view kSnapshotPrefix = "snapshot:";

    Kind kind() const { return kind_; }
    // On another machine, over a connection.
    bool remote() const { return kind_ == Kind::Sftp; }
    // A saved listing: compared, never written to, its files never read.
    bool snapshot() const { return kind_ == Kind::Snapshot; }
    // As given, for histories and messages.
    const std::string& text() const { return text_; }
    // As the layers below take it: ending in exactly one separator ("/" stays
    // "/"). A snapshot's is "snapshot:" and its file's absolute path, then the separator.
    const std::string& location() const { return location_; }
    // The parsed address of a remote root; null for a local one.
    const RemoteAddress* address() const { return address_ ? &*address_ : nullptr; }

    State state() const { return state_; }
    bool exists() const { return state_ == State::Exists; }
    // The system's error for Unreadable and NotFolder (or one of ours).
    int error() const { return error_; }
    // Why it is Unreadable, in German: a backend's own words where it has
    // them (a snapshot that is damaged), else the error's text.
    std::string reason() const;
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
    // missing. A snapshot's file is looked at (whether it is a snapshot, its
    // backend judges). A remote root is left as it is (its connection judges it).
    void Inspect();
    // What the connection of a remote root found.
    void Judge(State state, int error, std::string nearestExisting = {}, bool parentExists = false);
    // Unreadable, in a backend's own words.
    void JudgeUnreadable(int error, std::string reason);

private:
    void InspectSnapshotFile();

    Kind kind_ = Kind::Local;
    std::string text_;
    std::string location_;
    std::optional<RemoteAddress> address_;
    State state_ = State::Unchecked;
    int error_ = 0;
    std::string reason_;
    std::string nearestExisting_;
    bool parentExists_ = false;
};

}  // namespace kirvo
