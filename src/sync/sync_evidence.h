#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "sync/observed_file.h"

namespace kirvo {

// What a run knows to hold the same bytes on both sides, and as which files:
// the pairs it found equal (by time, or by reading both where times say
// nothing), the copies it placed and the files it renamed. Only where both
// files are still exactly those does the state take them as synchronised;
// anything else is left for the next run to look at. Keyed by the path
// ignoring letter case, as the comparison pairs them.
class SyncEvidence {
public:
    // The two files of a path, exactly as the run saw or made them. A change
    // time of 0 is not checked (a copy or a rename moves it).
    void add(std::string_view relativePath, const ObservedFile& source, const ObservedFile& target);
    void clear() { known_.clear(); }
    bool empty() const { return known_.empty(); }

    // Whether both files of `now` are those the run vouches for.
    bool confirms(const ObservedPath& now) const;

    // The file as a rename left it, or as a copy placed it: the same inode,
    // size and time, with a change time nobody recorded.
    static ObservedFile WithoutChangeTime(ObservedFile file) {
        file.ctimeNs = 0;
        return file;
    }

private:
    struct Pair {
        ObservedFile source;
        ObservedFile target;
    };
    std::unordered_map<std::string, Pair> known_;
};

}  // namespace kirvo
