#include "sync/observed_pairs.h"

#include "engine/tree_matcher.h"

namespace kirvo {
namespace {

CompareVerdict Compared(Verdict verdict) {
    switch (verdict) {
    case Verdict::SourceToTarget: return CompareVerdict::ToTarget;
    case Verdict::TargetToSource: return CompareVerdict::ToSource;
    case Verdict::Conflict: return CompareVerdict::Conflict;
    case Verdict::Equal:
    case Verdict::Unknown: break;  // an unknown side decides by itself
    }
    return CompareVerdict::Equal;
}

ObservedFile Observed(const TreeMatcher& matcher, const FileEntry* entry, bool unknown, bool identity) {
    if (unknown) return ObservedFile::Unknown();
    if (entry == nullptr) return ObservedFile::Absent();
    uint64_t device = 0, inode = 0;
    if (identity) matcher.identityOf(*entry, device, inode);
    return ObservedFile::Present(entry->size(),
                                 RecordedTime(entry->modifiedSeconds() - matcher.utcOffset(), entry->modifiedMilliseconds()),
                                 device, inode);
}

}  // namespace

int64_t RecordedTime(int64_t utcSeconds, uint16_t milliseconds) {
    return utcSeconds * 1'000'000'000 + int64_t{milliseconds} * 1'000'000;
}

std::vector<ObservedPath> ObservePairs(const TreeMatcher& matcher, SideIdentities identities) {
    const std::span<const FilePair> pairs = matcher.pairs();
    std::vector<ObservedPath> paths(pairs.size());
    for (size_t i = 0; i < pairs.size(); ++i) {
        const FilePair& pair = pairs[i];
        ObservedPath& p = paths[i];
        const FileEntry* named = pair.source ? pair.source : pair.target;
        if (named != nullptr) {
            p.folder = named->folder();
            p.name = named->name();
        }
        p.source = Observed(matcher, pair.source, (pair.unknownSides & FilePair::kSourceUnknown) != 0, identities.source);
        p.target = Observed(matcher, pair.target, (pair.unknownSides & FilePair::kTargetUnknown) != 0, identities.target);
        p.verdict = Compared(pair.verdict);
        p.conflictReason = matcher.conflictReason(i);
    }
    return paths;
}

UnknownPlaces UnknownPlacesOf(const TreeMatcher& matcher) {
    UnknownPlaces places;
    for (const UnknownPlace& place : matcher.unknownPlaces())
        places.add(place.side == kSourceSide ? SyncSide::Source : SyncSide::Target, place.path, place.reason);
    return places;
}

}  // namespace kirvo
