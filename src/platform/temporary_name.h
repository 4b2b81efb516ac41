#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kirvo {

// The names of the copy's temporary files:
//   "." + name + "." + 16 hex digits at random + 8 hex digits of check + ".kirvo-tmp"
// A name too long for the system is shortened (with a hash of the whole, so two
// long names still differ). The check digits tie the random part to the name, so
// a user's file that merely looks alike (".notes.kirvo-tmp", say) never passes
// for one of ours; where the file system keeps extended attributes our files
// carry a marker as well (see the POSIX file transfer).
class TemporaryName {
public:
    static constexpr std::string_view kSuffix = ".kirvo-tmp";

    // The temporary name for the destination `name` with the given random part.
    static std::string For(std::string_view name, uint64_t random);

    // Whether `name` has the form and check digits of our temporary names. Cheap:
    // no system call, and most names fail at the suffix.
    static bool HasOurForm(std::string_view name);
};

}  // namespace kirvo
