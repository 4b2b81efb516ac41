#pragma once
#include <cstdint>

namespace kirvo {

// The tree a path lies in, for the questions ("in der Quelle", "im Ziel").
enum class TreeSide : uint8_t { None, Source, Target };

// What the comparison listed at a path, so that the file operations can tell
// whether a file changed before they delete, trash or replace it.
struct ListedFile {
    enum class State : uint8_t {
        Unknown,  // no listing to check against (the caller did not say)
        Absent,   // the comparison saw no file there
        Present,  // the comparison saw this file
    };
    State state = State::Unknown;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;  // UTC, seconds since 1970-01-01
    uint16_t modifiedMilliseconds = 0;

    static ListedFile Absent() { return {State::Absent, 0, 0, 0}; }
    static ListedFile Present(uint64_t size, int64_t utcSeconds, uint16_t milliseconds) {
        return {State::Present, size, utcSeconds, milliseconds};
    }
    // Whether a file of this size and time (nanoseconds as the system has them)
    // is still what was listed; the listing has milliseconds.
    bool matches(uint64_t nowSize, int64_t nowSeconds, uint32_t nowNanoseconds) const {
        return state == State::Present && size == nowSize && modifiedSeconds == nowSeconds &&
               modifiedMilliseconds == nowNanoseconds / 1000000;
    }

    friend bool operator==(const ListedFile&, const ListedFile&) = default;
};

}  // namespace kirvo
