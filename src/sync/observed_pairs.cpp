#include "sync/observed_pairs.h"

#include <algorithm>

#include "engine/text_compare.h"
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
    int64_t modified = 0, changed = 0;
    matcher.exactTimesOf(*entry, modified, changed);
    if (!identity || !matcher.identityOf(*entry, device, inode)) changed = 0;
    return ObservedFile::Present(entry->size(), modified, device, inode, changed);
}

// "a/b/" as its folder "a/" and its name "b/".
void Split(std::string_view path, std::string_view& folder, std::string_view& name) {
    const size_t slash = path.substr(0, path.size() - 1).rfind('/');
    const size_t cut = slash == std::string_view::npos ? 0 : slash + 1;
    folder = path.substr(0, cut);
    name = path.substr(cut);
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
        if (pair.source && pair.target &&
            (pair.source->name() != pair.target->name() || pair.source->folder() != pair.target->folder())) {
            p.targetFolder = pair.target->folder();
            p.targetName = pair.target->name();
        }
        p.source = Observed(matcher, pair.source, (pair.unknownSides & FilePair::kSourceUnknown) != 0, identities.source);
        p.target = Observed(matcher, pair.target, (pair.unknownSides & FilePair::kTargetUnknown) != 0, identities.target);
        p.verdict = Compared(pair.verdict);
        p.conflictReason = matcher.conflictReason(i);
    }
    return paths;
}

void ObserveFolders(const TreeMatcher& matcher, std::vector<ObservedPath>& paths) {
    struct Seen {
        const std::string* path;
        SyncSide side;
    };
    std::vector<Seen> all;
    for (const SyncSide side : {SyncSide::Source, SyncSide::Target})
        for (const std::string& folder : matcher.folders(side == SyncSide::Source ? kSourceSide : kTargetSide))
            if (!folder.empty()) all.push_back({&folder, side});
    // Case-insensitive groups, each in a fixed order: bytes, then the source first.
    std::sort(all.begin(), all.end(), [](const Seen& a, const Seen& b) {
        if (const int c = CompareIgnoreCase(*a.path, *b.path); c != 0) return c < 0;
        if (*a.path != *b.path) return *a.path < *b.path;
        return a.side < b.side;
    });
    const auto add = [&](const std::string* source, const std::string* target) {
        ObservedPath& p = paths.emplace_back();
        Split(source ? *source : *target, p.folder, p.name);
        if (source && target && *source != *target) Split(*target, p.targetFolder, p.targetName);
        p.source = source ? ObservedFile::Present(0, 0) : ObservedFile::Absent();
        p.target = target ? ObservedFile::Present(0, 0) : ObservedFile::Absent();
        p.verdict = !target ? CompareVerdict::ToTarget : !source ? CompareVerdict::ToSource : CompareVerdict::Equal;
    };
    for (size_t i = 0; i < all.size();) {
        size_t end = i + 1;
        while (end < all.size() && CompareIgnoreCase(*all[end].path, *all[i].path) == 0) ++end;
        // Byte-identical first; a single source and a single target left pair ignoring case.
        std::vector<const std::string*> sources, targets;
        for (size_t k = i; k < end; ++k) {
            if (k + 1 < end && all[k].side == SyncSide::Source && all[k + 1].side == SyncSide::Target &&
                *all[k].path == *all[k + 1].path) {
                add(all[k].path, all[k + 1].path);
                ++k;
                continue;
            }
            (all[k].side == SyncSide::Source ? sources : targets).push_back(all[k].path);
        }
        if (sources.size() == 1 && targets.size() == 1) {
            add(sources[0], targets[0]);
        } else {
            for (const std::string* s : sources) add(s, nullptr);
            for (const std::string* t : targets) add(nullptr, t);
        }
        i = end;
    }
}

UnknownPlaces UnknownPlacesOf(const TreeMatcher& matcher) {
    UnknownPlaces places;
    for (const UnknownPlace& place : matcher.unknownPlaces())
        places.add(place.side == kSourceSide ? SyncSide::Source : SyncSide::Target, place.path, place.reason);
    return places;
}

}  // namespace kirvo
