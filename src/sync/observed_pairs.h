#pragma once
#include <vector>

#include "sync/observed_file.h"
#include "sync/unknown_places.h"

namespace kirvo {

class TreeMatcher;

// A comparison's pairs as the sync decisions read them: one ObservedPath per
// pair, at the pair's index. A path is named as the source names it where the
// source has the file (the state keys it so), else as the target does. Times
// are UTC nanoseconds made from seconds and milliseconds, the way every
// record is made. A side's files carry their device and inode only where
// `identities` says that side's file system keeps them stable and the
// comparison was run with RunOptions::identities. The texts are borrowed from
// the matcher, which must outlive the paths.
struct SideIdentities {
    bool source = false;
    bool target = false;
};
std::vector<ObservedPath> ObservePairs(const TreeMatcher& matcher, SideIdentities identities);

// The places either side of the comparison could not read.
UnknownPlaces UnknownPlacesOf(const TreeMatcher& matcher);

// A time as the records hold it.
int64_t RecordedTime(int64_t utcSeconds, uint16_t milliseconds);

}  // namespace kirvo
