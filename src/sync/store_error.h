#pragma once
#include <string>

namespace kirvo {

// Why the state store failed, or refuses a state; the message is German and
// names the file, or the root that lies elsewhere.
struct StoreError {
    enum class Kind {
        None,
        Unreadable,  // damaged, not ours, or a schema we do not know
        Newer,       // written by a newer version of the program
        Busy,        // locked by another run for longer than the wait
        Io,          // the file or its folder cannot be read or written
        OtherDisk,   // a root lies on another file system than at the last run
        NotMounted,  // a root's file system is no longer mounted: it lies on the one below
    };
    Kind kind = Kind::None;
    std::string message;

    explicit operator bool() const { return kind != Kind::None; }
};

}  // namespace kirvo
