#pragma once
#include <vector>

#include "sync/observed_file.h"
#include "sync/unknown_places.h"

namespace kirvo {

class TreeMatcher;

// A comparison's pairs as the sync decisions read them: one ObservedPath per
// pair, at the pair's index. A path is named as the source names it where the
// source has the file (the state keys it so), else as the target does. Times
// are UTC nanoseconds: exact where the comparison was run with
// RunOptions::identities, else made from seconds and milliseconds. A side's
// files carry their device, inode and change time only where `identities`
// says that side's file system keeps them stable and the comparison was run
// with RunOptions::identities. The texts are borrowed from the matcher, which
// must outlive the paths.
struct SideIdentities {
    bool source = false;
    bool target = false;
};
std::vector<ObservedPath> ObservePairs(const TreeMatcher& matcher, SideIdentities identities);

// Appends one path per folder either side walked (the root left out), paired
// as files are: byte-identical first, else a single one of each side ignoring
// case. A folder path's name ends in '/'; it has no size or time.
void ObserveFolders(const TreeMatcher& matcher, std::vector<ObservedPath>& paths);

// The places either side of the comparison could not read.
UnknownPlaces UnknownPlacesOf(const TreeMatcher& matcher);

// A time as the records hold it.
int64_t RecordedTime(int64_t utcSeconds, uint16_t milliseconds);

}  // namespace kirvo
